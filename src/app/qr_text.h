// A QR symbol drawn with Unicode half blocks for a terminal: two module rows
// per text line, quiet zone included. Glyphs draw the dark modules, so the
// caller wraps every line in colours that paint them dark on light.
#pragma once
#include <string>

#include "app/qr_code.h"

namespace app {

// One text line per two module rows, each as lineStart + glyphs + lineEnd + "\n".
std::string qrHalfBlockText(const QrSymbol& symbol, const std::string& lineStart, const std::string& lineEnd);

}  // namespace app
