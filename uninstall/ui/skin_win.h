// Small Win32 helpers of the skin classes: one move-only owner template for handles with an alias
// per kind, scoped DC selections and painting, and a base class that hooks a window's procedure
// and routes its messages to a virtual handler.
#pragma once

#include <windows.h>

#include <utility>

namespace kv_skin {

// Owns one handle; Traits gives Type, Invalid() and Close(). Move-only.
template <typename Traits>
class SkinHandle {
 public:
  using Type = typename Traits::Type;

  SkinHandle() = default;
  explicit SkinHandle(Type handle) : handle_(handle) {}
  ~SkinHandle() { reset(); }
  SkinHandle(SkinHandle&& other) noexcept : handle_(other.release()) {}
  SkinHandle& operator=(SkinHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  SkinHandle(const SkinHandle&) = delete;
  SkinHandle& operator=(const SkinHandle&) = delete;

  Type get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }
  // Gives up ownership without closing.
  Type release() { return std::exchange(handle_, Traits::Invalid()); }
  // Closes the owned handle (keeping the thread's last error) and takes `handle`.
  void reset(Type handle = Traits::Invalid()) {
    if (handle_ != Traits::Invalid()) {
      const DWORD error = GetLastError();
      Traits::Close(handle_);
      SetLastError(error);
    }
    handle_ = handle;
  }

 private:
  Type handle_ = Traits::Invalid();
};

template <typename T>
struct SkinGdiObjectTraits {
  using Type = T;
  static Type Invalid() { return nullptr; }
  static void Close(Type handle) { DeleteObject(handle); }
};
struct SkinMemoryDcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type handle) { DeleteDC(handle); }
};
struct SkinModuleTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type handle) { FreeLibrary(handle); }
};
struct SkinGlobalTraits {
  using Type = HGLOBAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type handle) { GlobalFree(handle); }
};
struct SkinWindowTraits {
  using Type = HWND;
  static Type Invalid() { return nullptr; }
  static void Close(Type handle) { DestroyWindow(handle); }
};

using SkinBitmap = SkinHandle<SkinGdiObjectTraits<HBITMAP>>;
using SkinFont = SkinHandle<SkinGdiObjectTraits<HFONT>>;
using SkinRegion = SkinHandle<SkinGdiObjectTraits<HRGN>>;
using SkinMemoryDc = SkinHandle<SkinMemoryDcTraits>;
using SkinModule = SkinHandle<SkinModuleTraits>;
using SkinGlobal = SkinHandle<SkinGlobalTraits>;
using SkinWindow = SkinHandle<SkinWindowTraits>;

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
  SkinBitmap bitmap_;
  SkinMemoryDc dc_;
  HGDIOBJ old_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// Base of the skinned controls: hooks an existing window's procedure (or serves as the procedure
// of a window class) and offers each message to HandleMessage. The link is dropped at
// WM_NCDESTROY; a destroyed object with a live window puts the previous procedure back.
class SkinWindowBase {
 public:
  SkinWindowBase() = default;
  virtual ~SkinWindowBase();
  SkinWindowBase(const SkinWindowBase&) = delete;
  SkinWindowBase& operator=(const SkinWindowBase&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Hooks `window`. False, changing nothing, when this object already has a window or `window`
  // is not one.
  virtual bool Subclass(HWND window);

 protected:
  // Creates a window of a class whose procedure is InitialProc, attached to this object from its
  // first message on. Null on failure.
  HWND CreateSkinWindow(DWORD ex_style, const wchar_t* class_name, DWORD style, const RECT& rect,
                        HWND parent, UINT_PTR id, HINSTANCE instance);
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

}  // namespace kv_skin
