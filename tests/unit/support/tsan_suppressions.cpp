// libvips hands work between its own threads with GLib's locks, which
// ThreadSanitizer cannot see (GLib and the codecs are not built with it and
// GLib locks with raw futexes): every hand-over would be reported as a race.
// The copies those libraries make are left unchecked; the program's own
// code stays fully checked.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libvips.so\n"
         "called_from_lib:libglib-2.0.so\n"
         "called_from_lib:libgobject-2.0.so\n"
         "called_from_lib:libz.so\n"
         "called_from_lib:libpng16.so\n"
         "called_from_lib:libjpeg.so\n"
         "called_from_lib:libwebp.so\n"
         "called_from_lib:libtiff.so\n"
         "called_from_lib:libexif.so\n"
         "called_from_lib:libcgif.so\n"
         "called_from_lib:libheif.so\n"
         "called_from_lib:liborc-0.4.so\n"
         "called_from_lib:liblcms2.so\n"
         "race:libvips.so\n"
         "race:libglib-2.0.so\n";
}
#endif
