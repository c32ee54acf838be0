// The skin's window classes in real windows (under Wine on a private X display): resources,
// progress bar, label, image button and drop shadow, checked by window properties and pixels.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os_win/unique_handle.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/gdi_scope.h"
#include "ui/skin/shadow_image.h"
#include "ui/skin/simple_controls.h"
#include "ui/skin/skin_ids.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_resources.h"
#include "ui/skin/wnd_shadow.h"

namespace kv_skin {
namespace {

constexpr COLORREF kTeal = RGB(42, 212, 170);
constexpr COLORREF kTealHover = RGB(17, 234, 183);
constexpr COLORREF kTealPressed = RGB(0, 178, 136);
constexpr COLORREF kGrey = RGB(204, 204, 204);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// Each test process gets a window station and desktop of its own: the desktop's window is then
// made for this process's private X display, whatever display (or none) the prefix's default
// desktop was started on, and parallel test processes share neither the pointer nor the windows
// under it.
class PrivateDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::wstring station = L"KvSkinTest" + std::to_wstring(GetCurrentProcessId());
    HWINSTA winsta = CreateWindowStationW(station.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(winsta, nullptr);
    ASSERT_TRUE(SetProcessWindowStation(winsta));
    HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(desktop, nullptr);
    ASSERT_TRUE(SetThreadDesktop(desktop));
  }
};
::testing::Environment* const private_desktop =
    ::testing::AddGlobalTestEnvironment(new PrivateDesktop);

// Runs the message loop for `ms` milliseconds.
void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

// The window's client area as it is on screen, one COLORREF per pixel.
class Snapshot {
 public:
  explicit Snapshot(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    pixels_.assign(static_cast<size_t>(width_) * height_, 0);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const SkinWindowDc screen(window);
    const uninstall::UniqueBitmap bitmap(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) return;  // no such window: all pixels stay black
    const uninstall::UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    const SkinSelect select(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width_, height_, screen.get(), 0, 0, SRCCOPY);
    GdiFlush();
    const auto* raw = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < pixels_.size(); ++i) {
      const uint32_t p = raw[i];
      pixels_[i] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
  }
  COLORREF At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  int CountInRow(int y, COLORREF colour) const {
    int n = 0;
    for (int x = 0; x < width_; ++x) n += At(x, y) == colour;
    return n;
  }
  int Count(COLORREF colour) const {
    int n = 0;
    for (COLORREF p : pixels_) n += p == colour;
    return n;
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<COLORREF> pixels_;
};

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// A plain top-level window standing in for the dialog: white, no WS_CLIPCHILDREN (children show
// its background), counts the commands it receives.
class TestParent {
 public:
  TestParent(int x, int y, int width, int height) {
    static bool registered = false;
    if (!registered) {
      WNDCLASSEXW wc{sizeof(wc)};
      wc.lpfnWndProc = &Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.lpszClassName = L"KvSkinTestParent";
      registered = RegisterClassExW(&wc) != 0;
    }
    hwnd_ = CreateWindowExW(0, L"KvSkinTestParent", L"skin test", WS_POPUP | WS_MINIMIZEBOX, x, y,
                            width, height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
  }
  ~TestParent() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
  }
  HWND hwnd() const { return hwnd_; }
  int clicks() const { return clicks_; }
  int last_command_id() const { return last_command_id_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      SetWindowLongPtrW(
          window, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<TestParent*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_COMMAND && self != nullptr && HIWORD(wparam) == BN_CLICKED) {
      ++self->clicks_;
      self->last_command_id_ = LOWORD(wparam);
      return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }
  HWND hwnd_ = nullptr;
  int clicks_ = 0;
  int last_command_id_ = 0;
};

HWND MakeChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x,
               int y, int width, int height) {
  return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

// ---- Resources ----------------------------------------------------------------------------------

// A PNG that does not decode to the listed size, or a missing resource that yields a bitmap.
TEST(SkinResources, PngResourcesDecodeToTheirSizes) {
  const struct {
    UINT id;
    int width, height;
  } images[] = {{IDB_PNG_BACKGROUND, 640, 390}, {IDB_PNG_CLOSE, 44, 11},
                {IDB_PNG_TRACK, 546, 9},        {IDB_PNG_FILL, 9, 9},
                {IDB_PNG_UNINSTALLING, 85, 91}, {IDB_PNG_FINISHED, 84, 91},
                {IDB_PNG_BUTTON, 120, 30}};
  for (const auto& image : images) {
    uninstall::UniqueBitmap bitmap(LoadPngBitmap(GetModuleHandleW(nullptr), image.id));
    ASSERT_TRUE(bitmap) << image.id;
    BITMAP info{};
    ASSERT_NE(GetObjectW(bitmap.get(), sizeof(info), &info), 0);
    EXPECT_EQ(info.bmWidth, image.width) << image.id;
    EXPECT_EQ(info.bmHeight, image.height) << image.id;
    EXPECT_EQ(info.bmBitsPixel, 32) << image.id;
  }
  EXPECT_EQ(LoadPngBitmap(GetModuleHandleW(nullptr), 299), nullptr);
}

// Resources rebuilt on every call or per reference (leaking), a background that failed to load,
// image lists with the wrong cell size, or a dialog font replaced by a second creation.
TEST(SkinResources, CacheBuildsEachResourceOnce) {
  CSkinResources& skin = CSkinResources::Instance();
  HIMAGELIST close = skin.GetCloseImageList();
  HIMAGELIST button = skin.GetButtonImageList();
  ASSERT_NE(close, nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(CSkinResources::Instance().GetCloseImageList(), close);
  EXPECT_EQ(CSkinResources::Instance().GetButtonImageList(), button);
  EXPECT_EQ(ImageList_GetImageCount(close), 4);
  EXPECT_EQ(ImageList_GetImageCount(button), 4);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(close, &cx, &cy);
  EXPECT_EQ(cx, 11);
  EXPECT_EQ(cy, 11);
  ImageList_GetIconSize(button, &cx, &cy);
  EXPECT_EQ(cx, 30);
  EXPECT_EQ(cy, 30);

  HBITMAP background = skin.GetBackground();
  ASSERT_NE(background, nullptr);
  BITMAP info{};
  ASSERT_NE(GetObjectW(background, sizeof(info), &info), 0);
  EXPECT_EQ(info.bmWidth, 640);
  EXPECT_EQ(info.bmHeight, 390);
  EXPECT_EQ(CSkinResources::Instance().GetBackground(), background);

  // Another test may have made the font already; either way there is one font, kept.
  const HFONT before = skin.GetDialogFont();
  skin.CreateDialogFont();
  HFONT font = skin.GetDialogFont();
  ASSERT_NE(font, nullptr);
  if (before != nullptr) {
    EXPECT_EQ(font, before);
  }
  LOGFONTW log{};
  GetObjectW(font, sizeof(log), &log);
  EXPECT_EQ(log.lfHeight, 13);
  EXPECT_EQ(std::wstring(log.lfFaceName), L"宋体");
  CSkinResources::Instance().CreateDialogFont();
  EXPECT_EQ(CSkinResources::Instance().GetDialogFont(), font);
}

// Background and icons drawn with the wrong size, position or without their alpha.
TEST(SkinResources, DrawsBackgroundAndIcons) {
  TestParent parent(40, 40, 640, 390);
  Pump(100);
  {
    const SkinWindowDc dc(parent.hwnd());
    CSkinResources& skin = CSkinResources::Instance();
    skin.DrawBackground(dc.get());
    skin.DrawUninstallingIcon(dc.get(), {278, 149});
  }
  Snapshot shot(parent.hwnd());
  EXPECT_EQ(shot.At(400, 10), RGB(240, 240, 240));   // header band
  EXPECT_EQ(shot.At(400, 200), RGB(252, 252, 252));  // body fading to grey
  EXPECT_EQ(shot.At(320, 389), RGB(247, 247, 247));
  EXPECT_EQ(shot.At(278 + 42, 149 + 15), kTeal);                // the bin's lid
  EXPECT_EQ(shot.At(278 + 1, 149 + 1), shot.At(270, 149 + 1));  // transparent corner
  EXPECT_NE(shot.At(278 + 42, 149 + 56 - 12), kTeal);           // the arrows are cut out
  {
    const SkinWindowDc dc(parent.hwnd());
    CSkinResources::Instance().DrawFinishedIcon(dc.get(), {278, 149});
  }
  Snapshot finished(parent.hwnd());
  EXPECT_EQ(finished.At(278 + 38, 149 + 66), RGB(250, 250, 250));  // the check mark
}

// ---- Progress bar -------------------------------------------------------------------------------

// Fill width off (head, scale, clamping), or an invalidated bar that is never validated.
TEST(ProgressCtrl, TealWidthFollowsPosition) {
  TestParent parent(40, 40, 640, 390);
  CKovraProcessCtrl bar;
  ASSERT_NE(bar.Create(parent.hwnd(), RECT{30, 352, 576, 361}), nullptr);
  EXPECT_EQ(ClassOf(bar.hwnd()), L"Kovra_ProgressCtrl");
  EXPECT_EQ(GetWindowLongW(bar.hwnd(), GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
  RECT rect{};
  GetWindowRect(bar.hwnd(), &rect);
  EXPECT_EQ(rect.right - rect.left, 546);
  EXPECT_EQ(rect.bottom - rect.top, 9);

  const struct {
    int position, teal;
  } cases[] = {{-5, 0}, {0, 5}, {50, 278}, {100, 546}, {250, 546}};
  for (const auto& c : cases) {
    bar.SetPos(c.position);
    Pump(60);
    RECT pending{};
    EXPECT_FALSE(GetUpdateRect(bar.hwnd(), &pending, FALSE)) << c.position;
    Snapshot shot(bar.hwnd());
    EXPECT_EQ(shot.CountInRow(4, kTeal), c.teal) << c.position;
    EXPECT_EQ(shot.CountInRow(4, kGrey), 546 - c.teal) << c.position;
    if (c.teal > 0) {
      EXPECT_EQ(shot.At(0, 0), kTeal);
    }
  }
  EXPECT_EQ(bar.GetPos(), 250);
}

// ---- Label --------------------------------------------------------------------------------------

// A label that erases its background, ignores its colour, or draws an empty text.
TEST(SimpleLabel, DrawsTextInItsColourOverTheParent) {
  TestParent parent(40, 40, 300, 100);
  HWND text = MakeChild(parent.hwnd(), L"STATIC", L"MMMM WWWW", 0, 1000, 10, 10, 120, 20);
  HWND empty = MakeChild(parent.hwnd(), L"STATIC", L"", 0, 1001, 10, 40, 120, 20);
  CSimpleLabel label;
  CSimpleLabel blank;
  ASSERT_TRUE(label.Subclass(text));
  ASSERT_TRUE(blank.Subclass(empty));
  EXPECT_FALSE(label.Subclass(empty));  // one window per object
  label.SetTextColor(RGB(42, 212, 170));
  EXPECT_EQ(label.GetTextColor(), RGB(42, 212, 170));
  InvalidateRect(parent.hwnd(), nullptr, TRUE);
  Pump(100);
  Snapshot shot(text);
  EXPECT_GT(shot.Count(RGB(42, 212, 170)), 10);
  EXPECT_GT(shot.Count(kWhite), 1000);  // the parent's white shows around the letters
  Snapshot none(empty);
  EXPECT_EQ(none.Count(kWhite), none.width() * none.height());

  {
    const uninstall::UniqueFont font(
        CreateFontW(20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, L"Tahoma"));
    label.SetFont(font.get());
  }  // the font is deleted here: the label keeps its own copy
  LOGFONTW log{};
  ASSERT_NE(GetObjectW(label.GetFont(), sizeof(log), &log), 0);
  EXPECT_EQ(log.lfHeight, 20);
}

// ---- Image button -------------------------------------------------------------------------------

class DoneButton : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    parent_ = std::make_unique<TestParent>(40, 40, 640, 390);
    // Away from the button, so that no real pointer movement interferes.
    SetCursorPos(5, 5);
    HWND window = MakeChild(parent_->hwnd(), L"BUTTON", L"Done", BS_PUSHBUTTON | WS_TABSTOP, 1003,
                            196, 330, 252, 30);
    button_ = std::make_unique<CBitmapButtonEx>(kBtnHoverMode | kBtnSharedImages,
                                                CSkinResources::Instance().GetButtonImageList());
    ASSERT_TRUE(button_->Subclass(window));
    button_->SetImages(0, 2, 1, 3);
    button_->SetHandCursor(true);
    button_->SetNineSlice(true);
    button_->SetNormalTextColor(kWhite);
    Pump(50);
  }
  void TearDown() override {
    button_.reset();
    parent_.reset();
  }
  HWND hwnd() const { return button_->hwnd(); }
  void Send(UINT message, int x, int y) {
    SendMessageW(hwnd(), message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
  }

  std::unique_ptr<TestParent> parent_;
  std::unique_ptr<CBitmapButtonEx> button_;
};

// Subclassing that leaves the button drawing itself, or a missing tooltip window.
TEST_F(DoneButton, SubclassMakesItOwnerDrawnWithATooltip) {
  EXPECT_EQ(GetWindowLongW(hwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  ASSERT_NE(button_->ToolTip(), nullptr);
  EXPECT_EQ(ClassOf(button_->ToolTip()), TOOLTIPS_CLASSW);
  EXPECT_EQ(SendMessageW(hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd()),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            1);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

// Nine-slice gaps, wrong state image, or text in the wrong colour.
TEST_F(DoneButton, NormalAndDisabledLooksFillTheButton) {
  Snapshot normal(hwnd());
  for (POINT p : {POINT{0, 0}, POINT{251, 29}, POINT{3, 27}, POINT{249, 2}, POINT{20, 15}}) {
    EXPECT_EQ(normal.At(p.x, p.y), kTeal) << p.x << "," << p.y;
  }
  EXPECT_GT(normal.Count(kWhite), 20);  // the text
  EXPECT_EQ(button_->CurrentTextColor(), kWhite);
  EnableWindow(hwnd(), FALSE);
  Pump(30);
  Snapshot disabled(hwnd());
  EXPECT_EQ(disabled.At(0, 0), kGrey);
  EXPECT_EQ(disabled.At(251, 29), kGrey);
  EXPECT_EQ(button_->CurrentTextColor(), RGB(220, 245, 232));
}

// Pumps messages until `done` holds or `ms` milliseconds have passed; returns `done`.
template <typename Done>
bool PumpUntil(Done done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done() && GetTickCount() - start < ms) Pump(5);
  return done();
}

// No fade, a fade that never ends, or a text colour that waits for the fade. The real pointer
// moves in and out, so the leave tracking sees what a user would do.
TEST_F(DoneButton, HoverCrossFadesBackgroundAndSwitchesTextAtOnce) {
  RECT rect{};
  GetWindowRect(hwnd(), &rect);
  SetCursorPos(rect.left + 20, rect.top + 15);
  ASSERT_TRUE(PumpUntil([&] { return button_->IsMouseOver(); }, 2000));
  EXPECT_TRUE(button_->IsFading());
  EXPECT_EQ(button_->CurrentTextColor(), RGB(72, 116, 10));
  Pump(60);
  if (button_->IsFading()) {  // a loaded machine may already be past the end
    const float part = button_->FadeProgress();
    EXPECT_GT(part, 0.0f);
    EXPECT_LT(part, 1.0f);
    const COLORREF mid = Snapshot(hwnd()).At(20, 5);
    EXPECT_LT(GetGValue(mid), GetGValue(kTealHover));
    EXPECT_GT(GetGValue(mid), GetGValue(kTeal));
  }
  ASSERT_TRUE(PumpUntil([&] { return !button_->IsFading(); }, 1000));
  EXPECT_FLOAT_EQ(button_->FadeProgress(), 1.0f);
  Pump(30);
  Snapshot hover(hwnd());
  EXPECT_EQ(hover.At(20, 5), kTealHover);
  EXPECT_EQ(hover.At(251, 29), kTealHover);
  EXPECT_GT(hover.Count(RGB(72, 116, 10)), 20);

  SetCursorPos(5, 5);
  ASSERT_TRUE(PumpUntil([&] { return !button_->IsMouseOver(); }, 2000));
  EXPECT_TRUE(button_->IsFading());
  EXPECT_EQ(button_->CurrentTextColor(), kWhite);
  ASSERT_TRUE(PumpUntil([&] { return !button_->IsFading(); }, 1000));
  Pump(30);
  EXPECT_EQ(Snapshot(hwnd()).At(20, 5), kTeal);
}

// Clicks sent after dragging out, or lost after dragging back in.
TEST_F(DoneButton, PressTrackingSendsClickOnlyWhenReleasedInside) {
  Send(WM_LBUTTONDOWN, 10, 10);
  EXPECT_EQ(GetCapture(), hwnd());
  EXPECT_TRUE(button_->IsPressed());
  Pump(20);
  EXPECT_EQ(Snapshot(hwnd()).At(5, 5), kTealPressed);
  Send(WM_MOUSEMOVE, -40, -40);
  EXPECT_FALSE(button_->IsPressed());
  Send(WM_LBUTTONUP, -40, -40);
  EXPECT_EQ(parent_->clicks(), 0);
  EXPECT_NE(GetCapture(), hwnd());

  Send(WM_LBUTTONDOWN, 10, 10);
  Send(WM_MOUSEMOVE, 300, 10);
  EXPECT_FALSE(button_->IsPressed());
  Send(WM_MOUSEMOVE, 100, 10);
  EXPECT_TRUE(button_->IsPressed());
  Send(WM_LBUTTONUP, 100, 10);
  EXPECT_EQ(parent_->clicks(), 1);
  EXPECT_EQ(parent_->last_command_id(), 1003);
  EXPECT_FALSE(button_->IsPressed());
  EXPECT_NE(GetCapture(), hwnd());
  Pump(20);
  EXPECT_EQ(Snapshot(hwnd()).At(5, 5), kTeal);  // not left drawn pressed
}

// The close glyph: one image at its natural size, grey while disabled, teal when enabled.
TEST(CloseButton, GlyphFollowsEnabledState) {
  TestParent parent(40, 40, 640, 390);
  HWND window = MakeChild(parent.hwnd(), L"BUTTON", L"", BS_PUSHBUTTON, 1004, 619, 5, 11, 11);
  CBitmapButtonEx close(kBtnHoverMode | kBtnSharedImages,
                        CSkinResources::Instance().GetCloseImageList());
  ASSERT_TRUE(close.Subclass(window));
  close.SetImages(0, 2, 1, 3);
  close.SetNineSlice(false);
  EnableWindow(window, FALSE);
  Pump(50);
  Snapshot disabled(window);
  EXPECT_EQ(disabled.At(5, 5), kGrey);
  EXPECT_EQ(disabled.At(5, 0), RGB(240, 240, 240));
  EnableWindow(window, TRUE);
  Pump(50);
  EXPECT_EQ(Snapshot(window).At(5, 5), kTeal);
}

// ---- Drop shadow --------------------------------------------------------------------------------

HWND FindShadow(HWND owner) {
  HWND found = nullptr;
  for (HWND w = FindWindowExW(nullptr, nullptr, CWndShadow::kClassName, nullptr); w != nullptr;
       w = FindWindowExW(nullptr, w, CWndShadow::kClassName, nullptr)) {
    if (GetWindow(w, GW_OWNER) == owner) found = w;
  }
  return found;
}

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

class Shadow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(CWndShadow::InitializeShadowSupport(GetModuleHandleW(nullptr)));
  }
};

// A second initialisation must be refused.
TEST_F(Shadow, InitialisesOnce) {
  EXPECT_FALSE(CWndShadow::InitializeShadowSupport(GetModuleHandleW(nullptr)));
}

// Wrong class, styles, owner, size or position; not following moves; shown while minimised.
TEST_F(Shadow, WindowFollowsTheParent) {
  TestParent parent(100, 80, 640, 390);
  CWndShadow shadow;
  shadow.AttachToParent(parent.hwnd());
  EXPECT_TRUE(shadow.SetShadowSize(5));
  EXPECT_TRUE(shadow.SetShadowDarkness(20));
  EXPECT_TRUE(shadow.SetShadowSharpness(5));
  EXPECT_FALSE(shadow.SetShadowSize(21));
  EXPECT_EQ(shadow.settings().size, 5);
  Pump(50);

  HWND window = FindShadow(parent.hwnd());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window, shadow.shadow_window());
  EXPECT_EQ(ClassOf(window), CWndShadow::kClassName);
  const LONG ex_style = GetWindowLongW(window, GWL_EXSTYLE);
  EXPECT_EQ(ex_style & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & WS_POPUPWINDOW,
            static_cast<DWORD>(WS_POPUPWINDOW));
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_NE(shadow.status() & CWndShadow::kShadowEnabled, 0);
  RECT rect = WindowRect(window);
  EXPECT_EQ(rect.left, 95);
  EXPECT_EQ(rect.top, 75);
  EXPECT_EQ(rect.right - rect.left, 650);
  EXPECT_EQ(rect.bottom - rect.top, 400);

  SetWindowPos(parent.hwnd(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Pump(30);
  rect = WindowRect(window);
  EXPECT_EQ(rect.left, 295);
  EXPECT_EQ(rect.top, 195);

  ShowWindow(parent.hwnd(), SW_MINIMIZE);
  Pump(50);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(shadow.status() & CWndShadow::kShadowVisible, 0);
  ShowWindow(parent.hwnd(), SW_RESTORE);
  Pump(50);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_NE(shadow.status() & CWndShadow::kShadowVisible, 0);
  rect = WindowRect(window);
  EXPECT_EQ(rect.left, 295);
  EXPECT_EQ(rect.top, 195);
  EXPECT_EQ(rect.right - rect.left, 650);

  ShowWindow(parent.hwnd(), SW_HIDE);
  Pump(30);
  EXPECT_FALSE(IsWindowVisible(window));
  ShowWindow(parent.hwnd(), SW_SHOWNA);
  Pump(30);
  EXPECT_TRUE(IsWindowVisible(window));

  DestroyWindow(parent.hwnd());
  EXPECT_FALSE(IsWindow(window));
}

// An object destroyed before its parent window must not stay in the parent's procedure chain.
TEST_F(Shadow, DestroyedObjectUnhooksLiveParent) {
  TestParent parent(100, 80, 200, 100);
  const auto original = GetWindowLongPtrW(parent.hwnd(), GWLP_WNDPROC);
  HWND window = nullptr;
  {
    CWndShadow shadow;
    shadow.AttachToParent(parent.hwnd());
    window = shadow.shadow_window();
    EXPECT_NE(GetWindowLongPtrW(parent.hwnd(), GWLP_WNDPROC), original);
  }
  EXPECT_EQ(GetWindowLongPtrW(parent.hwnd(), GWLP_WNDPROC), original);
  EXPECT_FALSE(IsWindow(window));
  SetWindowPos(parent.hwnd(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // no crash
  Pump(20);
}

// The picture from a real window region, rows counted from the top of a bottom-up DIB.
TEST_F(Shadow, PictureFollowsTheWindowRegion) {
  TestParent parent(100, 80, 100, 60);
  // A region narrow at the top (columns 40-59, rows 0-19) and full width below.
  uninstall::UniqueRegion top(CreateRectRgn(40, 0, 60, 20));
  {
    const uninstall::UniqueRegion bottom(CreateRectRgn(0, 20, 100, 60));
    CombineRgn(top.get(), top.get(), bottom.get(), RGN_OR);
  }
  SetWindowRgn(parent.hwnd(), top.release(), TRUE);  // the window owns the region now
  CWndShadow shadow;
  shadow.SetShadowSize(5);
  shadow.SetShadowDarkness(20);
  const RECT rect = WindowRect(parent.hwnd());
  std::vector<uint32_t> pixels(110 * 70, 0);
  shadow.BuildShadowImage(pixels.data(), parent.hwnd(), rect);
  auto alpha = [&](int x, int y) { return pixels[static_cast<size_t>(69 - y) * 110 + x] >> 24; };
  EXPECT_EQ(alpha(44, 10), 16u);  // just left of the narrow part
  EXPECT_EQ(alpha(45, 10), 0u);   // under it
  EXPECT_EQ(alpha(20, 10), 0u);   // far from it
  EXPECT_EQ(alpha(4, 40), 16u);   // left of the wide part
  EXPECT_EQ(alpha(20, 24), 16u);  // above the wide part's top edge
}

}  // namespace
}  // namespace kv_skin
