#include "ui/skin/bitmap_button.h"

#include <windowsx.h>

#include <vector>

namespace kv_skin {

CBitmapButtonEx::CBitmapButtonEx(DWORD extended_style, HIMAGELIST images)
    : extended_style_(extended_style), images_(images) {}

CBitmapButtonEx::~CBitmapButtonEx() {
  if (images_ != nullptr && (extended_style_ & kBtnSharedImages) == 0) {
    ImageList_Destroy(images_);
  }
}

bool CBitmapButtonEx::Subclass(HWND button) {
  if (!CWindowImplBase::Subclass(button)) return false;
  SetWindowLongPtrW(button, GWL_STYLE, GetWindowLongPtrW(button, GWL_STYLE) | BS_OWNERDRAW);
  // The tooltip window exists for the button's lifetime; tools are added only with a text, and
  // this program gives none.
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, button, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if ((extended_style_ & kBtnAutoSize) != 0 && images_ != nullptr) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images_, &cx, &cy);
    SetWindowPos(button, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
  return true;
}

DWORD CBitmapButtonEx::SetBitmapButtonExtendedStyle(DWORD style, DWORD mask) {
  const DWORD previous = extended_style_;
  extended_style_ = mask == 0 ? style : (extended_style_ & ~mask) | (style & mask);
  return previous;
}

HIMAGELIST CBitmapButtonEx::SetImageList(HIMAGELIST images) {
  HIMAGELIST previous = images_;
  images_ = images;
  return previous;
}

void CBitmapButtonEx::SetImages(int normal, int pressed, int hover, int disabled) {
  indices_[0] = normal;
  indices_[1] = pressed;
  indices_[2] = hover;
  indices_[3] = disabled;
}

void CBitmapButtonEx::DrawNineSlice(HDC dc, int index, int width, int height) const {
  int image_width = 0, image_height = 0;
  if (images_ == nullptr || !ImageList_GetIconSize(images_, &image_width, &image_height)) return;
  for (const SlicePiece& piece : PlanNineSlice(width, height, image_width, image_height)) {
    IMAGELISTDRAWPARAMS params{};
    params.cbSize = sizeof(params);
    params.himl = images_;
    params.i = index;
    params.hdcDst = dc;
    params.x = piece.dst_x;
    params.y = piece.dst_y;
    params.cx = piece.width;
    params.cy = piece.height;
    params.xBitmap = piece.src_x;
    params.yBitmap = piece.src_y;
    params.rgbBk = CLR_NONE;
    params.rgbFg = CLR_DEFAULT;
    params.fStyle = ILD_TRANSPARENT;
    ImageList_DrawIndirect(&params);
  }
}

ButtonLook CBitmapButtonEx::ChooseLook() const {
  ButtonLookInput input;
  input.disabled = !IsWindowEnabled(hwnd());
  input.pressed = pressed_;
  input.mouse_over = mouse_over_;
  input.focus = focus_;
  input.extended_style = extended_style_;
  for (int i = 0; i < 4; ++i) input.indices[i] = indices_[i];
  input.custom_normal_color = custom_color_;
  input.normal_color = normal_text_color_;
  return ChooseButtonLook(input);
}

void CBitmapButtonEx::RenderLook(HDC dc) {
  const ButtonLook look = ChooseLook();
  current_text_color_ = look.text_color;
  RECT client{};
  GetClientRect(hwnd(), &client);
  const auto brush = static_cast<HBRUSH>(GetCurrentObject(dc, OBJ_BRUSH));
  FillRect(dc, &client, brush);
  if (images_ == nullptr) return;
  int image_width = 0, image_height = 0;
  ImageList_GetIconSize(images_, &image_width, &image_height);
  const RECT image_rect{look.offset, look.offset, image_width, image_height};
  FillRect(dc, &image_rect, brush);
  if (nine_slice_) {
    DrawNineSlice(dc, look.image_index, client.right, client.bottom);
  } else {
    ImageList_Draw(images_, look.image_index, dc, look.offset, look.offset, ILD_NORMAL);
  }
}

void CBitmapButtonEx::DrawLabel(HDC dc) {
  std::vector<wchar_t> text(1024, L'\0');
  GetWindowTextW(hwnd(), text.data(), static_cast<int>(text.size()));
  if (text[0] == L'\0') return;
  ::SetTextColor(dc, current_text_color_);
  SetBkMode(dc, TRANSPARENT);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
  SkinSelect select(dc, font);
  RECT rect{};
  GetClientRect(hwnd(), &rect);
  if (pressed_) OffsetRect(&rect, 1, 1);
  rect.top -= text_top_inset_;
  DrawTextW(dc, text.data(), -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CBitmapButtonEx::Paint() {
  SkinPaint paint(hwnd());
  RECT client{};
  GetClientRect(hwnd(), &client);
  const int width = client.right;
  const int height = client.bottom;
  // Everything is drawn into a memory bitmap and copied in one go, so the button never flickers.
  uninstall::UniqueMemoryDc memory(CreateCompatibleDC(paint.dc()));
  uninstall::UniqueBitmap canvas(CreateCompatibleBitmap(paint.dc(), width, height));
  if (!memory || !canvas) return;
  SkinSelect select(memory.get(), canvas.get());
  if (fading_ && source_look_.valid() && target_look_.valid()) {
    BitBlt(memory.get(), 0, 0, width, height, source_look_.dc(), 0, 0, SRCCOPY);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, FadeAlpha(fade_progress_), 0};
    AlphaBlend(memory.get(), 0, 0, width, height, target_look_.dc(), 0, 0, width, height, blend);
  } else {
    RenderLook(memory.get());
  }
  DrawLabel(memory.get());
  BitBlt(paint.dc(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

void CBitmapButtonEx::Repaint() {
  InvalidateRect(hwnd(), nullptr, TRUE);
  UpdateWindow(hwnd());
}

bool CBitmapButtonEx::EnsureLook(SkinMemoryBitmap& look) {
  if (look.valid()) return true;
  RECT client{};
  GetClientRect(hwnd(), &client);
  SkinWindowDc window_dc(hwnd());
  return look.CreateDib(window_dc.get(), client.right, client.bottom);
}

void CBitmapButtonEx::BeginFade() {
  fading_ = true;
  KillTimer(hwnd(), kFadeTimerId);
  SetTimer(hwnd(), kFadeTimerId, kFadeTimerIntervalMs, nullptr);
  fade_start_ = GetTickCount();
  fade_progress_ = 0.0f;
  InvalidateRect(hwnd(), nullptr, TRUE);
}

void CBitmapButtonEx::OnFadeTimer() {
  const FadeStep step = StepFade(fade_start_, GetTickCount());
  fade_progress_ = step.progress;
  if (!step.running) {
    fading_ = false;
    KillTimer(hwnd(), kFadeTimerId);
  }
  InvalidateRect(hwnd(), nullptr, TRUE);
}

void CBitmapButtonEx::OnMouseMove(LPARAM lparam) {
  if (GetCapture() == hwnd()) {
    POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    ClientToScreen(hwnd(), &point);
    RECT window{};
    GetWindowRect(hwnd(), &window);
    const bool inside = PtInRect(&window, point) != FALSE;
    if (inside != pressed_) {
      pressed_ = inside;
      Repaint();
    }
    return;
  }
  if (!HoverMode() || mouse_over_) return;
  if (EnsureLook(source_look_)) RenderLook(source_look_.dc());
  mouse_over_ = true;
  if (EnsureLook(target_look_)) RenderLook(target_look_.dc());
  BeginFade();
  Repaint();
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), HOVER_DEFAULT};
  _TrackMouseEvent(&track);
}

void CBitmapButtonEx::OnMouseLeave() {
  if (!mouse_over_) return;
  if (EnsureLook(source_look_)) RenderLook(source_look_.dc());
  mouse_over_ = false;
  if (EnsureLook(target_look_)) RenderLook(target_look_.dc());
  BeginFade();
  InvalidateRect(hwnd(), nullptr, TRUE);
  UpdateWindow(hwnd());
}

void CBitmapButtonEx::OnLeftButtonDown() {
  SetCapture(hwnd());
  if (GetCapture() == hwnd()) {
    pressed_ = true;
    Repaint();
  }
}

void CBitmapButtonEx::OnLeftButtonUp() {
  const HWND self = hwnd();
  if (GetCapture() != self) return;
  if (pressed_) {
    // The parent may destroy this window while handling the click; only the saved handle is used
    // afterwards.
    SendMessageW(GetParent(self), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(self), BN_CLICKED),
                 reinterpret_cast<LPARAM>(self));
  }
  if (GetCapture() == self) ReleaseCapture();
}

void CBitmapButtonEx::RelayToToolTip(UINT message, WPARAM wparam, LPARAM lparam) {
  if (tooltip_ == nullptr) return;
  MSG msg{hwnd(), message, wparam, lparam, static_cast<DWORD>(GetMessageTime()), {}};
  SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

bool CBitmapButtonEx::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) RelayToToolTip(message, wparam, lparam);
  switch (message) {
    case WM_PAINT:
      Paint();
      result = 0;
      return true;
    case WM_SETCURSOR:
      if (hand_cursor_) SetCursor(LoadCursorW(nullptr, IDC_HAND));
      result = 1;
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_TIMER:
      if (wparam == kFadeTimerId) OnFadeTimer();
      result = 0;
      return true;
    case WM_MOUSEMOVE:
      OnMouseMove(lparam);
      result = 0;
      return true;
    case WM_CAPTURECHANGED:
      // Repaint so that a press lost to another window does not stay drawn.
      if (pressed_) {
        pressed_ = false;
        if (IsWindow(hwnd())) Repaint();
      }
      result = 1;
      return true;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      result = HoverMode() ? 0 : CallPrevious(message, wparam, lparam);
      OnLeftButtonDown();
      return true;
    case WM_LBUTTONUP:
      result = HoverMode() ? 0 : CallPrevious(message, wparam, lparam);
      OnLeftButtonUp();
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      result = CallPrevious(message, wparam, lparam);
      focus_ = message == WM_SETFOCUS;
      Repaint();
      return true;
    case WM_ENABLE:
      result = CallPrevious(message, wparam, lparam);
      Repaint();
      return true;
    case WM_KEYDOWN:
    case WM_KEYUP:
      if (wparam == VK_SPACE && HoverMode()) {
        result = 0;
        return true;
      }
      return false;
    case WM_UPDATEUISTATE:
      result = 0;
      return true;
    case WM_DESTROY:
      if (tooltip_ != nullptr) DestroyWindow(tooltip_);
      tooltip_ = nullptr;
      return false;
    default:
      return false;
  }
}

}  // namespace kv_skin
