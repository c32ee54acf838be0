// Test support: an offline-play interface, playback devices and engine access that record every
// call in one journal and answer with scripted codes. One FakeOfflineWorld is active at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "offline_play/offline_play.h"

namespace corvel_client::testing {

class FakeOfflineWorld;

class FakeDevice : public corvel::CorvelDeviceEngine {
 public:
  FakeDevice(FakeOfflineWorld& world, int id) : world_(world), id_(id) {}
  int SetSpeakerVolume(int) override { return Note("SetSpeakerVolume"); }
  int GetSpeakerVolume(uint32_t& volume) override {
    volume = 51;
    return Note("GetSpeakerVolume");
  }
  int SetMicrophoneVolume(int) override { return Note("SetMicrophoneVolume"); }
  int GetMicrophoneVolume(uint32_t&) override { return Note("GetMicrophoneVolume"); }
  int GetMicrophoneLevel(uint32_t&) override { return Note("GetMicrophoneLevel"); }
  int GetRecordingDeviceCount(int&) override { return Note("GetRecordingDeviceCount"); }
  int GetRecordingDeviceName(int, char*, char*) override { return Note("GetRecordingDeviceName"); }
  int StartMicrophoneTest() override { return Note("StartMicrophoneTest"); }
  int GetMicrophoneTestLevel(uint32_t&) override { return Note("GetMicrophoneTestLevel"); }
  int EndMicrophoneTest() override { return Note("EndMicrophoneTest"); }
  int SetRecordingDevice(int) override { return Note("SetRecordingDevice"); }
  int Release() override { return Note("Release"); }
  int MuteSpeaker(bool) override { return Note("MuteSpeaker"); }
  int IsSpeakerMute(bool&) override { return Note("IsSpeakerMute"); }
  int IsMicrophoneMute(bool&) override { return Note("IsMicrophoneMute"); }
  int MuteMicrophone(bool) override { return Note("MuteMicrophone"); }
  int SetVideoCaptureDevice(int) override { return Note("SetVideoCaptureDevice"); }
  int GetVideoCaptureDeviceCount(int&) override { return Note("GetVideoCaptureDeviceCount"); }
  int GetVideoCaptureDeviceName(int, char*, char*) override {
    return Note("GetVideoCaptureDeviceName");
  }
  int OpenVideoPreview() override { return Note("OpenVideoPreview"); }
  int CloseVideoPreview() override { return Note("CloseVideoPreview"); }
  int OpenAudioCompressor(int) override { return Note("OpenAudioCompressor"); }
  int CloseAudioCompressor() override { return Note("CloseAudioCompressor"); }
  virtual ~FakeDevice() = default;

 private:
  int Note(const char* call);
  FakeOfflineWorld& world_;
  int id_;
};

class FakeOffline : public corvel::CorvelOfflinePlayEngine {
 public:
  explicit FakeOffline(FakeOfflineWorld& world) : world_(world) {}
  int Release() override;
  int SetStorageCallback(corvel::CorvelStorageCallback* callback) override;
  int OpenMedia(const corvel::EnterRoomConfig* config) override;
  int CloseMedia() override;
  int Reserved0() override;
  int Play(int value) override;
  int Pause(int value) override;
  int Stop() override;
  int Seek(int64_t position) override;
  int64_t GetPosition() override;
  int SetPlaySpeed(float speed) override;
  virtual ~FakeOffline() = default;

 private:
  FakeOfflineWorld& world_;
};

class FakeEngine : public corvel::CorvelEngine {
 public:
  int Reserved0() override { return 0; }
  int SetCoreDispatcher(corvel::ICoreDispatcher*) override { return 0; }
  int SetCallback(corvel::CorvelCallback*) override { return 0; }
  int SetMediaCallback(corvel::CorvelMediaCallBack*) override { return 0; }
  int SetOption(int) override { return 0; }
  int SetLogFile(const char*) override { return 0; }
  int SetClientVersion(int, int, std::string) override { return 0; }
  virtual ~FakeEngine() = default;
};

// The scripted engine. Constructing it makes it the one the access functions reach.
class FakeOfflineWorld {
 public:
  FakeOfflineWorld();
  ~FakeOfflineWorld();

  // Access functions over the active world.
  static const OfflineEngineAccess& Access();

  // Scripted answers.
  bool engineAvailable = true;
  bool interfaceAvailable = true;
  int storageCallbackCode = 0;
  int openCode = 0;
  int closeCode = 0;
  int playCode = 0;
  int pauseCode = 0;
  int stopCode = 0;
  int seekCode = 0;
  int speedCode = 0;
  int64_t position = 0;

  // What was asked: one line per call, e.g. "OpenMedia", "Seek 2", "Device1.Release".
  std::vector<std::string> journal;
  corvel::EnterRoomConfig lastConfig;
  bool mediaOpen = false;  // an OpenMedia that answered >= 0 and no CloseMedia since
  corvel::CorvelStorageCallback* storage = nullptr;
  corvel_client_win::JavaScriptAsyncRunBase* connectedRun = nullptr;
  int acquired = 0;  // uses taken minus uses given back

  std::vector<std::string> TakeJournal() {
    std::vector<std::string> taken;
    taken.swap(journal);
    return taken;
  }

  FakeEngine engine;
  FakeOffline offline{*this};
  EngineHolder holder;
  std::vector<std::unique_ptr<FakeDevice>> devices;
};

}  // namespace corvel_client::testing
