// The transparent text label and the skinned progress bar of the uninstaller's window.
#pragma once

#include <windows.h>

#include "ui/skin/gdi_scope.h"
#include "ui/window/window_base.h"

namespace kv_skin {

// A static control drawn by itself: its text in its own colour and font over whatever the parent
// painted beneath (it never erases). Main thread only.
class CSimpleLabel : public CWindowImplBase {
 public:
  // Text colour of the system's window text, a copy of the default GUI font, the hand cursor.
  CSimpleLabel();
  ~CSimpleLabel() override = default;

  // Stores the colour (CLR_INVALID: the caption-text system colour) and redraws when it changed.
  void SetTextColor(COLORREF color);
  COLORREF GetTextColor() const { return text_color_; }
  // Makes the label's own copy of `font` (the caller keeps `font`); a null font changes nothing.
  void SetFont(HFONT font);
  HFONT GetFont() const { return font_.get(); }

 protected:
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  void Draw(HDC dc);

  uninstall::UniqueFont font_;
  LOGFONTW log_font_{};
  COLORREF text_color_;
  bool no_paint_ = false;
  HCURSOR cursor_;
};

// The progress bar: a child window of class "Kovra_ProgressCtrl" drawing the skin's track and
// fill for a position in 0 ... 100 (other values are stored and drawn clamped). Main thread only.
class CKovraProcessCtrl : public CWindowImplBase {
 public:
  static constexpr wchar_t kClassName[] = L"Kovra_ProgressCtrl";

  CKovraProcessCtrl() = default;
  ~CKovraProcessCtrl() override = default;

  // Creates the visible child over `rect` of `parent` (class registered on first use). Null on
  // failure or when this object already has a window.
  HWND Create(HWND parent, const RECT& rect);
  // Stores `position` unchecked and invalidates the whole bar.
  void SetPos(int position);
  int GetPos() const { return position_; }

 protected:
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  void Draw(HDC dc);
  int position_ = 0;
};

}  // namespace kv_skin
