// The file types a browser may show from this origin instead of saving:
// pictures, video, audio, PDF and plain text. Anything that can carry
// script (HTML, SVG, XML, JavaScript) or is unknown is never shown inline.
#pragma once
#include <string>

namespace files {

struct InlineType {
  const char* contentType;
  // Content-Security-Policy of the inline answer: no script in any case.
  const char* policy;
};

// The type by the name's extension (any case), or nullptr when the file
// must be downloaded instead.
const InlineType* inlineTypeFor(const std::string& name);

}  // namespace files
