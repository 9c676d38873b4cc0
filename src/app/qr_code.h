// The QR code of the auto-login URL: the symbol from libqrencode and its
// picture, 4 x 4 pixels per module inside a quiet zone of 4 modules.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace app {

constexpr int kQrModulePixels = 4;
constexpr int kQrQuietModules = 4;
constexpr uint32_t kQrBlack = 0xFF000000;
constexpr uint32_t kQrWhite = 0xFFFFFFFF;

struct QrSymbol {
  int width = 0;                       // modules per side; 0 for no symbol
  std::vector<unsigned char> modules;  // row by row, bit 0 set when dark
};

bool qrModuleDark(const QrSymbol& symbol, int row, int column);

// Smallest version that fits, level M, 8-bit bytes, case-sensitive; false
// (and an empty symbol) when the text cannot be encoded.
bool encodeQrSymbol(const std::string& utf8, QrSymbol& out);

struct QrPicture {
  int side = 0;                 // pixels per side; 0 for no picture
  std::vector<uint32_t> pixels;  // rows from the top, 0xAARRGGBB
};

// modulePixels pixels per module side, the quiet zone scaled alike (the
// desktop scales both with the screen's DPI).
QrPicture renderQrCode(const QrSymbol& symbol, int modulePixels = kQrModulePixels);
// Encodes and renders; no picture when the text cannot be encoded.
QrPicture renderQrCode(const std::string& utf8);

}  // namespace app
