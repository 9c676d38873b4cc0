// A QR symbol as an SVG document: one path of dark runs on a white square
// that includes the quiet zone, kQrModulePixels per module at its natural size.
#pragma once
#include <string>

#include "app/qr_code.h"

namespace app {

std::string qrSvg(const QrSymbol& symbol);

}  // namespace app
