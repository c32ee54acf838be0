// Move-only owners for COM: interface pointers, BSTR texts, VARIANTs and the per-thread COM
// initialisation, beside the handle owners of unique_handle.h. Windows only.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <utility>

#include "os_win/unique_handle.h"

namespace uninstall {

// Owns one reference to the interface T, released when the owner ends. `put()` hands out the
// address for a call that returns a new reference (the old one released first).
template <typename T>
class UniqueCom {
 public:
  UniqueCom() = default;
  UniqueCom(const UniqueCom&) = delete;
  UniqueCom& operator=(const UniqueCom&) = delete;
  UniqueCom(UniqueCom&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  UniqueCom& operator=(UniqueCom&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ~UniqueCom() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {
    reset();
    return &p_;
  }
  // For CoCreateInstance and QueryInterface, which take the address as void**.
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// A BSTR made from `text` (null when the allocation fails), freed when the owner ends.
class UniqueBstr {
 public:
  explicit UniqueBstr(const wchar_t* text) : text_(::SysAllocString(text)) {}
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { ::SysFreeString(text_); }
  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

// A VARIANT, empty until written, cleared when the owner ends.
class UniqueVariant {
 public:
  UniqueVariant() { ::VariantInit(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { ::VariantClear(&value_); }
  const VARIANT& get() const { return value_; }
  VARIANT* put() { return &value_; }

 private:
  VARIANT value_;
};

// COM initialised on this thread for the owner's scope (`flags` as CoInitializeEx takes them);
// uninitialised at the end only when the initialisation succeeded.
class ComApartment {
 public:
  explicit ComApartment(DWORD flags = COINIT_APARTMENTTHREADED)
      : result_(::CoInitializeEx(nullptr, flags)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  bool ok() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

inline void FreeCoTaskMemory(PWSTR p) { ::CoTaskMemFree(p); }
// A text the system allocated with CoTaskMemAlloc for the caller (known-folder paths).
using UniqueCoTaskText = UniqueAny<PWSTR, FreeCoTaskMemory>;

}  // namespace uninstall
