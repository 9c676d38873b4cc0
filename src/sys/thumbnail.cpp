#include "sys/thumbnail.h"

namespace sys {

uint64_t decodeBytes(const ImageFacts& facts, int size) {
  uint64_t longer = facts.width > facts.height ? facts.width : facts.height;
  uint64_t shrink = 1;
  while (shrink * 2 <= facts.shrinkOnLoad && longer / (shrink * 2) >= (uint64_t)size) shrink *= 2;
  uint64_t w = (facts.width + shrink - 1) / shrink, h = (facts.height + shrink - 1) / shrink;
  return w * h * facts.bytesPerPixel;
}

bool previewFits(const ImageFacts& facts, int size) {
  if (facts.width == 0 || facts.height == 0 || facts.bytesPerPixel == 0) return false;
  // Each side alone is bounded first, so the products below cannot overflow.
  if (facts.width > kMaxPreviewPixels || facts.height > kMaxPreviewPixels) return false;
  if (facts.width * facts.height > kMaxPreviewPixels) return false;
  return decodeBytes(facts, size) <= kMaxDecodeBytes;
}

void orientPixels(const std::string& pixels, uint32_t width, uint32_t height, int orientation, std::string& out,
                  uint32_t& outWidth, uint32_t& outHeight) {
  if (orientation < 2 || orientation > 8) {
    out = pixels;
    outWidth = width;
    outHeight = height;
    return;
  }
  bool across = orientation >= 5;  // the sides trade places
  outWidth = across ? height : width;
  outHeight = across ? width : height;
  out.resize(pixels.size());
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t dx = x, dy = y;
      switch (orientation) {
        case 2: dx = width - 1 - x; break;
        case 3: dx = width - 1 - x; dy = height - 1 - y; break;
        case 4: dy = height - 1 - y; break;
        case 5: dx = y; dy = x; break;
        case 6: dx = height - 1 - y; dy = x; break;
        case 7: dx = height - 1 - y; dy = width - 1 - x; break;
        case 8: dx = y; dy = width - 1 - x; break;
      }
      size_t from = ((size_t)y * width + x) * 3, to = ((size_t)dy * outWidth + dx) * 3;
      out[to] = pixels[from];
      out[to + 1] = pixels[from + 1];
      out[to + 2] = pixels[from + 2];
    }
  }
}

}  // namespace sys
