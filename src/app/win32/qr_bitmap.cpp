#include "app/win32/qr_bitmap.h"

#include <cstring>

namespace desktop {

HBITMAP createQrBitmap(const app::QrPicture& picture) {
  if (picture.side <= 0 || picture.pixels.size() != (size_t)picture.side * picture.side) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.side;
  info.bmiHeader.biHeight = -picture.side;  // top-down: rows in the picture's order
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  if (!bits) {
    DeleteObject(bitmap);
    return nullptr;
  }
  std::memcpy(bits, picture.pixels.data(), picture.pixels.size() * sizeof(uint32_t));
  return bitmap;
}

}  // namespace desktop
