#include "method_names.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "name_hash.h"

namespace corvel_client {
namespace {

// Prefix, then its methods, for each table in turn.
const char* const kNames[] = {
    "engine.",
    "getMicrophoneLevel", "setMicrophoneVolume", "getMicrophoneVolume", "muteMicrophone",
    "unMuteMicrophone", "mixMicrophone", "unMixMicrophone", "isMicrophoneMute",
    "startMicrophoneTest", "endMicrophoneTest", "setSpeakerVolume", "getSpeakerVolume",
    "muteSpeaker", "unMuteSpeaker", "isSpeakerMute", "getRecordingDevices", "setRecordingDevice",
    "isSysMicrophoneMute", "setSysMicrophoneMute", "getVideoCaptureDevices",
    "setVideoCaptureDevice", "openVideoPreview", "closeVideoPreview", "openAudioCompressor",
    "closeAudioCompressor",
    "live.",
    "enterRoom", "quitRoom", "startSend", "applyMicrophone", "approveMicrophone",
    "revokeMicrophone", "settingMicrophone", "openMicrophoneQueue", "closeMicrophoneQueue",
    "openVideoMic", "closeVideoMic", "cancelAllMicrophone", "getMicrophoneLevel",
    "sendChatMessage", "pageUp", "pageTo", "pageDown", "publishKeynote", "syncStroke",
    "eraseStroke", "startClass", "endClass", "getOutputLevel", "assistantOnBoard",
    "assistantOffBoard", "banUser", "unBanUser", "banAllUser", "unBanAllUser", "cancelTopMessage",
    "setNickname", "beginSendVideo", "stopSendVideo", "beginSendScreen", "stopSendScreen",
    "switchVideoStyle", "addQuestion", "endQuestion", "removeQuestion", "myAnswer",
    "offlinePlay.",
    "openMedia", "closeMedia", "playMedia", "stopMedia", "pauseMedia", "seekMedia",
    "getPlayProgress", "setPlaySpeed", "uploadRecFile", "openFolder", "kRunProgram",
    "setStorageData", "kvrequest",
};

struct TableSpan {
  int first;  // index of the prefix in kNames
  int count;  // methods after it
};

constexpr TableSpan kSpans[] = {{0, 25}, {26, 40}, {67, 13}};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == 81, "3 prefixes and 78 methods");

const TableSpan& Span(CommandTable table) { return kSpans[static_cast<int>(table)]; }

constexpr int kNameCount = static_cast<int>(sizeof(kNames) / sizeof(kNames[0]));
constexpr size_t kSlots = 128;  // per table: a power of two, more than twice its methods

// Built once when the library loads: every entry's length, and per table an open-addressed hash
// table (linear probing) from a method name to its entry. A name that occurred earlier in its
// table is not entered again, so the first match still wins.
struct NameIndex {
  NameIndex() {
    for (int i = 0; i < kNameCount; ++i) length[i] = std::strlen(kNames[i]);
    for (int table = 0; table < 3; ++table) {
      for (size_t i = 0; i < kSlots; ++i) slot[table][i] = -1;
      const TableSpan& span = kSpans[table];
      for (int entry = span.first + 1; entry <= span.first + span.count; ++entry) {
        const std::string_view name = Name(entry);
        size_t i = NameHash(name) & (kSlots - 1);
        while (slot[table][i] >= 0 && Name(slot[table][i]) != name) i = (i + 1) & (kSlots - 1);
        if (slot[table][i] < 0) slot[table][i] = static_cast<int16_t>(entry);
      }
    }
  }
  std::string_view Name(int entry) const { return {kNames[entry], length[entry]}; }

  size_t length[kNameCount];
  int16_t slot[3][kSlots];  // entry index in kNames, or -1 for a free slot
};
static_assert(2 * 40 < kSlots, "the largest table fills less than half of its slots");
const NameIndex kIndex;

}  // namespace

const char* TablePrefix(CommandTable table) { return kNames[Span(table).first]; }

size_t TablePrefixLength(CommandTable table) { return kIndex.length[Span(table).first]; }

int MethodCount(CommandTable table) { return Span(table).count; }

const char* MethodName(CommandTable table, int index) {
  const TableSpan& span = Span(table);
  if (index < 0 || index >= span.count) return nullptr;
  return kNames[span.first + 1 + index];
}

int FindMethod(const char* command, CommandTable table) {
  if (command == nullptr) return -1;
  const TableSpan& span = Span(table);
  // The prefixes differ in their first byte, so a command of another table (every "live." command
  // is offered to the "engine." table first) is turned away before its length is taken.
  if (command[0] != kNames[span.first][0]) return -1;
  const size_t prefix_length = kIndex.length[span.first];
  const size_t length = std::strlen(command);
  if (length <= prefix_length || !SameBytes(command, kNames[span.first], prefix_length)) return -1;
  const char* method = command + prefix_length;
  const size_t method_length = length - prefix_length;
  const int16_t* slots = kIndex.slot[static_cast<int>(table)];
  for (size_t i = NameHash({method, method_length}) & (kSlots - 1); slots[i] >= 0;
       i = (i + 1) & (kSlots - 1)) {
    const int entry = slots[i];
    if (kIndex.length[entry] == method_length &&
        SameBytes(method, kNames[entry], method_length)) {
      return entry - span.first - 1;
    }
  }
  return -1;
}

}  // namespace corvel_client
