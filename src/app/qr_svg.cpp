#include "app/qr_svg.h"

namespace app {

std::string qrSvg(const QrSymbol& symbol) {
  if (symbol.width <= 0) return {};
  const std::string side = std::to_string(symbol.width + 2 * kQrQuietModules);
  const std::string pixels = std::to_string((symbol.width + 2 * kQrQuietModules) * kQrModulePixels);
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + side + " " + side + "\" width=\"" +
                    pixels + "\" height=\"" + pixels + "\" shape-rendering=\"crispEdges\"><rect width=\"" + side +
                    "\" height=\"" + side + "\" fill=\"#fff\"/><path fill=\"#000\" d=\"";
  // One rectangle per run of dark modules in a row keeps the document small.
  for (int row = 0; row < symbol.width; ++row) {
    for (int column = 0; column < symbol.width;) {
      if (!qrModuleDark(symbol, row, column)) {
        ++column;
        continue;
      }
      int run = 1;
      while (qrModuleDark(symbol, row, column + run)) ++run;
      svg += "M" + std::to_string(column + kQrQuietModules) + " " + std::to_string(row + kQrQuietModules) + "h" +
             std::to_string(run) + "v1h-" + std::to_string(run) + "z";
      column += run;
    }
  }
  return svg + "\"/></svg>";
}

}  // namespace app
