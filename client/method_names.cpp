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

// Prefix lengths, computed once when the library loads.
const size_t kPrefixLengths[] = {std::strlen(kNames[0]), std::strlen(kNames[26]),
                                 std::strlen(kNames[67])};

}  // namespace

const char* TablePrefix(CommandTable table) { return kNames[Span(table).first]; }

size_t TablePrefixLength(CommandTable table) { return kPrefixLengths[static_cast<int>(table)]; }

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
  const TableSpan& span = Span(table);
  for (int i = 0; i < span.count; ++i) {
    if (std::strcmp(method, kNames[span.first + 1 + i]) == 0) return i;
  }
  return -1;
}

}  // namespace corvel_client
