// The drop shadow of a top-level window: a layered, click-through popup owned by the parent whose
// per-pixel-alpha picture (shadow_image.h) is pushed with UpdateLayeredWindow. The parent is
// subclassed so that the shadow follows its moves, sizes, showing, hiding and destruction.
// Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/skin/shadow_image.h"

namespace kv_skin {

class CWndShadow {
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
  // Detaches from a parent that is still alive: its procedure is put back and the shadow window
  // destroyed, so the parent never calls into a destroyed object.
  virtual ~CWndShadow();
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

 private:
  static LRESULT CALLBACK ShadowParentProc(HWND parent, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleParentMessage(HWND parent, UINT message, WPARAM wparam, LPARAM lparam);
  void RedrawIfVisible();

  HWND shadow_ = nullptr;
  HWND parent_ = nullptr;
  WNDPROC previous_parent_proc_ = nullptr;
  uint8_t status_ = 0;
  ShadowSettings settings_;
  uint16_t last_parent_width_ = 0;
  uint16_t last_parent_height_ = 0;
  bool update_pending_ = false;
};

}  // namespace kv_skin
