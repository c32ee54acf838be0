#include "method_names.h"

#include <cstring>

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
constexpr size_t kLongestName = 31;

// Built once when the library loads: every entry's length, and per table the methods of each
// length chained in table order. A lookup then compares bytes only with the names of its own
// length, still one after another in table order, so the first match wins as before.
struct NameIndex {
  NameIndex() {
    for (int i = 0; i < kNameCount; ++i) length[i] = std::strlen(kNames[i]);
    for (int table = 0; table < 3; ++table) {
      for (size_t l = 0; l <= kLongestName; ++l) first[table][l] = -1;
      int last[kLongestName + 1];
      const TableSpan& span = kSpans[table];
      for (int i = span.first + 1; i <= span.first + span.count; ++i) {
        next[i] = -1;
        const size_t l = length[i];
        if (l > kLongestName) continue;  // cannot happen: the names are ours (checked in tests)
        if (first[table][l] < 0) {
          first[table][l] = i;
        } else {
          next[last[l]] = i;
        }
        last[l] = i;
      }
    }
  }
  size_t length[kNameCount];
  int first[3][kLongestName + 1];  // entry index of the first method of each length, or -1
  int next[kNameCount];            // the next method of the same table and length, or -1
};
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
  const size_t prefix_length = TablePrefixLength(table);
  if (std::strncmp(command, TablePrefix(table), prefix_length) != 0) return -1;
  const char* method = command + prefix_length;
  const size_t method_length = std::strlen(method);
  if (method_length > kLongestName) return -1;
  const TableSpan& span = Span(table);
  for (int entry = kIndex.first[static_cast<int>(table)][method_length]; entry >= 0;
       entry = kIndex.next[entry]) {
    if (std::memcmp(method, kNames[entry], method_length) == 0) return entry - span.first - 1;
  }
  return -1;
}

}  // namespace corvel_client
