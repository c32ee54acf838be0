// The window framework's one base: a C++ object attached to a window it created (a window of a
// class whose procedure is InitialProc, or a modeless dialog from a template) or to an existing
// window it hooked (a dialog's control). Each message is offered to one virtual handler.
// Windows only.
#pragma once

#include <windows.h>

// The link is dropped at WM_NCDESTROY; a destroyed object with a live hooked window puts the
// previous procedure back. Nothing thrown by a handler crosses the window or dialog procedure.
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

  // Creates the modeless dialog of template `template_id`, attached to this object from
  // WM_INITDIALOG on; every message, WM_NCDESTROY included, goes to HandleMessage, and an
  // unhandled one gets the default dialog processing. Null on failure.
  HWND CreateDialogWindow(HINSTANCE instance, int template_id, HWND owner);

  // Returns true with `result` set when the message is handled; false passes it on.
  virtual bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) = 0;
  // The window's procedure before this object hooked it.
  LRESULT CallPrevious(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // HandleMessage with nothing thrown out of it (a throw leaves the message unhandled).
  bool Dispatch(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  void Attach(HWND window, WNDPROC previous);
  void Detach();

  HWND hwnd_ = nullptr;
  WNDPROC previous_ = DefWindowProcW;
};
