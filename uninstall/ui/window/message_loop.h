// A small window framework: message filters, idle handlers, the per-thread message loop and the
// module that finds the loop of the current thread. Windows only.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

// Offered every message before it is translated; returns TRUE when it consumed the message.
class CMessageFilter {
 public:
  virtual BOOL PreTranslateMessage(MSG* msg) = 0;

 protected:
  ~CMessageFilter() = default;
};

// Runs when the queue has become empty after a message that re-arms idle processing.
class CIdleHandler {
 public:
  virtual BOOL OnIdle() = 0;

 protected:
  ~CIdleHandler() = default;
};

// One thread's message loop. Filters and handlers are borrowed; they must unregister themselves
// before they are destroyed.
class CMessageLoop {
 public:
  void AddMessageFilter(CMessageFilter* filter);
  void RemoveMessageFilter(CMessageFilter* filter);
  void AddIdleHandler(CIdleHandler* handler);
  void RemoveIdleHandler(CIdleHandler* handler);

  // Runs until WM_QUIT and returns its wParam. GetMessageW failures (-1) are skipped.
  int Run();

 private:
  bool PreTranslate(MSG* msg);
  void RunIdleHandlers();

  std::vector<CMessageFilter*> filters_;
  std::vector<CIdleHandler*> idleHandlers_;
};

// The module: a per-thread registry of message loops.
class CAppModule {
 public:
  // Registers the common control classes the program uses and keeps `instance`.
  void Init(HINSTANCE instance);
  void Term();
  HINSTANCE instance() const { return instance_; }

  // Registers `loop` for the calling thread (borrowed until RemoveMessageLoop).
  void AddMessageLoop(CMessageLoop* loop);
  void RemoveMessageLoop();
  // The calling thread's loop, or nullptr.
  CMessageLoop* GetMessageLoop() const;

 private:
  HINSTANCE instance_ = nullptr;
  mutable std::mutex mutex_;
  std::map<DWORD, CMessageLoop*> loops_;
};

// The program's one module.
extern CAppModule g_module;
