// The skin's images, image lists and font: decoded from the executable's "PNG" resources on first
// use and kept for the life of the process, with the routines that draw them.
#pragma once

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

namespace kv_skin {

// Decodes the "PNG" resource `id` of `module` into a 32-bit bitmap with premultiplied alpha
// (ready for AlphaBlend with per-pixel alpha). GDI+ is started and stopped around the load. The
// caller owns the bitmap; null when the resource is missing or cannot be decoded.
HBITMAP LoadPngBitmap(HMODULE module, UINT id);

// Blends the (sx, sy, sw, sh) part of `bitmap` onto `dc` at (dx, dy, dw, dh) with per-pixel alpha.
// A null bitmap draws nothing; returns whether the blend was done.
bool BlendBitmap(HDC dc, HBITMAP bitmap, int dx, int dy, int dw, int dh, int sx, int sy, int sw,
                 int sh);

// One per process, created on first use, never released (the process end frees the GDI objects).
// Main thread only, apart from the first-use construction which is thread-safe.
class CSkinResources {
 public:
  static CSkinResources& Instance();

  // Creates the dialog font (height 13, face "宋体") once; later calls keep the first font.
  void CreateDialogFont();
  // The dialog font, or null before CreateDialogFont. Owned by this object.
  HFONT GetDialogFont() const { return dialog_font_; }
  // The close glyph's 11 x 11 image list (normal, hover, pressed, disabled), built on first call.
  // Owned by this object; empty when its PNG cannot be loaded.
  HIMAGELIST GetCloseImageList();
  // The Done button's 30 x 30 image list, built on first call; as above.
  HIMAGELIST GetButtonImageList();
  // The 640 x 390 background bitmap, loaded on first use; null on failure. Owned by this object.
  HBITMAP GetBackground();

  void DrawBackground(HDC dc);
  void DrawUninstallingIcon(HDC dc, POINT at);
  void DrawFinishedIcon(HDC dc, POINT at);
  // Track, then (for position >= 0) the fill's 5-pixel head and its stretched body, inside `rect`.
  void DrawProgress(HDC dc, const RECT& rect, int position);

 private:
  CSkinResources() = default;
  HBITMAP Bitmap(HBITMAP& field, UINT id);
  HIMAGELIST ImageList(HIMAGELIST& field, int size, UINT id);

  HFONT dialog_font_ = nullptr;
  HIMAGELIST close_images_ = nullptr;
  HIMAGELIST button_images_ = nullptr;
  HBITMAP background_ = nullptr;
  HBITMAP track_ = nullptr;
  HBITMAP fill_ = nullptr;
  HBITMAP uninstalling_ = nullptr;
  HBITMAP finished_ = nullptr;
};

}  // namespace kv_skin
