// Move-only owners for Windows handles and GDI objects: one template, one alias per kind. Windows
// only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

namespace uninstall {

// Owns a pointer-like handle of type T, closed with Close unless it equals the invalid value
// (InvalidBits as a pointer). reset() keeps the thread's last error intact so callers can still
// read why a call failed.
template <typename T, auto Close, intptr_t InvalidBits = 0>
class UniqueAny {
  static T Invalid() { return reinterpret_cast<T>(InvalidBits); }

 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid(); }

  // Closes the held handle (if any) and takes `value`.
  void reset(T value = Invalid()) {
    if (value_ != Invalid()) {
      const DWORD error = GetLastError();
      Close(value_);
      SetLastError(error);
    }
    value_ = value;
  }

  // Gives up ownership without closing.
  [[nodiscard]] T release() { return std::exchange(value_, Invalid()); }

 private:
  T value_ = Invalid();
};

inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void CloseFind(HANDLE h) { ::FindClose(h); }
inline void CloseKey(HKEY h) { ::RegCloseKey(h); }
inline void DestroyIconHandle(HICON h) { ::DestroyIcon(h); }
inline void DeleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void DeleteMemoryDc(HDC h) { ::DeleteDC(h); }
inline void FreeGlobal(HGLOBAL h) { ::GlobalFree(h); }
inline void FreeLocal(HLOCAL h) { ::LocalFree(h); }

// Kernel objects whose failure value is null (processes, threads, mutexes).
using UniqueHandle = UniqueAny<HANDLE, CloseKernelHandle>;
// Handles whose failure value is INVALID_HANDLE_VALUE (files, tool-help snapshots).
using UniqueFileHandle = UniqueAny<HANDLE, CloseKernelHandle, -1>;
using UniqueFindHandle = UniqueAny<HANDLE, CloseFind, -1>;
using UniqueHKey = UniqueAny<HKEY, CloseKey>;
using UniqueHIcon = UniqueAny<HICON, DestroyIconHandle>;
// GDI objects; the object must not be selected into a DC when it is deleted.
using UniqueBitmap = UniqueAny<HBITMAP, DeleteGdiObject>;
using UniqueFont = UniqueAny<HFONT, DeleteGdiObject>;
using UniqueRegion = UniqueAny<HRGN, DeleteGdiObject>;
// A DC made by CreateCompatibleDC (not one from GetDC or BeginPaint).
using UniqueMemoryDc = UniqueAny<HDC, DeleteMemoryDc>;
using UniqueGlobal = UniqueAny<HGLOBAL, FreeGlobal>;
// Memory the system allocated with LocalAlloc for the caller (security descriptors).
using UniqueLocal = UniqueAny<HLOCAL, FreeLocal>;

// Runs a callable when the scope ends, unless released.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() {
    if (armed_) f_();
  }
  void release() { armed_ = false; }

 private:
  F f_;
  bool armed_ = true;
};

}  // namespace uninstall
