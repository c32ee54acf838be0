// The version rules of the task step.
#include "core/os_version.h"

#include <gtest/gtest.h>

namespace {

using namespace uninstall;

// Catches XP/2003 sent to the 2.0 scheduler (or 2000 to 1.0) and a wrong version parse.
TEST(VersionRules, TaskSchedulerChoiceAndParsing) {
  EXPECT_TRUE(UseLegacyTaskScheduler({5, 1, true}));
  EXPECT_TRUE(UseLegacyTaskScheduler({5, 2, true}));
  EXPECT_FALSE(UseLegacyTaskScheduler({5, 0, true}));
  EXPECT_FALSE(UseLegacyTaskScheduler({6, 1, true}));
  EXPECT_FALSE(NeedsTrueVersion({6, 1, true}));
  EXPECT_TRUE(NeedsTrueVersion({6, 2, true}));
  EXPECT_TRUE(NeedsTrueVersion({10, 0, true}));
  const OsVersion v = VersionFromText(L"6.3").value();
  EXPECT_EQ(v.major, 6u);
  EXPECT_EQ(v.minor, 3u);
  EXPECT_TRUE(v.nt);
  EXPECT_FALSE(VersionFromText(L"x").has_value());
  const OsVersion packed = VersionFromPacked(0x23F00105);
  EXPECT_EQ(packed.major, 5u);
  EXPECT_EQ(packed.minor, 1u);
  EXPECT_TRUE(packed.nt);
  EXPECT_FALSE(VersionFromPacked(0x0A04).nt);
}

}  // namespace
