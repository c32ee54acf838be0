// What the simulated engine remembers between calls: the journal of calls kv_client made, the
// scripted replies, the device lists and the classroom switch. Plain logic, safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "json.h"

namespace kv_sim {

// Every operation name the journal and the replies know, "Interface.Operation", in the engine's
// declaration order per interface. Static functions are named like operations.
extern const char* const kOperationNames[];
extern const size_t kOperationCount;
bool IsOperation(const std::string& name);

// A device name as the engine writes it into a 1024-byte buffer: at most 1023 bytes and a
// terminator, or, for a name of 1024 bytes or more, its first 1024 bytes and no terminator.
void FillDeviceName(const std::string& name, char (&buffer)[1024]);

// The scripted answer of one operation. Unscripted operations answer code 0 and out 0 / false.
struct Reply {
  bool scripted = false;  // set with {"sim":"reply"}
  int32_t code = 0;
  Json out;  // null: not scripted
  int64_t OutInt() const { return AsInt64(out.get(), 0); }
  bool OutBool() const { return AsBool(out.get(), false); }
};

enum class DeviceList { kRecording, kVideo };

class State {
 public:
  static constexpr size_t kJournalLimit = 20000;
  // The entries' texts together: a page's long chat texts would otherwise be kept 20000 times.
  static constexpr size_t kJournalBytes = 64 << 20;

  // Appends one call; `args` (owned from here on) is a JSON array; `device` names the interface
  // that owns a Device call ("live" or "offlinePlay"), null otherwise.
  void Record(const char* op, cJSON* args, const char* device = nullptr);
  // The calls since the last take, as {"journal":[...]} (plus "dropped" when a limit was hit).
  Json TakeJournal();
  // Off, calls are not recorded at all (for a host that never takes the journal).
  void SetJournaling(bool on);

  // Scripts `op`; a null `out` keeps the out value unscripted.
  void SetReply(const std::string& op, int32_t code, const cJSON* out);
  Reply Answer(const std::string& op) const;

  void SetDevices(DeviceList list, std::vector<std::string> names);
  std::vector<std::string> Devices(DeviceList list) const;

  void SetClassroom(bool on);
  bool Classroom() const;

  // Forgets replies, devices, journal and the classroom switch; journals again.
  void Reset();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> journal_;  // compact JSON texts of the entries
  size_t journal_bytes_ = 0;
  size_t dropped_ = 0;
  bool journaling_ = true;
  std::map<std::string, std::pair<int32_t, std::string>> replies_;  // op -> code, out JSON text
  std::vector<std::string> recording_;
  std::vector<std::string> video_;
  bool classroom_ = false;
};

}  // namespace kv_sim
