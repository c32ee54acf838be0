#include "ui/skin/gdi_scope.h"

namespace kv_skin {

bool SkinMemoryBitmap::CreateDib(HDC reference, int width, int height) {
  Reset();
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  uninstall::UniqueBitmap bitmap(
      CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  uninstall::UniqueMemoryDc dc(CreateCompatibleDC(reference));
  if (!bitmap || !dc) return false;
  old_ = SelectObject(dc.get(), bitmap.get());
  bitmap_ = std::move(bitmap);
  dc_ = std::move(dc);
  width_ = width;
  height_ = height;
  return true;
}

void SkinMemoryBitmap::Reset() {
  if (dc_ && old_ != nullptr) SelectObject(dc_.get(), old_);
  old_ = nullptr;
  dc_.reset();
  bitmap_.reset();
  width_ = height_ = 0;
}

}  // namespace kv_skin
