#include "ui/skin/skin_resources.h"

#include <objidl.h>
// gdiplus.h needs IStream from objidl.h.
#include <gdiplus.h>

#include <cstring>

#include "os_win/unique_com.h"
#include "ui/skin/gdi_scope.h"
#include "ui/skin/skin_ids.h"
#include "ui/skin/skin_layout.h"

namespace kv_skin {

namespace {

namespace gp = Gdiplus::DllExports;

// GDI+ is started for one load and shut down afterwards, so no GDI+ state outlives a load.
class GdiplusSession {
 public:
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
    ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  ~GdiplusSession() {
    if (ok_) Gdiplus::GdiplusShutdown(token_);
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool ok() const { return ok_; }

 private:
  ULONG_PTR token_ = 0;
  bool ok_ = false;
};

void DisposeGdiplusImage(Gdiplus::GpBitmap* image) { gp::GdipDisposeImage(image); }
using UniqueGdiplusBitmap = uninstall::UniqueAny<Gdiplus::GpBitmap*, DisposeGdiplusImage>;

constexpr int kBackgroundWidth = 640;
constexpr int kBackgroundHeight = 390;
constexpr int kIconWidth = 84;
constexpr int kIconHeight = 91;

}  // namespace

HBITMAP LoadPngBitmap(HMODULE module, UINT id) {
  // Declared first so that it is freed last, after GDI+ has let go of the stream.
  uninstall::UniqueGlobal memory;
  GdiplusSession gdiplus;
  if (!gdiplus.ok()) return nullptr;

  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  const DWORD size = info != nullptr ? SizeofResource(module, info) : 0;
  HGLOBAL resource = size != 0 ? LoadResource(module, info) : nullptr;
  const void* bytes = resource != nullptr ? LockResource(resource) : nullptr;
  if (bytes == nullptr) return nullptr;
  memory.reset(GlobalAlloc(GMEM_FIXED, size));
  if (!memory) return nullptr;
  std::memcpy(GlobalLock(memory.get()), bytes, size);
  GlobalUnlock(memory.get());

  UniqueGdiplusBitmap image;
  {
    uninstall::UniqueCom<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), FALSE, stream.put()))) return nullptr;
    Gdiplus::GpBitmap* decoded = nullptr;
    gp::GdipCreateBitmapFromStream(stream.get(), &decoded);
    image.reset(decoded);
  }
  if (!image) return nullptr;
  HBITMAP bitmap = nullptr;
  if (gp::GdipCreateHBITMAPFromBitmap(image.get(), &bitmap, 0) != Gdiplus::Ok) bitmap = nullptr;
  return bitmap;
}

bool BlendBitmap(HDC dc, HBITMAP bitmap, int dx, int dy, int dw, int dh, int sx, int sy, int sw,
                 int sh) {
  if (bitmap == nullptr || dw <= 0 || dh <= 0) return false;
  uninstall::UniqueMemoryDc memory(CreateCompatibleDC(dc));
  if (!memory) return false;
  SkinSelect select(memory.get(), bitmap);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  return AlphaBlend(dc, dx, dy, dw, dh, memory.get(), sx, sy, sw, sh, blend) != FALSE;
}

CSkinResources& CSkinResources::Instance() {
  // Never destroyed: the process end frees the GDI objects, and nothing may run after main.
  static CSkinResources* instance = new CSkinResources();
  return *instance;
}

void CSkinResources::CreateDialogFont() {
  if (dialog_font_ != nullptr) return;
  dialog_font_ = CreateFontW(13, 0, 0, 0, 0, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, L"宋体");
}

HBITMAP CSkinResources::Bitmap(HBITMAP& field, UINT id) {
  if (field == nullptr) field = LoadPngBitmap(GetModuleHandleW(nullptr), id);
  return field;
}

HIMAGELIST CSkinResources::ImageList(HIMAGELIST& field, int size, UINT id) {
  if (field != nullptr) return field;
  field = ImageList_Create(size, size, ILC_COLOR32, 4, 0);
  if (field == nullptr) return nullptr;
  // The list copies the strip; the decoded bitmap is not needed afterwards.
  uninstall::UniqueBitmap strip(LoadPngBitmap(GetModuleHandleW(nullptr), id));
  if (strip) ImageList_Add(field, strip.get(), nullptr);
  return field;
}

HIMAGELIST CSkinResources::GetCloseImageList() {
  return ImageList(close_images_, 11, IDB_PNG_CLOSE);
}

HIMAGELIST CSkinResources::GetButtonImageList() {
  return ImageList(button_images_, 30, IDB_PNG_BUTTON);
}

HBITMAP CSkinResources::GetBackground() { return Bitmap(background_, IDB_PNG_BACKGROUND); }

void CSkinResources::DrawBackground(HDC dc) {
  BlendBitmap(dc, GetBackground(), 0, 0, kBackgroundWidth, kBackgroundHeight, 0, 0,
              kBackgroundWidth, kBackgroundHeight);
}

void CSkinResources::DrawUninstallingIcon(HDC dc, POINT at) {
  BlendBitmap(dc, Bitmap(uninstalling_, IDB_PNG_UNINSTALLING), at.x, at.y, kIconWidth, kIconHeight,
              0, 0, kIconWidth, kIconHeight);
}

void CSkinResources::DrawFinishedIcon(HDC dc, POINT at) {
  BlendBitmap(dc, Bitmap(finished_, IDB_PNG_FINISHED), at.x, at.y, kIconWidth, kIconHeight, 0, 0,
              kIconWidth, kIconHeight);
}

void CSkinResources::DrawProgress(HDC dc, const RECT& rect, int position) {
  BlendBitmap(dc, Bitmap(track_, IDB_PNG_TRACK), rect.left, rect.top, kProgressWidth,
              kProgressHeight, 0, 0, kProgressWidth, kProgressHeight);
  const ProgressPlan plan = PlanProgress(position);
  if (!plan.fill) return;
  HBITMAP fill = Bitmap(fill_, IDB_PNG_FILL);
  BlendBitmap(dc, fill, rect.left, rect.top, kProgressHeadWidth, kProgressHeight, 0, 0,
              kProgressHeadWidth, kProgressHeight);
  BlendBitmap(dc, fill, rect.left + kProgressHeadWidth, rect.top, plan.body_width, kProgressHeight,
              kProgressHeadWidth, 0, 1, kProgressHeight);
}

}  // namespace kv_skin
