#include "files/inline_types.h"

namespace files {

namespace {

// A sandboxed document runs no script and gets an opaque origin, so even a
// misread file cannot reach the session.
const char* const kSandboxed = "sandbox; default-src 'none'; img-src 'self'; media-src 'self'; style-src 'unsafe-inline'";
// The browser's PDF viewer refuses a sandboxed document: no sandbox, but
// still no script of the document's own and nothing loaded from elsewhere.
const char* const kPdf = "sandbox; default-src 'none'; object-src 'self'; style-src 'unsafe-inline'";

struct Entry {
  const char* extension;
  InlineType type;
};

const Entry kTypes[] = {
    {"jpg", {"image/jpeg", kSandboxed}},       {"jpeg", {"image/jpeg", kSandboxed}},
    {"png", {"image/png", kSandboxed}},        {"gif", {"image/gif", kSandboxed}},
    {"webp", {"image/webp", kSandboxed}},      {"avif", {"image/avif", kSandboxed}},
    {"bmp", {"image/bmp", kSandboxed}},        {"mp4", {"video/mp4", kSandboxed}},
    {"webm", {"video/webm", kSandboxed}},      {"mov", {"video/quicktime", kSandboxed}},
    {"m4v", {"video/mp4", kSandboxed}},        {"mp3", {"audio/mpeg", kSandboxed}},
    {"m4a", {"audio/mp4", kSandboxed}},        {"aac", {"audio/aac", kSandboxed}},
    {"ogg", {"audio/ogg", kSandboxed}},        {"opus", {"audio/ogg", kSandboxed}},
    {"wav", {"audio/wav", kSandboxed}},        {"flac", {"audio/flac", kSandboxed}},
    {"pdf", {"application/pdf", kPdf}},        {"txt", {"text/plain; charset=utf-8", kSandboxed}},
};

}  // namespace

const InlineType* inlineTypeFor(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return nullptr;
  std::string ext = name.substr(dot + 1);
  for (char& ch : ext)
    if (ch >= 'A' && ch <= 'Z') ch = (char)(ch + 32);
  for (const Entry& e : kTypes)
    if (ext == e.extension) return &e.type;
  return nullptr;
}

}  // namespace files
