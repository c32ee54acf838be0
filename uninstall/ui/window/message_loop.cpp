#include "ui/window/message_loop.h"

#include <commctrl.h>

#include <algorithm>

#include "core/window_rules.h"

CAppModule g_module;

namespace {

template <typename T>
void Remove(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) { filters_.push_back(filter); }
void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { Remove(filters_, filter); }
void CMessageLoop::AddIdleHandler(CIdleHandler* handler) { idleHandlers_.push_back(handler); }
void CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { Remove(idleHandlers_, handler); }

bool CMessageLoop::PreTranslate(MSG* msg) {
  // Newest first; a copy, because a filter may unregister itself (the dialog on WM_DESTROY).
  const std::vector<CMessageFilter*> filters(filters_.rbegin(), filters_.rend());
  for (CMessageFilter* filter : filters) {
    if (filter->PreTranslateMessage(msg)) return true;
  }
  return false;
}

void CMessageLoop::RunIdleHandlers() {
  const std::vector<CIdleHandler*> handlers(idleHandlers_);
  for (CIdleHandler* handler : handlers) handler->OnIdle();
}

int CMessageLoop::Run() {
  bool idle = true;
  MSG msg = {};
  for (;;) {
    if (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      RunIdleHandlers();
      idle = false;
    }
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) continue;
    if (got == 0) break;
    if (!PreTranslate(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (uninstall::IsIdleMessage(msg.message)) idle = true;
  }
  return int(msg.wParam);
}

void CAppModule::Init(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  instance_ = instance;
}

void CAppModule::Term() {
  std::lock_guard<std::mutex> lock(mutex_);
  loops_.clear();
}

void CAppModule::AddMessageLoop(CMessageLoop* loop) {
  std::lock_guard<std::mutex> lock(mutex_);
  loops_[::GetCurrentThreadId()] = loop;
}

void CAppModule::RemoveMessageLoop() {
  std::lock_guard<std::mutex> lock(mutex_);
  loops_.erase(::GetCurrentThreadId());
}

CMessageLoop* CAppModule::GetMessageLoop() const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = loops_.find(::GetCurrentThreadId());
  return it == loops_.end() ? nullptr : it->second;
}
