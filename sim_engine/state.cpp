#include "state.h"

#include <cstring>

namespace kv_sim {

const char* const kOperationNames[] = {
    // CorvelEngine, then its static functions.
    "Engine.Reserved0",
    "Engine.SetCoreDispatcher",
    "Engine.SetCallback",
    "Engine.SetMediaCallback",
    "Engine.SetOption",
    "Engine.SetLogFile",
    "Engine.SetClientVersion",
    "Engine.Create",
    "Engine.Delete",
    // CorvelLiveEngine.
    "Live.GetInterface",
    "Live.GetDeviceInterface",
    "Live.Release",
    "Live.EnterRoom",
    "Live.QuitRoom",
    "Live.StartClass",
    "Live.EndClass",
    "Live.Reserved0",
    "Live.ApplyMicrophone",
    "Live.RevokeMicrophone",
    "Live.CancelAllMicrophone",
    "Live.ApproveMicrophone",
    "Live.OpenMicrophoneQueue",
    "Live.CloseMicrophoneQueue",
    "Live.SettingMicrophone",
    "Live.Reserved1",
    "Live.SendChatMessage",
    "Live.Reserved2",
    "Live.PublishKeynote",
    "Live.PageUp",
    "Live.PageDown",
    "Live.PageTo",
    "Live.Reserved3",
    "Live.Reserved4",
    "Live.SyncStroke",
    "Live.EraseStroke",
    "Live.GetOutputLevel",
    "Live.AssistantOnBoard",
    "Live.AssistantOffBoard",
    "Live.BanUser",
    "Live.UnBanUser",
    "Live.BanAllUser",
    "Live.UnBanAllUser",
    "Live.CancelTopMessage",
    "Live.SetNickname",
    "Live.OpenVideoMic",
    "Live.CloseVideoMic",
    "Live.BeginSendVideo",
    "Live.StopSendVideo",
    "Live.SwitchVideoStyle",
    "Live.AddQuestion",
    "Live.RemoveQuestion",
    "Live.EndQuestion",
    "Live.MyAnswer",
    // CorvelOfflinePlayEngine.
    "OfflinePlay.GetInterface",
    "OfflinePlay.GetDeviceInterface",
    "OfflinePlay.Release",
    "OfflinePlay.SetStorageCallback",
    "OfflinePlay.OpenMedia",
    "OfflinePlay.CloseMedia",
    "OfflinePlay.Reserved0",
    "OfflinePlay.Play",
    "OfflinePlay.Pause",
    "OfflinePlay.Stop",
    "OfflinePlay.Seek",
    "OfflinePlay.GetPosition",
    "OfflinePlay.SetPlaySpeed",
    // CorvelDeviceEngine.
    "Device.SetSpeakerVolume",
    "Device.GetSpeakerVolume",
    "Device.SetMicrophoneVolume",
    "Device.GetMicrophoneVolume",
    "Device.GetMicrophoneLevel",
    "Device.GetRecordingDeviceCount",
    "Device.GetRecordingDeviceName",
    "Device.StartMicrophoneTest",
    "Device.GetMicrophoneTestLevel",
    "Device.EndMicrophoneTest",
    "Device.SetRecordingDevice",
    "Device.Release",
    "Device.MuteSpeaker",
    "Device.IsSpeakerMute",
    "Device.IsMicrophoneMute",
    "Device.MuteMicrophone",
    "Device.SetVideoCaptureDevice",
    "Device.GetVideoCaptureDeviceCount",
    "Device.GetVideoCaptureDeviceName",
    "Device.OpenVideoPreview",
    "Device.CloseVideoPreview",
    "Device.OpenAudioCompressor",
    "Device.CloseAudioCompressor",
    // AudioLoopback.
    "AudioLoopback.GetInstance",
    "AudioLoopback.IsStarted",
    "AudioLoopback.Start",
    "AudioLoopback.Stop",
    "AudioLoopback.AudioLoopMutex",
    "AudioLoopback.DataQueue",
};
const size_t kOperationCount = sizeof kOperationNames / sizeof kOperationNames[0];

bool IsOperation(const std::string& name) {
  for (size_t i = 0; i < kOperationCount; ++i) {
    if (name == kOperationNames[i]) return true;
  }
  return false;
}

void FillDeviceName(const std::string& name, char (&buffer)[1024]) {
  if (name.size() >= sizeof buffer) {
    std::memcpy(buffer, name.data(), sizeof buffer);
    return;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
}

void State::Record(const char* op, cJSON* args, const char* device) {
  Json owned(args != nullptr ? args : cJSON_CreateArray());  // freed even when recording throws
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!journaling_) return;
    if (journal_.size() >= kJournalLimit || journal_bytes_ >= kJournalBytes) {
      ++dropped_;  // not even printed: a full journal costs nothing more
      return;
    }
  }
  Json entry(cJSON_CreateObject());
  Put(entry.get(), "op", MakeString(op));
  Put(entry.get(), "args", owned.release());
  if (device != nullptr) Put(entry.get(), "device", MakeString(device));
  std::string text = PrintJson(entry.get());
  std::lock_guard<std::mutex> lock(mutex_);
  // Filled by another thread meanwhile, or this entry would pass the bound.
  if (journal_.size() >= kJournalLimit || journal_bytes_ + text.size() > kJournalBytes) {
    ++dropped_;
    return;
  }
  journal_bytes_ += text.size();
  journal_.push_back(std::move(text));
}

void State::SetJournaling(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  journaling_ = on;
}

Json State::TakeJournal() {
  std::vector<std::string> taken;
  size_t dropped = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(journal_);
    journal_bytes_ = 0;
    std::swap(dropped, dropped_);
  }
  Json reply(cJSON_CreateObject());
  cJSON* array = cJSON_CreateArray();
  for (const auto& text : taken) cJSON_AddItemToArray(array, cJSON_Parse(text.c_str()));
  Put(reply.get(), "journal", array);
  if (dropped > 0) Put(reply.get(), "dropped", MakeInt(static_cast<int64_t>(dropped)));
  return reply;
}

void State::SetReply(const std::string& op, int32_t code, const cJSON* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& reply = replies_[op];
  reply.first = code;
  if (out != nullptr) reply.second = PrintJson(out);
}

Reply State::Answer(const std::string& op) const {
  Reply reply;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = replies_.find(op);
  if (found == replies_.end()) return reply;
  reply.scripted = true;
  reply.code = found->second.first;
  if (!found->second.second.empty()) reply.out = ParseJson(found->second.second);
  return reply;
}

void State::SetDevices(DeviceList list, std::vector<std::string> names) {
  std::lock_guard<std::mutex> lock(mutex_);
  (list == DeviceList::kRecording ? recording_ : video_) = std::move(names);
}

std::vector<std::string> State::Devices(DeviceList list) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return list == DeviceList::kRecording ? recording_ : video_;
}

void State::SetClassroom(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  classroom_ = on;
}

bool State::Classroom() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return classroom_;
}

void State::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  journal_.clear();
  journal_bytes_ = 0;
  dropped_ = 0;
  journaling_ = true;
  replies_.clear();
  recording_.clear();
  video_.clear();
  classroom_ = false;
}

}  // namespace kv_sim
