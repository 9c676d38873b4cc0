#include "app/qr_code.h"

#include <qrencode.h>

namespace app {

bool qrModuleDark(const QrSymbol& symbol, int row, int column) {
  if (row < 0 || column < 0 || row >= symbol.width || column >= symbol.width) return false;
  return symbol.modules[(size_t)row * symbol.width + column] & 1;
}

bool encodeQrSymbol(const std::string& utf8, QrSymbol& out) {
  out = QrSymbol{};
  QRcode* code = QRcode_encodeString(utf8.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
  if (!code) return false;
  bool ok = code->width > 0 && code->data;
  if (ok) {
    out.width = code->width;
    out.modules.assign(code->data, code->data + (size_t)code->width * code->width);
  }
  QRcode_free(code);
  return ok;
}

QrPicture renderQrCode(const QrSymbol& symbol, int modulePixels) {
  QrPicture picture;
  if (symbol.width <= 0 || modulePixels <= 0) return picture;
  picture.side = (symbol.width + 2 * kQrQuietModules) * modulePixels;
  picture.pixels.assign((size_t)picture.side * picture.side, kQrWhite);
  for (int y = 0; y < picture.side; ++y) {
    int row = y / modulePixels - kQrQuietModules;
    for (int x = 0; x < picture.side; ++x) {
      int column = x / modulePixels - kQrQuietModules;
      if (qrModuleDark(symbol, row, column)) picture.pixels[(size_t)y * picture.side + x] = kQrBlack;
    }
  }
  return picture;
}

QrPicture renderQrCode(const std::string& utf8) {
  QrSymbol symbol;
  if (!encodeQrSymbol(utf8, symbol)) return {};
  return renderQrCode(symbol);
}

}  // namespace app
