#include "ui/skin/wnd_shadow.h"

#include <cstring>
#include <string>
#include <vector>

#include "os_win/system_function.h"
#include "os_win/version.h"
#include "ui/skin/gdi_scope.h"

namespace kv_skin {

namespace {

using UpdateLayeredWindowFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                            BLENDFUNCTION*, DWORD);
using CompositionQueryFn = HRESULT(WINAPI*)(BOOL*);
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);

constexpr DWORD kProductHomeBasic = 2;
constexpr UINT kDwmCompositionChanged = 0x031E;

// Process-wide: set by InitializeShadowSupport, read by every shadow. Main thread only.
struct ShadowSupport {
  UpdateLayeredWindowFn update_layered = nullptr;
  CompositionQueryFn composition_enabled = nullptr;
  HINSTANCE instance = nullptr;
};

ShadowSupport& Support() {
  static ShadowSupport* support = new ShadowSupport();  // never destroyed: used until exit
  return *support;
}

// Loads a DLL from the system folder by full path, never from the program's folder.
HMODULE LoadSystemLibrary(const std::wstring& folder, const wchar_t* name) {
  return LoadLibraryW((folder + L"\\" + name).c_str());
}

bool CompositionOn() {
  BOOL enabled = FALSE;
  const CompositionQueryFn query = Support().composition_enabled;
  return query != nullptr && SUCCEEDED(query(&enabled)) && enabled;
}

bool HasStyle(HWND window, LONG style) { return (GetWindowLongW(window, GWL_STYLE) & style) != 0; }

}  // namespace

bool CWndShadow::InitializeShadowSupport(HINSTANCE instance) {
  ShadowSupport& support = Support();
  if (support.update_layered != nullptr) return false;
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  // The libraries stay loaded for the life of the process: their functions are kept.
  HMODULE user32 = LoadSystemLibrary(folder, L"user32.dll");
  if (user32 == nullptr) return false;
  support.update_layered = reinterpret_cast<UpdateLayeredWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "UpdateLayeredWindow")));
  if (support.update_layered == nullptr) return false;

  OSVERSIONINFOW version;
  if (uninstall::GetOsVersion(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
      version.dwMajorVersion >= 6) {
    const auto product_info =
        uninstall::SystemFunction<GetProductInfoFn>(L"Kernel32.dll", "GetProductInfo");
    DWORD product = 0;
    if (product_info != nullptr &&
        product_info(version.dwMajorVersion, version.dwMinorVersion, 0, 0, &product) &&
        product != kProductHomeBasic) {
      if (HMODULE dwm = LoadSystemLibrary(folder, L"dwmapi.dll")) {
        support.composition_enabled = reinterpret_cast<CompositionQueryFn>(
            reinterpret_cast<void*>(GetProcAddress(dwm, "DwmIsCompositionEnabled")));
      }
    }
  }

  support.instance = instance;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // a failure only means that no shadow window can be created
  return true;
}

CWndShadow::~CWndShadow() {
  // The base puts the parent's procedure back afterwards.
  if (shadow_ != nullptr && IsWindow(shadow_)) DestroyWindow(shadow_);
}

void CWndShadow::AttachToParent(HWND parent) {
  ShadowSupport& support = Support();
  if (support.update_layered == nullptr || hwnd() != nullptr) return;
  shadow_ = CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kClassName, nullptr, WS_POPUPWINDOW,
                            CW_USEDEFAULT, 0, 0, 0, parent, nullptr, support.instance, nullptr);
  status_ = kShadowEnabled;
  if (CompositionOn()) status_ |= kCompositionActive;
  RefreshVisibility(parent);
  Subclass(parent);
}

void CWndShadow::RedrawIfVisible() {
  if ((status_ & kShadowVisible) != 0) RedrawShadow(GetParent(shadow_));
}

bool CWndShadow::SetShadowSize(int size) {
  if (!settings_.SetSize(size)) return false;
  RedrawIfVisible();
  return true;
}

bool CWndShadow::SetShadowSharpness(unsigned sharpness) {
  if (!settings_.SetSharpness(sharpness)) return false;
  RedrawIfVisible();
  return true;
}

bool CWndShadow::SetShadowDarkness(unsigned darkness) {
  if (!settings_.SetDarkness(darkness)) return false;
  RedrawIfVisible();
  return true;
}

bool CWndShadow::SetShadowOffset(int x, int y) {
  if (!settings_.SetOffset(x, y)) return false;
  RedrawIfVisible();
  return true;
}

bool CWndShadow::SetShadowColor(COLORREF color) {
  settings_.color = color;
  RedrawIfVisible();
  return true;
}

void CWndShadow::RefreshVisibility(HWND parent) {
  status_ &= kShadowEnabled | kCompositionActive;
  if ((status_ & kShadowEnabled) != 0 && (status_ & kCompositionActive) == 0 &&
      HasStyle(parent, WS_VISIBLE)) {
    status_ |= kParentVisible;
    if (!HasStyle(parent, WS_MAXIMIZE | WS_MINIMIZE)) status_ |= kShadowVisible;
  }
  ShowWindow(shadow_, SW_SHOWNA);
  RedrawShadow(parent);
}

void CWndShadow::RedrawShadow(HWND parent) {
  const UpdateLayeredWindowFn update_layered = Support().update_layered;
  if (update_layered == nullptr || shadow_ == nullptr) return;
  RECT rect{};
  if (!GetWindowRect(parent, &rect)) return;
  const PictureSize size =
      ShadowPictureSize(settings_, rect.right - rect.left, rect.bottom - rect.top);
  if (size.width <= 0 || size.height <= 0) return;  // a parent smaller than a negative shadow

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = size.width;
  info.bmiHeader.biHeight = size.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(size.width) * size.height * 4;
  void* bits = nullptr;
  uninstall::UniqueBitmap bitmap(
      CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return;
  std::memset(bits, 0, info.bmiHeader.biSizeImage);
  BuildShadowImage(static_cast<uint32_t*>(bits), parent, rect);

  uninstall::UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
  if (!memory) return;
  SkinSelect select(memory.get(), bitmap.get());
  POINT position{rect.left + settings_.x_offset - settings_.size,
                 rect.top + settings_.y_offset - settings_.size};
  MoveWindow(shadow_, position.x, position.y, size.width, size.height, FALSE);
  SIZE extent{size.width, size.height};
  POINT source{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  update_layered(shadow_, nullptr, &position, &extent, memory.get(), &source, 0, &blend, ULW_ALPHA);
}

void CWndShadow::BuildShadowImage(uint32_t* pixels, HWND parent, const RECT& rect) const {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  uninstall::UniqueRegion region(CreateRectRgn(0, 0, width, height));
  if (!region) return;
  GetWindowRgn(parent, region.get());  // keeps the rectangle when the parent has no region
  const std::vector<RowSpan> rows = ScanRowSpans(
      width, height, [&](int x, int y) { return PtInRegion(region.get(), x, y) != FALSE; });
  const PictureSize size = ShadowPictureSize(settings_, width, height);
  kv_skin::BuildShadowImage(settings_, width, rows, {pixels, size.width, size.height, true});
}

bool CWndShadow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  const HWND parent = hwnd();
  switch (message) {
    case WM_MOVE: {
      RECT rect{};
      GetWindowRect(parent, &rect);
      SetWindowPos(shadow_, HWND_TOP, rect.left + settings_.x_offset - settings_.size,
                   rect.top + settings_.y_offset - settings_.size, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE);
      break;
    }
    case WM_SIZE:
      if (wparam == SIZE_MAXIMIZED || wparam == SIZE_MINIMIZED) {
        ShowWindow(shadow_, SW_HIDE);
        status_ &= ~kShadowVisible;
      } else if (HasStyle(parent, WS_VISIBLE)) {
        status_ |= kParentVisible;
        const uint16_t width = LOWORD(lparam);
        const uint16_t height = HIWORD(lparam);
        if ((status_ & kShadowVisible) == 0) {
          status_ |= kShadowVisible | kParentVisible;
          RedrawShadow(parent);
          ShowWindow(shadow_, SW_SHOWNA);
          update_pending_ = true;
        } else if (width > last_parent_width_ || height > last_parent_height_) {
          update_pending_ = true;  // growing: the parent paints first, then the shadow follows
        } else {
          RedrawShadow(parent);
        }
      }
      last_parent_width_ = LOWORD(lparam);
      last_parent_height_ = HIWORD(lparam);
      break;
    case WM_PAINT:
      if (update_pending_) {
        RedrawShadow(parent);
        update_pending_ = false;
      }
      break;
    case WM_EXITSIZEMOVE:
      if ((status_ & kShadowVisible) != 0) RedrawShadow(parent);
      break;
    case WM_SHOWWINDOW: {
      result = CallPrevious(message, wparam, lparam);
      if (!wparam) {
        ShowWindow(shadow_, SW_HIDE);
        status_ &= ~(kShadowVisible | kParentVisible);
      } else {
        update_pending_ = true;
        RefreshVisibility(parent);
      }
      return true;
    }
    case WM_DESTROY:
      DestroyWindow(shadow_);
      shadow_ = nullptr;
      break;
    case kDwmCompositionChanged:
      if (CompositionOn()) {
        status_ |= kCompositionActive;
      } else {
        status_ &= ~kCompositionActive;
      }
      RefreshVisibility(parent);
      break;
    default:
      break;
  }
  return false;  // the base passes every message on to the parent's own procedure
}

}  // namespace kv_skin
