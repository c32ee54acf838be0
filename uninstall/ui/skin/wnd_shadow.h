// The drop shadow of a top-level window: a layered, click-through popup owned by the parent whose
// per-pixel-alpha picture (shadow_image.h) is pushed with UpdateLayeredWindow. The parent is hooked
// through the window framework's base (hwnd() is the parent) so that the shadow follows its moves,
// sizes, showing, hiding and destruction.
// Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/skin/shadow_image.h"
#include "ui/window/window_base.h"

namespace kv_skin {

class CWndShadow : public CWindowImplBase {
 public:
  enum Status : uint8_t {
    kShadowEnabled = 0x01,
    kShadowVisible = 0x02,
    kParentVisible = 0x04,
    kCompositionActive = 0x08,
  };
  static constexpr wchar_t kClassName[] = L"TamskShadowWnd";

  // Size 0, sharpness 5, darkness 50, offset (0, 0), black; no window.
  CWndShadow() = default;
  // Detaches from a parent that is still alive: the shadow window is destroyed and the parent's
  // procedure put back, so the parent never calls into a destroyed object.
  ~CWndShadow() override;
  CWndShadow(const CWndShadow&) = delete;
  CWndShadow& operator=(const CWndShadow&) = delete;

  // Once per process, before any shadow: resolves UpdateLayeredWindow (and, where the system has
  // it, the composition query) from the system folder and registers the shadow window class.
  // False when already initialised or UpdateLayeredWindow is unavailable (then no shadow is made).
  static bool InitializeShadowSupport(HINSTANCE instance);

  // Creates the shadow window for `parent` and subclasses it. Does nothing without shadow support.
  void AttachToParent(HWND parent);

  // Setters refuse out-of-range values (false, nothing changed); a stored value is redrawn at once
  // while the shadow is visible.
  bool SetShadowSize(int size);
  bool SetShadowSharpness(unsigned sharpness);
  bool SetShadowDarkness(unsigned darkness);
  bool SetShadowOffset(int x, int y);
  bool SetShadowColor(COLORREF color);

  // Recomputes the visibility bits from the parent's style, shows the shadow window and redraws.
  void RefreshVisibility(HWND parent);
  // Rebuilds the picture for the parent's current window rectangle and pushes it.
  void RedrawShadow(HWND parent);
  // Computes the picture of `parent` (window rectangle `rect`) into `pixels`: a zeroed bottom-up
  // 32-bit buffer of ShadowPictureSize. The parent's window region, if any, gives its shape.
  void BuildShadowImage(uint32_t* pixels, HWND parent, const RECT& rect) const;

  HWND shadow_window() const { return shadow_; }
  uint8_t status() const { return status_; }
  const ShadowSettings& settings() const { return settings_; }

 protected:
  // The parent's messages; each is passed on to the parent's own procedure.
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  void RedrawIfVisible();

  HWND shadow_ = nullptr;
  uint8_t status_ = 0;
  ShadowSettings settings_;
  uint16_t last_parent_width_ = 0;
  uint16_t last_parent_height_ = 0;
  bool update_pending_ = false;
};

}  // namespace kv_skin
