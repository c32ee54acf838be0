// The delegate of "offlinePlay." commands. Init creates it first; building it starts the offline
// play object, which is what connects the engine's events to the host.
#pragma once

#include <memory>
#include <string>

#include "message_delegate.h"
#include "offline_play/offline_play.h"

namespace corvel_client_offline_play_handler {

// The shell services of "openFolder", "kRunProgram" and "kvrequest". The process uses the OS seam
// (OsShell); tests record instead of launching.
class Shell {
 public:
  virtual ~Shell() = default;
  // The user's application-data folder, or empty when the shell cannot give it.
  virtual std::wstring AppDataFolder() = 0;
  // Creates one folder; failures are ignored by the callers.
  virtual void CreateFolder(const std::wstring& path) = 0;
  // Opens `file` with the "open" verb and show mode 10; null parameters or directory pass none.
  // Failures are not reported.
  virtual void Open(const std::wstring& file, const wchar_t* parameters,
                    const wchar_t* directory) = 0;
};

// The process's shell (os.h). Lives until the process ends.
Shell& OsShell();

class ProcessMessageDelegate : public corvel_client_win::MessageDelegate {
 public:
  // `run` is the host's posting object; it outlives the delegate. Starts against the process's
  // engine and shell; when the start fails the delegate keeps no offline-play object.
  explicit ProcessMessageDelegate(corvel_client_win::JavaScriptAsyncRunBase* run);
  // The same with the engine access and shell given (tests). `shell` must outlive the delegate.
  ProcessMessageDelegate(corvel_client_win::JavaScriptAsyncRunBase* run,
                         const corvel_client::OfflineEngineAccess& access, Shell& shell);
  ~ProcessMessageDelegate() override;

  // First offers the message to the "engine." table with the opened recording's device wrapper,
  // then serves "offlinePlay." commands. Nothing escapes: a command that fails to allocate
  // answers as a failed command (-1, or nothing for the commands that never answer).
  void OnMessage(std::shared_ptr<corvel_client_win::MessageFromCpp> message) override;
  void GetName(std::string& name) override;

  // The offline-play object, or null when its start failed.
  corvel_client::OfflinePlay* offlinePlay() const { return play_.get(); }

 private:
  std::unique_ptr<corvel_client::OfflinePlay> play_;
  std::string name_ = "offline";
  Shell* shell_;
};

}  // namespace corvel_client_offline_play_handler
