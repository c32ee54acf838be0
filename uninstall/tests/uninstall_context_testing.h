// Test access to UninstallContext: sets the state that LoadInstallLocation would read from the
// registry. Only test programs include this header.
#pragma once

#include <string>
#include <utility>

#include "uninstall_context.h"

class UninstallContextTesting {
 public:
  static void Set(UninstallContext& context, Edition edition, std::wstring installDir) {
    context.edition_ = edition;
    context.installDir_ = std::move(installDir);
    context.approvedFolder_.reset();
  }
};
