#include "ui/window/window_base.h"

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
  if (self->Dispatch(message, wparam, lparam, result)) return result;
  return CallWindowProcW(self->previous_, window, message, wparam, lparam);
}

HWND CWindowImplBase::CreateDialogWindow(HINSTANCE instance, int template_id, HWND owner) {
  if (hwnd_ != nullptr) return nullptr;
  return CreateDialogParamW(instance, MAKEINTRESOURCEW(template_id), owner, DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CWindowImplBase::DialogProc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
  CWindowImplBase* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CWindowImplBase*>(lparam);
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = window;
  } else {
    self = reinterpret_cast<CWindowImplBase*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  if (self == nullptr) return FALSE;
  LRESULT result = 0;
  const bool handled = self->Dispatch(message, wparam, lparam, result);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  if (!handled) return FALSE;
  switch (message) {
    // These return their result directly from a dialog procedure.
    case WM_INITDIALOG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORMSGBOX:
      return static_cast<INT_PTR>(result);
    default:
      SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

bool CWindowImplBase::Dispatch(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  try {
    return HandleMessage(message, wparam, lparam, result);
  } catch (...) {
    // Nothing may cross the window procedure; an allocation failure leaves the default handling.
    return false;
  }
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
