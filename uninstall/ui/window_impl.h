// Window base of the framework: hooks an existing window's procedure (a dialog's control) or
// serves as the procedure of a window class, and offers each message to a virtual handler.
// Windows only.
#pragma once

#include <windows.h>

// The link is dropped at WM_NCDESTROY; a destroyed object with a live window puts the previous
// procedure back. Nothing thrown by a handler crosses the window procedure.
class CWindowImplBase {
 public:
  CWindowImplBase() = default;
  virtual ~CWindowImplBase();
  CWindowImplBase(const CWindowImplBase&) = delete;
  CWindowImplBase& operator=(const CWindowImplBase&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Hooks `window`. False, changing nothing, when this object already has a window or `window`
  // is not one.
  virtual bool Subclass(HWND window);

 protected:
  // Creates a window of a class whose procedure is InitialProc, attached to this object from its
  // first message on. Null on failure.
  HWND CreateAttachedWindow(DWORD ex_style, const wchar_t* class_name, DWORD style,
                            const RECT& rect, HWND parent, UINT_PTR id, HINSTANCE instance);
  static LRESULT CALLBACK InitialProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  // Returns true with `result` set when the message is handled; false passes it on.
  virtual bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) = 0;
  // The window's procedure before this object hooked it.
  LRESULT CallPrevious(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Attach(HWND window, WNDPROC previous);
  void Detach();

  HWND hwnd_ = nullptr;
  WNDPROC previous_ = DefWindowProcW;
};
