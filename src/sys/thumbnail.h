// Small JPEG previews of image files, made by the platform's own image
// library (libvips on Linux, the Windows Imaging Component on Windows).
// The decision whether an image is small enough to decode is portable; the
// decoding is each platform's.
#pragma once
#include <cstdint>
#include <string>

namespace sys {

// What an image's header declares, read before any pixel is decoded.
struct ImageFacts {
  uint64_t width = 0, height = 0;
  unsigned bytesPerPixel = 0;  // of the decoded pixels
  // The largest factor by which the decoder shrinks while it decodes
  // (8 for JPEG in libvips), 1 when it decodes at full size.
  unsigned shrinkOnLoad = 1;
};

constexpr uint64_t kMaxPreviewPixels = 100000000;
constexpr uint64_t kMaxDecodeBytes = 256ull * 1048576;

// The bytes the decoder needs for the pixels on the way to a preview of
// longest side `size`: it shrinks by the largest power of two up to
// shrinkOnLoad that keeps the longer side at least `size`.
uint64_t decodeBytes(const ImageFacts& facts, int size);
// Whether a preview of that size may be made: at most kMaxPreviewPixels
// declared and at most kMaxDecodeBytes to decode.
bool previewFits(const ImageFacts& facts, int size);

// Turns a picture of 3-byte pixels, rows top to bottom, the way its
// orientation tag (1 to 8, as cameras write it) says it is to be shown;
// other values leave it as it is. For the decoders that do not do it.
void orientPixels(const std::string& pixels, uint32_t width, uint32_t height, int orientation, std::string& out,
                  uint32_t& outWidth, uint32_t& outHeight);

enum class Preview {
  Made,
  TooLarge,     // refused by previewFits before decoding
  NotAnImage,   // no decoder takes it, or the data is broken
};

// A JPEG of the image's first frame that fits within size x size with its
// aspect kept, turned upright by its orientation tag, transparency laid on
// white. The header is checked with previewFits first, on the same open
// file as is then decoded.
Preview makePreview(const std::string& path, int size, std::string& jpeg);

}  // namespace sys
