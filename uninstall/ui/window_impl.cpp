#include "window_impl.h"

namespace {
constexpr wchar_t kThisProperty[] = L"KvWindowImpl";
}  // namespace

CWindowImplBase::~CWindowImplBase() {
  if (hwnd_ == nullptr) return;
  if (IsWindow(hwnd_) &&
      reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd_, GWLP_WNDPROC)) == &Proc) {
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  }
  Detach();
}

bool CWindowImplBase::Subclass(HWND window) {
  if (hwnd_ != nullptr || !IsWindow(window)) return false;
  const auto previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  if (previous == nullptr) return false;
  Attach(window, previous);
  return true;
}

HWND CWindowImplBase::CreateAttachedWindow(DWORD ex_style, const wchar_t* class_name, DWORD style,
                                           const RECT& rect, HWND parent, UINT_PTR id,
                                           HINSTANCE instance) {
  if (hwnd_ != nullptr) return nullptr;
  return CreateWindowExW(ex_style, class_name, nullptr, style, rect.left, rect.top,
                         rect.right - rect.left, rect.bottom - rect.top, parent,
                         reinterpret_cast<HMENU>(id), instance, this);
}

LRESULT CALLBACK CWindowImplBase::InitialProc(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  // The first message of a new window carries `this` in its creation data (WM_GETMINMAXINFO may
  // come first for top-level windows; it gets the default handling).
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* self = static_cast<CWindowImplBase*>(create->lpCreateParams);
    if (self != nullptr && self->hwnd_ == nullptr) {
      self->Attach(window, DefWindowProcW);
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
      return Proc(window, message, wparam, lparam);
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CWindowImplBase::CallPrevious(UINT message, WPARAM wparam, LPARAM lparam) {
  return CallWindowProcW(previous_, hwnd_, message, wparam, lparam);
}

LRESULT CALLBACK CWindowImplBase::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = static_cast<CWindowImplBase*>(GetPropW(window, kThisProperty));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    const WNDPROC previous = self->previous_;
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    self->Detach();
    return CallWindowProcW(previous, window, message, wparam, lparam);
  }
  LRESULT result = 0;
  bool handled = false;
  try {
    handled = self->HandleMessage(message, wparam, lparam, result);
  } catch (...) {
    // Nothing may cross the window procedure; an allocation failure leaves the default handling.
    handled = false;
  }
  if (handled) return result;
  return CallWindowProcW(self->previous_, window, message, wparam, lparam);
}

void CWindowImplBase::Attach(HWND window, WNDPROC previous) {
  hwnd_ = window;
  previous_ = previous;
  SetPropW(window, kThisProperty, this);
}

void CWindowImplBase::Detach() {
  if (hwnd_ != nullptr) RemovePropW(hwnd_, kThisProperty);
  hwnd_ = nullptr;
  previous_ = DefWindowProcW;
}
