// The file types a browser may show from this origin instead of saving:
// pictures, video, audio, PDF and plain text. Anything that can carry
// script (HTML, SVG, XML, JavaScript) or is unknown is never shown inline.
#pragma once
#include <span>
#include <string>

namespace files {

// Content-Security-Policy of every inline answer: sandboxed, no script.
extern const char* const kInlinePolicy;

struct InlineType {
  const char* extension;  // lower case, without the dot
  const char* contentType;
};

// Every type shown inline; the file pages offer their view for exactly these.
std::span<const InlineType> inlineTypes();

// The Content-Type by the name's extension (any case), or nullptr when the
// file must be downloaded instead.
const char* inlineTypeFor(const std::string& name);

}  // namespace files
