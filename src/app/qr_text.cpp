#include "app/qr_text.h"

namespace app {

std::string qrHalfBlockText(const QrSymbol& symbol, const std::string& lineStart, const std::string& lineEnd) {
  if (symbol.width <= 0) return {};
  const int side = symbol.width + 2 * kQrQuietModules;
  std::string text;
  for (int y = 0; y < side; y += 2) {
    text += lineStart;
    for (int x = 0; x < side; ++x) {
      bool top = qrModuleDark(symbol, y - kQrQuietModules, x - kQrQuietModules);
      bool bottom = qrModuleDark(symbol, y + 1 - kQrQuietModules, x - kQrQuietModules);
      if (top && bottom)
        text += "\u2588";
      else if (top)
        text += "\u2580";
      else if (bottom)
        text += "\u2584";
      else
        text += ' ';
    }
    text += lineEnd;
    text += '\n';
  }
  return text;
}

}  // namespace app
