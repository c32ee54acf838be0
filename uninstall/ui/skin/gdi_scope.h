// Scoped GDI helpers of the skin classes: DC selections, painting, window DCs and a kept memory
// bitmap. Handles themselves are owned by the aliases of os_win/unique_handle.h.
#pragma once

#include <windows.h>

#include "os_win/unique_handle.h"

namespace kv_skin {

// Selects an object into a DC for the scope and restores the previous one.
class SkinSelect {
 public:
  SkinSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
  ~SkinSelect() {
    if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  SkinSelect(const SkinSelect&) = delete;
  SkinSelect& operator=(const SkinSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// BeginPaint / EndPaint for the scope.
class SkinPaint {
 public:
  explicit SkinPaint(HWND window) : window_(window) { BeginPaint(window, &ps_); }
  ~SkinPaint() { EndPaint(window_, &ps_); }
  SkinPaint(const SkinPaint&) = delete;
  SkinPaint& operator=(const SkinPaint&) = delete;
  HDC dc() const { return ps_.hdc; }
  const PAINTSTRUCT& ps() const { return ps_; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
};

// GetDC / ReleaseDC for the scope (null window: the screen).
class SkinWindowDc {
 public:
  explicit SkinWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~SkinWindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  SkinWindowDc(const SkinWindowDc&) = delete;
  SkinWindowDc& operator=(const SkinWindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A bitmap of a fixed size selected into its own memory DC, kept for repeated drawing.
class SkinMemoryBitmap {
 public:
  SkinMemoryBitmap() = default;
  ~SkinMemoryBitmap() { Reset(); }
  SkinMemoryBitmap(const SkinMemoryBitmap&) = delete;
  SkinMemoryBitmap& operator=(const SkinMemoryBitmap&) = delete;

  // A 32-bit bottom-up DIB section compatible with `reference`. False (and empty) on failure.
  bool CreateDib(HDC reference, int width, int height);
  void Reset();
  bool valid() const { return static_cast<bool>(bitmap_); }
  HDC dc() const { return dc_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  uninstall::UniqueBitmap bitmap_;
  uninstall::UniqueMemoryDc dc_;
  HGDIOBJ old_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace kv_skin
