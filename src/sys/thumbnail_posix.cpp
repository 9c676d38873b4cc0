// Previews through libvips. Its thumbnail operation shrinks JPEGs while it
// decodes them and streams the other formats, so a photo costs little
// memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>

#include <cstring>
#include <mutex>

#include "sys/thumbnail.h"

namespace sys {

namespace {

bool vipsReady() {
  static bool ready = false;
  static std::once_flag once;
  std::call_once(once, [] {
    if (vips_init("vantrel") != 0) return;
    // A broken file is answered "No preview"; the library's warnings
    // about it would only fill the terminal.
    g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {},
                      nullptr);
    // Each preview is made once and then kept on disk: nothing to reuse.
    vips_cache_set_max(0);
    // Only the loaders of photos and pictures; the untrusted ones (PDF,
    // SVG, scientific formats) stay blocked, but for the BMP reader, which
    // allowedLoader admits for BMP files alone.
    vips_block_untrusted_set(TRUE);
    vips_operation_block_set("VipsForeignLoadMagickFile", FALSE);
    ready = true;
  });
  return ready;
}

bool startsWith(int fd, const char* magic) {
  char head[8] = {};
  size_t n = std::strlen(magic);
  return ::pread(fd, head, n, 0) == (ssize_t)n && std::memcmp(head, magic, n) == 0;
}

// The loaders of JPEG, PNG, GIF, WebP, TIFF and HEIF/AVIF, and the general
// one for BMP files only. jpegShrink tells whether the loader shrinks while
// it decodes.
bool allowedLoader(const char* loader, int fd, bool& jpegShrink) {
  static const char* const kPhotoLoaders[] = {"VipsForeignLoadJpegFile", "VipsForeignLoadPngFile",
                                              "VipsForeignLoadNsgifFile", "VipsForeignLoadWebpFile",
                                              "VipsForeignLoadTiffFile", "VipsForeignLoadHeifFile"};
  jpegShrink = std::strcmp(loader, "VipsForeignLoadJpegFile") == 0;
  for (const char* allowed : kPhotoLoaders)
    if (std::strcmp(loader, allowed) == 0) return true;
  return std::strcmp(loader, "VipsForeignLoadMagickFile") == 0 && startsWith(fd, "BM");
}

struct Unref {
  VipsImage* image = nullptr;
  ~Unref() {
    if (image) g_object_unref(image);
  }
};

// pinned names the open file, so that the header checked and the pixels
// decoded come from the same file even when it is replaced meanwhile.
Preview previewOf(const std::string& pinned, int fd, int size, std::string& jpeg) {
  const char* loader = vips_foreign_find_load(pinned.c_str());
  bool jpegShrink = false;
  if (!loader || !allowedLoader(loader, fd, jpegShrink)) return Preview::NotAnImage;

  Unref header{vips_image_new_from_file(pinned.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr)};
  if (!header.image) return Preview::NotAnImage;
  ImageFacts facts;
  facts.width = (uint64_t)vips_image_get_width(header.image);
  facts.height = (uint64_t)vips_image_get_height(header.image);
  facts.bytesPerPixel = (unsigned)(vips_image_get_bands(header.image) *
                                   vips_format_sizeof(vips_image_get_format(header.image)));
  facts.shrinkOnLoad = jpegShrink ? 8 : 1;
  if (!previewFits(facts, size)) return Preview::TooLarge;

  Unref thumb;
  if (vips_thumbnail(pinned.c_str(), &thumb.image, size, "height", size, "size", VIPS_SIZE_DOWN, "no_rotate",
                     FALSE, "fail_on", VIPS_FAIL_ON_ERROR, nullptr) != 0)
    return Preview::NotAnImage;
  Unref flat;
  VipsImage* shown = thumb.image;
  if (vips_image_hasalpha(shown)) {
    VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
    int failed = vips_flatten(shown, &flat.image, "background", white, nullptr);
    vips_area_unref(VIPS_AREA(white));
    if (failed) return Preview::NotAnImage;
    shown = flat.image;
  }
  void* bytes = nullptr;
  size_t length = 0;
  if (vips_jpegsave_buffer(shown, &bytes, &length, "Q", 82, "strip", TRUE, nullptr) != 0)
    return Preview::NotAnImage;
  jpeg.assign((const char*)bytes, length);
  g_free(bytes);
  return Preview::Made;
}

}  // namespace

Preview makePreview(const std::string& path, int size, std::string& jpeg) {
  jpeg.clear();
  if (!vipsReady()) return Preview::NotAnImage;
  // Non-blocking, so that a named pipe cannot hold the thread before the
  // check below refuses it.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Preview::NotAnImage;
  struct stat st;
  Preview result = Preview::NotAnImage;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
    result = previewOf("/proc/self/fd/" + std::to_string(fd), fd, size, jpeg);
  ::close(fd);
  // The error text is per process and only grows; the thread's own buffers
  // go with it, as connection threads are short-lived.
  vips_error_clear();
  vips_thread_shutdown();
  return result;
}

}  // namespace sys
