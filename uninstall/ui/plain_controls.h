// Unskinned stand-ins for the main dialog's controls: thin wrappers over the template's statics
// and buttons and a common-controls progress bar. The skinned classes replace them member for
// member (same operations), so the dialog's logic does not change. Windows only.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

// A child window the dialog owns through a template control or creates itself.
class CPlainWindow {
 public:
  // Takes over the template control `hwnd` (borrowed; the dialog destroys it).
  void SubclassWindow(HWND hwnd) { hwnd_ = hwnd; }
  HWND hwnd() const { return hwnd_; }
  void Show(bool visible) const { ::ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE); }
  void Enable(bool enabled) const { ::EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  void MoveTo(int x, int y) const {
    ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
  }
  void Place(int x, int y, int cx, int cy) const {
    ::SetWindowPos(hwnd_, nullptr, x, y, cx, cy, SWP_NOZORDER);
  }
  void SetText(const std::wstring& text) const { ::SetWindowTextW(hwnd_, text.c_str()); }

 protected:
  HWND hwnd_ = nullptr;
};

class CPlainLabel : public CPlainWindow {
 public:
  // The plain static keeps the system text colour; the skinned label draws with `color`.
  void SetTextColor(COLORREF color) { color_ = color; }

 private:
  COLORREF color_ = 0;
};

class CPlainButton : public CPlainWindow {};

class CPlainProgress : public CPlainWindow {
 public:
  // Creates the bar as a child of `parent` over `rect` (client coordinates); false on failure.
  bool Create(HWND parent, const RECT& rect) {
    hwnd_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                              nullptr, nullptr);
    if (hwnd_ != nullptr) ::SendMessageW(hwnd_, PBM_SETRANGE32, 0, 100);
    return hwnd_ != nullptr;
  }
  // Stores `percent` unchanged; the bar itself draws it clamped to its range.
  void SetPos(int percent) {
    pos_ = percent;
    ::SendMessageW(hwnd_, PBM_SETPOS, WPARAM(percent < 0 ? 0 : percent), 0);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
  int pos() const { return pos_; }

 private:
  int pos_ = 0;
};
