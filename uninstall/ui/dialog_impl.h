// Dialog base of the window framework: a static dialog procedure that finds the C++ object and
// forwards every message to its ProcessWindowMessage. Windows only.
#pragma once

#include <windows.h>

#include "message_loop.h"

// T provides `enum { IDD = <template id> };` and
// `bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT& result)` returning whether it
// handled the message.
template <typename T>
class CDialogImpl {
 public:
  CDialogImpl() = default;
  CDialogImpl(const CDialogImpl&) = delete;
  CDialogImpl& operator=(const CDialogImpl&) = delete;

  // Creates the modeless dialog from T::IDD; null on failure.
  HWND Create(HWND owner) {
    return ::CreateDialogParamW(g_module.instance(), MAKEINTRESOURCEW(T::IDD), owner, StaticProc,
                                reinterpret_cast<LPARAM>(this));
  }

  HWND m_hWnd = nullptr;

 protected:
  ~CDialogImpl() = default;

 private:
  static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CDialogImpl* self = nullptr;
    if (msg == WM_INITDIALOG) {
      self = reinterpret_cast<CDialogImpl*>(lp);
      ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
      self->m_hWnd = hwnd;
    } else {
      self = reinterpret_cast<CDialogImpl*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    LRESULT result = 0;
    const bool handled = static_cast<T*>(self)->ProcessWindowMessage(hwnd, msg, wp, lp, result);
    if (msg == WM_NCDESTROY) {
      ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      self->m_hWnd = nullptr;
    }
    if (!handled) return FALSE;
    switch (msg) {
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
        ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
  }
};
