// The image button: one of four images per state (optionally nine-slice stretched over the whole
// button), text in a state colour on top, and a 300 ms cross-fade between the normal and the hover
// look. Subclasses an existing push button and reports clicks to its parent as BN_CLICKED.
// Main thread only.
#pragma once

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include "ui/skin/gdi_scope.h"
#include "ui/skin/skin_layout.h"
#include "ui/window/window_base.h"

namespace kv_skin {

class CBitmapButtonEx : public CWindowImplBase {
 public:
  // `extended_style`: ButtonExtendedStyle bits. The button owns `images` (destroyed with it)
  // unless kBtnSharedImages is set.
  explicit CBitmapButtonEx(DWORD extended_style = 0, HIMAGELIST images = nullptr);
  ~CBitmapButtonEx() override;

  // Hooks the button, makes it owner-drawn, creates its tooltip window and, with kBtnAutoSize,
  // sizes it to the images. False when `button` is not a window or this object has one.
  bool Subclass(HWND button) override;

  // Replaces the bits selected by `mask` (0: all); returns the previous style.
  DWORD SetBitmapButtonExtendedStyle(DWORD style, DWORD mask = 0);
  // Returns the previous list; its ownership goes back to the caller.
  HIMAGELIST SetImageList(HIMAGELIST images);
  // Image-list indices per state; -1 falls back to the normal image.
  void SetImages(int normal, int pressed = -1, int hover = -1, int disabled = -1);
  void SetHandCursor(bool on) { hand_cursor_ = on; }
  void SetNineSlice(bool on) { nine_slice_ = on; }
  void SetNormalTextColor(COLORREF color, bool custom = true) {
    normal_text_color_ = color;
    custom_color_ = custom;
  }
  void SetTextTopInset(int inset) { text_top_inset_ = inset; }

  // Draws image `index` over a width x height area at the DC's origin by nine-slice tiling.
  void DrawNineSlice(HDC dc, int index, int width, int height) const;

  // State, for the window's owner and tests.
  bool IsMouseOver() const { return mouse_over_; }
  bool IsPressed() const { return pressed_; }
  bool IsFading() const { return fading_; }
  float FadeProgress() const { return fade_progress_; }
  COLORREF CurrentTextColor() const { return current_text_color_; }
  HWND ToolTip() const { return tooltip_; }

 protected:
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  ButtonLook ChooseLook() const;
  void RenderLook(HDC dc);
  void DrawLabel(HDC dc);
  void Paint();
  void Repaint();
  bool EnsureLook(SkinMemoryBitmap& look);
  void BeginFade();
  void OnFadeTimer();
  void OnMouseMove(LPARAM lparam);
  void OnMouseLeave();
  void OnLeftButtonDown();
  void OnLeftButtonUp();
  void RelayToToolTip(UINT message, WPARAM wparam, LPARAM lparam);
  bool HoverMode() const { return (extended_style_ & kBtnHoverMode) != 0; }

  DWORD extended_style_;
  HIMAGELIST images_;
  int indices_[4] = {-1, -1, -1, -1};  // normal, pressed, hover, disabled
  HWND tooltip_ = nullptr;
  bool mouse_over_ = false;
  bool focus_ = false;
  bool pressed_ = false;
  SkinMemoryBitmap target_look_;
  SkinMemoryBitmap source_look_;
  DWORD fade_start_ = 0;
  bool fading_ = false;
  float fade_progress_ = 0.0f;
  COLORREF current_text_color_ = 0;
  COLORREF normal_text_color_ = 0;
  bool custom_color_ = false;
  int text_top_inset_ = 0;
  bool hand_cursor_ = false;
  bool nine_slice_ = true;
};

}  // namespace kv_skin
