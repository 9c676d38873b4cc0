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

}  // namespace sys
