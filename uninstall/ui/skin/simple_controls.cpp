#include "ui/skin/simple_controls.h"

#include <string>

#include "ui/skin/skin_resources.h"

namespace kv_skin {

CSimpleLabel::CSimpleLabel()
    : text_color_(::GetSysColor(COLOR_WINDOWTEXT)), cursor_(LoadCursorW(nullptr, IDC_HAND)) {
  SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
}

void CSimpleLabel::SetTextColor(COLORREF color) {
  if (color == text_color_) return;
  text_color_ = color;
  if (hwnd() != nullptr) {
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
  }
}

void CSimpleLabel::SetFont(HFONT font) {
  LOGFONTW copy{};
  if (font == nullptr || GetObjectW(font, sizeof(copy), &copy) == 0) return;
  log_font_ = copy;
  font_.reset(CreateFontIndirectW(&log_font_));
}

bool CSimpleLabel::HandleMessage(UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_PAINT:
      if (no_paint_) return false;
      if (wparam != 0) {
        Draw(reinterpret_cast<HDC>(wparam));
      } else {
        SkinPaint paint(hwnd());
        Draw(paint.dc());
      }
      result = 0;
      return true;
    case WM_ERASEBKGND:
      result = 1;  // the parent's background shows through
      return true;
    case WM_SETCURSOR:
      if (cursor_ == nullptr) return false;
      SetCursor(cursor_);
      result = 0;
      return true;
    default:
      return false;
  }
}

void CSimpleLabel::Draw(HDC dc) {
  const int length = GetWindowTextLengthW(hwnd());
  if (length <= 0) return;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd(), text.data(), length + 1);
  if (copied <= 0) return;
  RECT rect{};
  GetClientRect(hwnd(), &rect);
  SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, text_color_ == CLR_INVALID ? ::GetSysColor(COLOR_CAPTIONTEXT) : text_color_);
  SkinSelect font(dc, font_.get());
  DrawTextW(dc, text.c_str(), copied, &rect, DT_LEFT | DT_WORDBREAK | DT_EXTERNALLEADING);
}

HWND CKovraProcessCtrl::Create(HWND parent, const RECT& rect) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{sizeof(existing)};
  if (!GetClassInfoExW(instance, kClassName, &existing)) {
    WNDCLASSEXW wc{sizeof(wc)};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &CWindowImplBase::InitialProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (RegisterClassExW(&wc) == 0) return nullptr;
  }
  // A child id of its own, as a dialog's controls have; nothing looks it up.
  static UINT_PTR next_id = 0xE000;
  return CreateAttachedWindow(0, kClassName, WS_CHILD | WS_VISIBLE, rect, parent, next_id++,
                              instance);
}

void CKovraProcessCtrl::SetPos(int position) {
  position_ = position;
  if (hwnd() != nullptr) InvalidateRect(hwnd(), nullptr, TRUE);
}

bool CKovraProcessCtrl::HandleMessage(UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_ERASEBKGND:
      // All drawing happens here, so the bar is complete as soon as its background is erased.
      Draw(reinterpret_cast<HDC>(wparam));
      result = 1;
      return true;
    case WM_PAINT: {
      // Validates the update region (BeginPaint erases first when needed); without it the
      // window would be sent WM_PAINT again and again.
      SkinPaint paint(hwnd());
      if (paint.ps().fErase) Draw(paint.dc());
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

void CKovraProcessCtrl::Draw(HDC dc) {
  RECT rect{};
  GetClientRect(hwnd(), &rect);
  SetBkMode(dc, TRANSPARENT);
  CSkinResources::Instance().DrawProgress(dc, rect, position_);
}

}  // namespace kv_skin
