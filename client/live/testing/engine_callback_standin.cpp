// Until EngineCallback is built, the engine holder links against this inert stand-in: it accepts
// every event and posts nothing. Used by unit tests of the command side only.
#include "engine/engine_callback.h"

namespace corvel_client {

EngineCallback::EngineCallback() = default;
EngineCallback::~EngineCallback() = default;
void EngineCallback::SetAsyncRun(corvel_client_win::JavaScriptAsyncRunBase* run) { run_ = run; }

void EngineCallback::OnConnected() {}
int EngineCallback::OnError(int32_t) { return 0; }
void EngineCallback::OnServerChanged(int32_t) {}
void EngineCallback::OnUserEnterRoom(const corvel::UserInfo&, int32_t) {}
void EngineCallback::OnUserQuitRoom(int32_t, int32_t) {}
void EngineCallback::OnRoomInfo(const corvel::RoomInfo&) {}
void EngineCallback::OnMicrophoneApplied(const corvel::UserInfo&, int32_t) {}
void EngineCallback::OnMicrophoneCanceled(int32_t, int32_t, const std::pair<int32_t, int32_t>&) {}
void EngineCallback::OnMicrophoneApproved(const corvel::UserInfo&, int32_t, int32_t, int32_t) {}
void EngineCallback::OnMicrophoneQueueOpened(int32_t) {}
void EngineCallback::OnMicrophoneQueueClosed(int32_t) {}
void EngineCallback::OnMicrophoneCancelAll(int32_t) {}
void EngineCallback::OnMediaInfo(const corvel::MediaInfo&) {}
void EngineCallback::OnChatMessage(int32_t, const corvel::ChatMessage&) {}
void EngineCallback::OnChatMessageFailed(int32_t, int32_t, const std::string&) {}
void EngineCallback::OnKeynoteInfo(const corvel::KeynoteInfo&) {}
void EngineCallback::OnPageTo(int32_t, int32_t) {}
void EngineCallback::OnSyncStroke(const corvel::StrokeInfo&) {}
void EngineCallback::OnEraseStroke(int32_t) {}
void EngineCallback::OnStartClass(int64_t) {}
void EngineCallback::OnEndClass() {}
void EngineCallback::OnSyncMedia() {}
void EngineCallback::OnAssistantOnBoard(int32_t) {}
void EngineCallback::OnAssistantOffBoard(int32_t) {}
void EngineCallback::OnUserBanned(int32_t, const int32_t&) {}
void EngineCallback::OnUserUnBanned(int32_t, int32_t) {}
void EngineCallback::OnAllUserBanned(int32_t) {}
void EngineCallback::OnAllUserUnBanned(int32_t) {}
void EngineCallback::OnTopMessageCanceled() {}
void EngineCallback::OnReserved() {}
void EngineCallback::OnNetStatistics(int32_t, int32_t, int32_t, int32_t, int32_t) {}
void EngineCallback::OnMicrophoneSettingTimer(int32_t, int32_t) {}
void EngineCallback::OnMediaDataReady(int64_t) {}
void EngineCallback::OnSyncRoomInfo(int32_t, int32_t, int32_t) {}
void EngineCallback::OnVideoMicEvent(int32_t, bool) {}
void EngineCallback::OnVideoStyleEvent(int32_t, int32_t, int32_t) {}
void EngineCallback::OnDeviceEvent(int32_t, int32_t, int32_t) {}
void EngineCallback::OnUploadClientLog(int32_t, std::string) {}
void EngineCallback::OnAddQuestion(const std::string&) {}
void EngineCallback::OnRemoveQuestion(int32_t) {}
void EngineCallback::OnEndQuestion(int32_t) {}
void EngineCallback::OnAnswerSummary(const std::string&) {}
void EngineCallback::OnMyAnswer(const std::string&) {}
void EngineCallback::OnSystemMessage(int64_t, int64_t, const std::string&) {}
int EngineCallback::OnMediaReserved0() { return 0; }
int EngineCallback::OnVideoData(int32_t, const uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }
int EngineCallback::OnGetVideoData(int32_t, int32_t, int32_t, int32_t, const uint8_t*, int32_t, const uint8_t*, int32_t, const uint8_t*, int32_t) { return 0; }
void EngineCallback::OnMediaReserved3(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {}
void EngineCallback::OnRecordAudio(int16_t*, int32_t, uint32_t, uint8_t) {}
void EngineCallback::OnNetQuality(uint64_t, double) {}

}  // namespace corvel_client
