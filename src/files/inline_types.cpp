#include "files/inline_types.h"

namespace files {

// A sandboxed document runs no script and gets an opaque origin, so even a
// misread file cannot reach the session. Every type below still shows with
// it, the PDF viewer included.
const char* const kInlinePolicy =
    "sandbox; default-src 'none'; img-src 'self'; media-src 'self'; style-src 'unsafe-inline'";

namespace {

const InlineType kTypes[] = {
    {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"},     {"png", "image/png"},   {"gif", "image/gif"},
    {"webp", "image/webp"}, {"avif", "image/avif"},     {"bmp", "image/bmp"},   {"mp4", "video/mp4"},
    {"webm", "video/webm"}, {"mov", "video/quicktime"}, {"m4v", "video/mp4"},   {"mp3", "audio/mpeg"},
    {"m4a", "audio/mp4"},  {"aac", "audio/aac"},       {"ogg", "audio/ogg"},   {"opus", "audio/ogg"},
    {"wav", "audio/wav"},  {"flac", "audio/flac"},     {"pdf", "application/pdf"},
    {"txt", "text/plain; charset=utf-8"},
};

}  // namespace

std::span<const InlineType> inlineTypes() { return kTypes; }

const char* inlineTypeFor(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return nullptr;
  std::string ext = name.substr(dot + 1);
  for (char& ch : ext)
    if (ch >= 'A' && ch <= 'Z') ch = (char)(ch + 32);
  for (const InlineType& e : kTypes)
    if (ext == e.extension) return e.contentType;
  return nullptr;
}

}  // namespace files
