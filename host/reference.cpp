#include "reference.h"

#include <deque>

namespace kv_host {
namespace {

constexpr ArgKind N = ArgKind::kNumber;
constexpr ArgKind B = ArgKind::kBool;
constexpr ArgKind T = ArgKind::kText;
constexpr ArgKind C = ArgKind::kConfig;

// In the order of the bridge's method-name table: "engine.", "live.", "offlinePlay.".
const std::vector<CommandSpec> kCommands = {
    // engine. (device commands)
    {"engine.getMicrophoneLevel",
     {{B, "true: the level of the microphone test, false: the live level"}},
     "[code, level] (unsigned)",
     "Device.GetMicrophoneTestLevel when true, Device.GetMicrophoneLevel when false",
     "",
     nullptr},
    {"engine.setMicrophoneVolume",
     {{N, "volume on the device's 0 to 255 scale"}},
     "[code]",
     "Device.SetMicrophoneVolume",
     "",
     nullptr},
    {"engine.getMicrophoneVolume",
     {},
     "[code, volume / 255] (single precision)",
     "Device.GetMicrophoneVolume",
     "",
     nullptr},
    {"engine.muteMicrophone", {}, "[code]", "Device.MuteMicrophone(true)", "", nullptr},
    {"engine.unMuteMicrophone", {}, "[code]", "Device.MuteMicrophone(false)", "", nullptr},
    {"engine.mixMicrophone",
     {},
     "[0]",
     "AudioLoopback.Start: system sound is mixed into the microphone",
     "",
     nullptr},
    {"engine.unMixMicrophone", {}, "[0]", "AudioLoopback.Stop", "", nullptr},
    {"engine.isMicrophoneMute", {}, "[code, muted] (bool)", "Device.IsMicrophoneMute", "", nullptr},
    {"engine.startMicrophoneTest", {}, "[code]", "Device.StartMicrophoneTest", "", nullptr},
    {"engine.endMicrophoneTest", {}, "[code]", "Device.EndMicrophoneTest", "", nullptr},
    {"engine.setSpeakerVolume",
     {{N, "volume on the device's 0 to 255 scale"}},
     "[code]",
     "Device.SetSpeakerVolume",
     "",
     nullptr},
    {"engine.getSpeakerVolume",
     {},
     "[code, volume / 255] (single precision)",
     "Device.GetSpeakerVolume",
     "",
     nullptr},
    {"engine.muteSpeaker", {}, "[code]", "Device.MuteSpeaker(true)", "", nullptr},
    {"engine.unMuteSpeaker", {}, "[code]", "Device.MuteSpeaker(false)", "", nullptr},
    {"engine.isSpeakerMute", {}, "[code, muted] (bool)", "Device.IsSpeakerMute", "", nullptr},
    {"engine.getRecordingDevices",
     {},
     "[code, [names]]; the code is that of the last name call (of the count call when there is no "
     "device); at most 256 names",
     "Device.GetRecordingDeviceCount, then Device.GetRecordingDeviceName per index",
     "",
     nullptr},
    {"engine.setRecordingDevice",
     {{N, "device index; also the mixer device of the two system-mute commands"}},
     "[code]",
     "Device.SetRecordingDevice",
     "",
     nullptr},
    {"engine.isSysMicrophoneMute",
     {},
     "[0, muted] (bool; false when the mixer has no mute control)",
     "the Windows mixer's mute control of the recording device (no engine call)",
     "",
     nullptr},
    {"engine.setSysMicrophoneMute",
     {{B, "true mutes"}},
     "[1] when the mixer has a mute control, else [0]",
     "the Windows mixer's mute control of the recording device (no engine call)",
     "",
     nullptr},
    {"engine.getVideoCaptureDevices",
     {},
     "[code, [names]]; the code is that of the count call; at most 256 names",
     "Device.GetVideoCaptureDeviceCount, then Device.GetVideoCaptureDeviceName per index",
     "",
     nullptr},
    {"engine.setVideoCaptureDevice",
     {{N, "camera index"}},
     "[code]",
     "Device.SetVideoCaptureDevice",
     "",
     nullptr},
    {"engine.openVideoPreview", {}, "[code]", "Device.OpenVideoPreview", "", nullptr},
    {"engine.closeVideoPreview", {}, "[code]", "Device.CloseVideoPreview", "", nullptr},
    {"engine.openAudioCompressor",
     {{N, "value passed to the engine"}},
     "[code]",
     "Device.OpenAudioCompressor",
     "",
     nullptr},
    {"engine.closeAudioCompressor", {}, "[code]", "Device.CloseAudioCompressor", "", nullptr},

    // live.
    {"live.enterRoom",
     {{C, "the room configuration"}},
     "[code]; 0 when entered",
     "Engine.SetClientVersion(3, 3, appVersion), then Live.EnterRoom (a room entered before is "
     "left first with Live.QuitRoom)",
     "onRoomInfo, userEnterRoom, corvel.onError",
     "enterRoom"},
    {"live.quitRoom", {}, "[code]; [-1] when no room is entered", "Live.QuitRoom", "", nullptr},
    {"live.startSend",
     {},
     "[0]; [-1] without a room or when already sending",
     "none (sets the sending flag)",
     "",
     nullptr},
    {"live.applyMicrophone", {}, "[code]", "Live.ApplyMicrophone", "onMicrophoneApplied", nullptr},
    {"live.approveMicrophone",
     {{N, "user id"}},
     "[code]",
     "Live.ApproveMicrophone",
     "onMicrophoneApproved",
     nullptr},
    {"live.revokeMicrophone",
     {{N, "user id"}},
     "[code]",
     "Live.RevokeMicrophone",
     "onMicrophoneCanceled",
     nullptr},
    {"live.settingMicrophone",
     {{N, "first value"}, {N, "second value"}},
     "[code]",
     "Live.SettingMicrophone",
     "onMicrophoneSettingTimer",
     nullptr},
    {"live.openMicrophoneQueue",
     {},
     "[code]",
     "Live.OpenMicrophoneQueue",
     "onMicrophoneQueueOpened",
     nullptr},
    {"live.closeMicrophoneQueue",
     {},
     "[code]",
     "Live.CloseMicrophoneQueue",
     "onMicrophoneQueueClosed",
     nullptr},
    {"live.openVideoMic", {}, "[code]", "Live.OpenVideoMic", "OnVideoMicEvent", nullptr},
    {"live.closeVideoMic", {}, "[code]", "Live.CloseVideoMic", "OnVideoMicEvent", nullptr},
    {"live.cancelAllMicrophone",
     {},
     "[code]",
     "Live.CancelAllMicrophone",
     "onMicrophoneCancelAll",
     nullptr},
    {"live.getMicrophoneLevel",
     {},
     "nothing: `resultCount` stays 0 (the name is in the live table but has no live handling; the "
     "level is engine.getMicrophoneLevel)",
     "none",
     "",
     nullptr},
    {"live.sendChatMessage",
     {{N, "sender's user id (sent as decimal text)"}, {T, "message text"}, {N, "message type"}},
     "[code]",
     "Live.SendChatMessage",
     "onChatMessage, onChatMessageFailed",
     nullptr},
    {"live.pageUp", {}, "[code]", "Live.PageUp", "onPageTo", nullptr},
    {"live.pageTo", {{N, "page"}}, "[code]", "Live.PageTo", "onPageTo", nullptr},
    {"live.pageDown", {}, "[code]", "Live.PageDown", "onPageTo", nullptr},
    {"live.publishKeynote",
     {{N, "keynote value 1"}, {N, "keynote value 2"}, {N, "keynote value 3"}},
     "[code]",
     "Live.PublishKeynote with the three values and 0",
     "onKeynoteInfo",
     nullptr},
    {"live.syncStroke",
     {{ArgKind::kPoints, "the stroke's points"}, {N, "stroke value a"}, {N, "stroke value b"}},
     "[0] at once; [-1] only when the live part could not be set up at start (then nothing is "
     "queued)",
     "Live.SyncStroke, later, on the host's core thread (its code is not reported)",
     "onSyncStroke",
     nullptr},
    {"live.eraseStroke", {}, "[code]", "Live.EraseStroke", "onEraseStroke", nullptr},
    {"live.startClass", {}, "[code]", "Live.StartClass", "onStartClass", nullptr},
    {"live.endClass", {}, "[code]", "Live.EndClass", "onEndClass", nullptr},
    {"live.getOutputLevel",
     {{N, "which output"}},
     "[code, level] (unsigned); [code] when negative",
     "Live.GetOutputLevel",
     "",
     nullptr},
    {"live.assistantOnBoard", {}, "[code]", "Live.AssistantOnBoard", "onAssistantOnBoard", nullptr},
    {"live.assistantOffBoard",
     {},
     "[code]",
     "Live.AssistantOffBoard",
     "onAssistantOffBoard",
     nullptr},
    {"live.banUser", {{N, "user id"}}, "[code]", "Live.BanUser", "OnUserBanned", nullptr},
    {"live.unBanUser", {{N, "user id"}}, "[code]", "Live.UnBanUser", "OnUserUnBanned", nullptr},
    {"live.banAllUser", {}, "[code]", "Live.BanAllUser", "OnAllUserBanned", nullptr},
    {"live.unBanAllUser", {}, "[code]", "Live.UnBanAllUser", "OnAllUserUnBanned", nullptr},
    {"live.cancelTopMessage",
     {},
     "[code]",
     "Live.CancelTopMessage",
     "OnTopMessageCanceled",
     nullptr},
    {"live.setNickname", {{T, "the new name"}}, "[code]", "Live.SetNickname", "", nullptr},
    {"live.beginSendVideo",
     {},
     "[code]",
     "Live.BeginSendVideo(0): the camera",
     "onGetVideoData, OnVideoSizeChange",
     nullptr},
    {"live.stopSendVideo", {}, "[code]", "Live.StopSendVideo", "", nullptr},
    {"live.beginSendScreen",
     {},
     "[code]",
     "Live.BeginSendVideo(1): the screen",
     "onGetVideoData, OnVideoSizeChange",
     nullptr},
    {"live.stopSendScreen",
     {},
     "[code]",
     "Live.StopSendVideo (the same as stopSendVideo)",
     "",
     nullptr},
    {"live.switchVideoStyle",
     {{N, "first value"}, {N, "second value"}},
     "[code]",
     "Live.SwitchVideoStyle",
     "OnVideoStyleEvent",
     nullptr},
    {"live.addQuestion",
     {{C, "the question"}},
     "[code]",
     "Live.AddQuestion(type, optionNum, options, count)",
     "OnAddQuestion",
     "addQuestion"},
    {"live.endQuestion",
     {{N, "question id"}},
     "[code]",
     "Live.EndQuestion",
     "OnEndQuestion, OnAnswerSummary",
     nullptr},
    {"live.removeQuestion",
     {{N, "question id"}},
     "[code]",
     "Live.RemoveQuestion",
     "OnRemoveQuestion",
     nullptr},
    {"live.myAnswer",
     {{C, "the answer"}},
     "[code]",
     "Live.MyAnswer(questionId, options, count)",
     "OnMyAnswer",
     "myAnswer"},

    // offlinePlay.
    {"offlinePlay.openMedia",
     {{C, "the recording to open"}},
     "[code]; [-1] when the text does not parse or is neither an object nor null",
     "OfflinePlay.OpenMedia (an open recording is closed first); a new device interface in every "
     "case",
     "onMediaInfo, getStorageData",
     "openMedia"},
    {"offlinePlay.closeMedia",
     {},
     "[code]; [-1] when nothing is open",
     "OfflinePlay.Stop, then OfflinePlay.CloseMedia",
     "",
     nullptr},
    {"offlinePlay.playMedia",
     {},
     "[code]",
     "OfflinePlay.Play(0)",
     "getStorageData, OnMediaDataReady, onGetVideoData, OnVideoSizeChange",
     nullptr},
    {"offlinePlay.stopMedia", {}, "[code]", "OfflinePlay.Stop", "", nullptr},
    {"offlinePlay.pauseMedia",
     {},
     "[code]; [0] without a call when nothing is open",
     "OfflinePlay.Pause(0)",
     "",
     nullptr},
    {"offlinePlay.seekMedia",
     {{N, "position in ms"}},
     "[code]",
     "OfflinePlay.Seek",
     "getStorageData",
     nullptr},
    {"offlinePlay.getPlayProgress",
     {},
     "[0, progress]; [-1] when the progress is negative",
     "OfflinePlay.GetPosition; progress = position + 500, truncated",
     "",
     nullptr},
    {"offlinePlay.setPlaySpeed",
     {{N, "speed (single precision)"}},
     "nothing (`resultCount` 0)",
     "OfflinePlay.SetPlaySpeed",
     "",
     nullptr},
    {"offlinePlay.uploadRecFile",
     {{N, "read and ignored"}, {T, "read and ignored"}, {T, "read and ignored"}},
     "nothing (`resultCount` 0)",
     "none",
     "",
     nullptr},
    {"offlinePlay.openFolder",
     {{N, "kind: only 0 does anything"}, {T, "folder name (no \\ / or :)"}},
     "nothing (`resultCount` 0)",
     "creates %APPDATA%\\Corvel_Client\\user_data\\(name) and opens it in the shell",
     "",
     nullptr},
    {"offlinePlay.kRunProgram",
     {{T, "program: \"calc\", \"notepad\" or \"mspaint\", exactly"},
      {T, "parameters"},
      {T, "working folder"}},
     "[0], always",
     "the shell starts calc.exe, notepad.exe or mspaint.exe; any other name starts nothing",
     "",
     nullptr},
    {"offlinePlay.setStorageData",
     {{T, "key of the request"},
      {ArgKind::kBlock, "the stored data"},
      {N, "status: 0 data, negative not yet, positive failed"}},
     "nothing (`resultCount` 0)",
     "the answer waits in the storage callback until the engine fetches it",
     "OnMediaDataReady",
     nullptr},
    {"offlinePlay.kvrequest",
     {{T, "program"}, {T, "parameters"}, {T, "working folder"}},
     "[0], always",
     "the same as offlinePlay.kRunProgram",
     "",
     nullptr},
};

constexpr int kBool = 0, kInt32 = 6, kInt64 = 8, kDouble = 11, kText = 13, kBorrowed = 14,
              kDoubles = 24, kPoints = 25;

const std::vector<MessageSpec> kMessages = {
    {"corvel.onError",
     Delivery::kAsyncRunFormatted,
     {{kText, "the error code in decimal (format \"%d\")"}},
     "OnError",
     "debug text by code: 400 \"connect failed\", 401 \"unauthrized failed\", 403 \"permission "
     "denied\", 404 \"resource not found\", 405 \"cannot enter room\", 409 \"conflict\", 410 "
     "\"keynote not set\", 500 \"server fault\", 505 \"server disconnect\"; only the number "
     "reaches the scripts"},
    {"OnServerChannged",
     Delivery::kAsyncRun,
     {{kInt32, "server"}},
     "OnServerChanged",
     "spelt with a double n"},
    {"userEnterRoom",
     Delivery::kAsyncRun,
     {{kInt32, "n"}, {kText, "user object JSON"}},
     "OnUserEnterRoom",
     ""},
    {"userQuitRoom", Delivery::kAsyncRun, {{kInt32, "user id"}}, "OnUserQuitRoom", ""},
    {"onRoomInfo",
     Delivery::kAsyncRun,
     {{kText, "room JSON"}},
     "OnRoomInfo",
     "afterwards every video stream announces its size again"},
    {"onMicrophoneApplied",
     Delivery::kAsyncRun,
     {{kText, "n as JSON text (\"7\\n\"), not a number"}, {kText, "user object JSON"}},
     "OnMicrophoneApplied",
     ""},
    {"onMicrophoneCanceled",
     Delivery::kAsyncRun,
     {{kInt32, "a"}, {kInt32, "b"}, {kInt32, "c0"}, {kInt32, "c1"}},
     "OnMicrophoneCanceled",
     ""},
    {"onMicrophoneApproved",
     Delivery::kAsyncRun,
     {{kInt32, "p"}, {kInt32, "q"}, {kText, "user object JSON"}, {kInt32, "r"}},
     "OnMicrophoneApproved",
     "the user comes third"},
    {"onMicrophoneQueueOpened",
     Delivery::kAsyncRun,
     {{kInt32, "value"}},
     "OnMicrophoneQueueOpened",
     ""},
    {"onMicrophoneQueueClosed",
     Delivery::kAsyncRun,
     {{kInt32, "value"}},
     "OnMicrophoneQueueClosed",
     ""},
    {"onMicrophoneCancelAll",
     Delivery::kAsyncRun,
     {{kInt32, "value"}},
     "OnMicrophoneCancelAll",
     ""},
    {"onMediaInfo",
     Delivery::kAsyncRun,
     {{kInt64, "V"},
      {kDoubles, "each sample's 64-bit value"},
      {kDoubles, "each sample's 32-bit value"},
      {kInt32, "Q"},
      {kInt32, "P"},
      {kInt32, "R"}},
     "OnMediaInfo",
     "Q comes before P"},
    {"onChatMessage", Delivery::kAsyncRun, {{kText, "chat JSON"}}, "OnChatMessage", ""},
    {"onChatMessageFailed",
     Delivery::kAsyncRun,
     {{kInt32, "b"}, {kInt32, "a"}, {kText, "text"}},
     "OnChatMessageFailed",
     "the engine's first two values swapped"},
    {"onKeynoteInfo",
     Delivery::kAsyncRun,
     {{kInt32, "value 1"}, {kInt32, "value 2"}, {kInt32, "value 3"}, {kInt32, "value 4"}},
     "OnKeynoteInfo",
     ""},
    {"onPageTo", Delivery::kAsyncRun, {{kInt32, "a"}, {kInt32, "b"}}, "OnPageTo", ""},
    {"onSyncStroke",
     Delivery::kAsyncRun,
     {{kInt32, "point count"}, {kPoints, "points [x, y, pressure]"}, {kInt32, "a"}, {kInt32, "b"}},
     "OnSyncStroke",
     "points arrive as [x, y, pressure] triples, unlike the objects syncStroke sends. A stroke of "
     "more than 32,767 points never arrives (the item's count is a 16-bit field; the bridge "
     "writes only a debug line): send long strokes in parts"},
    {"onEraseStroke", Delivery::kAsyncRun, {{kInt32, "value"}}, "OnEraseStroke", ""},
    {"onStartClass", Delivery::kAsyncRun, {{kInt64, "start time"}}, "OnStartClass", ""},
    {"onEndClass", Delivery::kAsyncRun, {}, "OnEndClass", ""},
    {"onSyncMedia", Delivery::kAsyncRun, {}, "OnSyncMedia", ""},
    {"onAssistantOnBoard", Delivery::kAsyncRun, {{kInt32, "value"}}, "OnAssistantOnBoard", ""},
    {"onAssistantOffBoard", Delivery::kAsyncRun, {{kInt32, "value"}}, "OnAssistantOffBoard", ""},
    {"OnUserBanned", Delivery::kAsyncRun, {{kInt32, "a"}, {kInt32, "b"}}, "OnUserBanned", ""},
    {"OnUserUnBanned", Delivery::kAsyncRun, {{kInt32, "a"}, {kInt32, "b"}}, "OnUserUnBanned", ""},
    {"OnAllUserBanned", Delivery::kAsyncRun, {{kInt32, "value"}}, "OnAllUserBanned", ""},
    {"OnAllUserUnBanned", Delivery::kAsyncRun, {{kInt32, "value"}}, "OnAllUserUnBanned", ""},
    {"OnTopMessageCanceled", Delivery::kAsyncRun, {}, "OnTopMessageCanceled", ""},
    {"OnNetStatistics",
     Delivery::kAsyncRun,
     {{kInt32, "a"}, {kInt32, "b"}, {kInt32, "c"}, {kInt32, "e"}, {kInt32, "d"}},
     "OnNetStatistics",
     "the engine's last two values swapped"},
    {"onMicrophoneSettingTimer",
     Delivery::kAsyncRun,
     {{kInt32, "a"}, {kInt32, "b"}},
     "OnMicrophoneSettingTimer",
     ""},
    {"OnMediaDataReady",
     Delivery::kAsyncRun,
     {{kInt64, "byte count of the fetched stored data; -1 failed"}},
     "OnMediaDataReady",
     ""},
    {"onSyncRoomInfo", Delivery::kAsyncRun, {{kInt32, "a"}}, "OnSyncRoomInfo", ""},
    {"OnVideoMicEvent", Delivery::kAsyncRun, {{kInt32, "a"}, {kBool, "b"}}, "OnVideoMicEvent", ""},
    {"OnVideoStyleEvent",
     Delivery::kAsyncRun,
     {{kInt32, "a"}, {kInt32, "b"}, {kInt32, "c"}},
     "OnVideoStyleEvent",
     ""},
    {"OnDeviceEvent",
     Delivery::kAsyncRun,
     {{kInt32, "a"}, {kInt32, "b"}, {kInt32, "c"}},
     "OnDeviceEvent",
     ""},
    {"OnUploadClientLog",
     Delivery::kAsyncRun,
     {{kInt32, "a"}, {kText, "text"}},
     "OnUploadClientLog, OnNetQuality",
     "from OnNetQuality: -1 and {\"jitter\":..,\"packageCount\":..}"},
    {"OnAddQuestion",
     Delivery::kAsyncRun,
     {{kText, "the engine's text, unchanged"}},
     "OnAddQuestion",
     ""},
    {"OnRemoveQuestion", Delivery::kAsyncRun, {{kInt32, "question id"}}, "OnRemoveQuestion", ""},
    {"OnEndQuestion", Delivery::kAsyncRun, {{kInt32, "question id"}}, "OnEndQuestion", ""},
    {"OnAnswerSummary",
     Delivery::kAsyncRun,
     {{kText, "the engine's text, unchanged"}},
     "OnAnswerSummary",
     ""},
    {"OnMyAnswer",
     Delivery::kAsyncRun,
     {{kText, "the engine's text, unchanged"}},
     "OnMyAnswer",
     ""},
    {"OnSystemMessage",
     Delivery::kAsyncRun,
     {{kText, "JSON {\"level\",\"message\",\"room_id\"}"}},
     "OnSystemMessage",
     ""},
    {"onGetVideoData",
     Delivery::kAsyncRun,
     {{kInt32, "stream"},
      {kDouble, "byte size (3 x width x height / 2)"},
      {kInt32, "width"},
      {kInt32, "height"},
      {kInt32, "extra"},
      {kInt32, "10, always"},
      {kInt64, "milliseconds since the system started"},
      {kBorrowed, "the I420 frame, lent: read or copy it before the stream's next frame"}},
     "OnGetVideoData",
     "planar frames; streams 0, 1, 2, 3 and 1000 take frames up to 1920 x 1080, stream 20 up to "
     "4096 x 2160. A width or height of 0 is a size like any other: announced, then posted with "
     "byte size 0 and an empty block. Frames with a negative side or a byte size beyond 32 bits "
     "are dropped"},
    {"onVideoData",
     Delivery::kAsyncRun,
     {{kInt32, "stream"},
      {kDouble, "byte size (3 x width x height / 2)"},
      {kInt32, "width"},
      {kInt32, "height"},
      {kInt32, "extra"},
      {kInt32, "10, always"},
      {kInt64, "milliseconds since the system started"},
      {kBorrowed, "the packed frame, lent"}},
     "OnVideoData",
     "packed frames; only on a stream that has had a planar frame (one of 0 x 0 counts)"},
    {"OnVideoSizeChange",
     Delivery::kAsyncRunScript,
     {{kText, "the script text \"OnVideoSizeChange(stream,width,height);\""}},
     "OnGetVideoData",
     "sent when a stream's frame size changes, before its frame"},
    {"getStorageData",
     Delivery::kAsyncRun,
     {{kText, "key of the stored data the engine needs"}},
     "CorvelStorageCallback::GetStorageData",
     "answer with offlinePlay.setStorageData within 10 s"},
};

constexpr KeyType I = KeyType::kInteger;
constexpr KeyType U = KeyType::kUnsigned;
constexpr KeyType F = KeyType::kNumber;
constexpr KeyType S = KeyType::kText;
constexpr KeyType O = KeyType::kObject;
constexpr KeyType A = KeyType::kArray;

// The keys of a room configuration that both "enterRoom" and "openMedia" read.
std::vector<ConfigKeySpec> RoomKeys() {
  return {
      {"id", I, "0", "", "roomId", 0, 0},
      {"type", I, "0", "", "roomType", 0, 0},
      {"userId", I, "0", "", "userId", 0, 0},
      {"userType", I, "2", "", "userType", 0, 0},
      {"sess", S, "\"\"", "1023 bytes; longer texts are cut", "sess", 1023, 0},
      {"signature", S, "\"\"", "255 bytes; longer texts are cut", "signature", 255, 0},
      {"appVersion", S, "\"3.0.0.0001\"", "", "appVersion", 0, 0},
  };
}

// One list of media servers under "server" (`list`), filling the record's `field`.
void AddMediaServerKeys(std::vector<ConfigKeySpec>& keys, const char* list, const char* remark,
                        const char* field) {
  // The paths and field names live as long as the table; a deque never moves its elements.
  static std::deque<std::string> texts;
  const auto text = [](const std::string& value) -> const char* {
    texts.push_back(value);
    return texts.back().c_str();
  };
  const std::string path = std::string("server.") + list;
  const std::string element = std::string(field) + "[].";
  keys.push_back({text(path), A, "[]", remark, field, 0, 0});
  keys.push_back({text(path + "[]"), O, "", "", "", 0, 0});
  keys.push_back({text(path + "[].host"), S, "\"\"", "", text(element + "host"), 0, 0});
  keys.push_back({text(path + "[].rtpPort"), U, "5004", "16 bits (higher bits dropped)",
                  text(element + "port"), 0, 0});
  keys.push_back({text(path + "[].rtcpPort"), U, "5005", "16 bits (higher bits dropped)",
                  text(element + "controlPort"), 0, 0});
  keys.push_back({text(path + "[].protoType"), S, "\"UDP\"",
                  "exactly \"UDP\" gives kind 1, anything else kind 2", text(element + "kind"), 0,
                  0});
}

std::vector<ConfigSpec> MakeConfigs() {
  std::vector<ConfigKeySpec> live = RoomKeys();
  live.insert(live.end(), {
                              {"switchThreshold", I, "0", "", "switchThreshold", 0, 0},
                              {"server", O, "", "", "", 0, 0},
                              {"server.roomServer", O, "none",
                               "an object adds the first server, kind 0", "servers", 0, 0},
                              {"server.roomServer.host", S, "\"\"", "", "servers[].host", 0, 0},
                              {"server.roomServer.tcpPort", U, "5003",
                               "16 bits (higher bits dropped)", "servers[].port", 0, 0},
                          });
  AddMediaServerKeys(live, "mediaServerList", "one server each, after the room server", "servers");
  AddMediaServerKeys(live, "backupMediaServerList", "one server each", "backupServers");
  live.insert(
      live.end(),
      {
          {"server.multiAudioThreshold", O, "", "", "", 0, 0},
          {"server.multiAudioThreshold.lossrate", F, "5", "single precision", "lossRate", 0, 0},
          {"server.multiAudioThreshold.jitter", I, "500", "", "jitter", 0, 0},
          {"server.version", I, "1", "not stored; 2 turns a room type of 1 into 4", "", 0, 0},
          {"server.logLevel", U, "4096", "", "logLevel", 0, 0},
      });
  std::vector<ConfigKeySpec> playback = RoomKeys();
  playback.push_back(
      {"logLevel", U, "4096", "at the top level here, not under server", "logLevel", 0, 0});
  return {
      {"enterRoom", "live.enterRoom",
       "not an error: the engine is asked to enter with every field zero or empty (room 0, user "
       "type 0, no servers, no application version)",
       live},
      {"openMedia", "offlinePlay.openMedia",
       "answers [-1] and calls nothing (also for JSON that is neither an object nor `null`; `null` "
       "opens with every key at its default)",
       playback},
      {"addQuestion",
       "live.addQuestion",
       "not an error: every key takes its default",
       {
           {"type", I, "0", "", "", 0, 0},
           {"optionNum", I, "0", "", "", 0, 0},
           {"correctOptions", A, "[]", "the first 32 entries", "", 0, 32},
           {"correctOptions[]", I, "", "", "", 0, 0},
       }},
      {"myAnswer",
       "live.myAnswer",
       "not an error: every key takes its default",
       {
           {"questionId", I, "0", "", "", 0, 0},
           {"selectedOptions", A, "[]", "the first 32 entries", "", 0, 32},
           {"selectedOptions[]", I, "", "", "", 0, 0},
       }},
  };
}

const std::vector<ConfigSpec> kConfigs = MakeConfigs();

}  // namespace

const std::vector<CommandSpec>& Commands() { return kCommands; }
const std::vector<MessageSpec>& Messages() { return kMessages; }
const std::vector<ConfigSpec>& Configs() { return kConfigs; }

const CommandSpec* FindCommand(const std::string& name) {
  for (const CommandSpec& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

const ConfigSpec* FindConfig(const std::string& name) {
  for (const ConfigSpec& config : kConfigs) {
    if (name == config.name) return &config;
  }
  return nullptr;
}

const char* ArgKindName(ArgKind kind) {
  switch (kind) {
    case ArgKind::kNumber:
      return "number";
    case ArgKind::kBool:
      return "bool";
    case ArgKind::kText:
      return "text";
    case ArgKind::kConfig:
      return "JSON text";
    case ArgKind::kPoints:
      return "array of point objects";
    case ArgKind::kBlock:
      return "stored-data block";
  }
  return "?";
}

const char* KeyTypeName(KeyType type) {
  switch (type) {
    case KeyType::kInteger:
      return "integer";
    case KeyType::kUnsigned:
      return "unsigned integer";
    case KeyType::kNumber:
      return "number";
    case KeyType::kText:
      return "text";
    case KeyType::kObject:
      return "object";
    case KeyType::kArray:
      return "array";
  }
  return "?";
}

}  // namespace kv_host
