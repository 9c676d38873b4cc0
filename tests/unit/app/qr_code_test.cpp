#include "app/qr_code.h"

#include <gtest/gtest.h>

#include "app/qr_text.h"

namespace {

uint32_t pixel(const app::QrPicture& p, int x, int y) { return p.pixels[(size_t)y * p.side + x]; }

TEST(QrPicture, ModulesOfFourPixelsInsideAQuietZone) {
  app::QrSymbol s;
  s.width = 29;
  s.modules.assign(29 * 29, 0xC0);  // light: only bit 0 counts
  s.modules[0] = 1;                 // row 0, column 0
  s.modules[28 * 29 + 27] = 0x81;   // row 28, column 27
  app::QrPicture p = app::renderQrCode(s);
  ASSERT_EQ(p.side, 148);
  ASSERT_EQ(p.pixels.size(), 148u * 148u);
  EXPECT_EQ(pixel(p, 15, 16), app::kQrWhite);
  EXPECT_EQ(pixel(p, 16, 16), app::kQrBlack);
  EXPECT_EQ(pixel(p, 19, 19), app::kQrBlack);
  EXPECT_EQ(pixel(p, 20, 16), app::kQrWhite);
  EXPECT_EQ(pixel(p, 16, 20), app::kQrWhite);
  EXPECT_EQ(pixel(p, 16 + 27 * 4, 16 + 28 * 4 + 3), app::kQrBlack);
  EXPECT_EQ(pixel(p, 16 + 28 * 4, 16 + 28 * 4), app::kQrWhite);
  size_t black = 0;
  for (uint32_t px : p.pixels) black += px == app::kQrBlack;
  EXPECT_EQ(black, 2u * 16u);
}

TEST(QrPicture, EncodesTheUrlAtLevelMInTheSmallestVersion) {
  app::QrSymbol s;
  ASSERT_TRUE(app::encodeQrSymbol("https://10.0.0.5/auto?pin=123456", s));  // 32 bytes: version 3
  EXPECT_EQ(s.width, 29);
  EXPECT_EQ(app::renderQrCode("https://10.0.0.5/auto?pin=123456").side, 148);
  ASSERT_TRUE(app::encodeQrSymbol("https://192.168.100.200:8443/auto?pin=123456&padding=" + std::string(40, 'x'), s));
  int last = s.width - 1;
  EXPECT_GT(last, 28);
  EXPECT_EQ((s.width - 17) % 4, 0);
  // The three finder patterns sit in their corners.
  for (auto [r, c] : {std::pair{0, 0}, std::pair{0, last}, std::pair{last, 0}}) EXPECT_TRUE(app::qrModuleDark(s, r, c));
  EXPECT_FALSE(app::qrModuleDark(s, 1, 1));
  EXPECT_EQ(app::renderQrCode(std::string(8000, 'x')).side, 0);  // beyond the largest version
}

// Reads the glyphs back into module rows.
std::vector<std::string> glyphRows(const std::string& text) {
  std::vector<std::string> rows;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end - start);
    std::string top, bottom;
    for (size_t i = 0; i < line.size();) {
      if (line[i] == ' ') {
        top += '0';
        bottom += '0';
        ++i;
        continue;
      }
      std::string g = line.substr(i, 3);
      top += g == "\u2588" || g == "\u2580" ? '1' : '0';
      bottom += g == "\u2588" || g == "\u2584" ? '1' : '0';
      i += 3;
    }
    rows.push_back(top);
    rows.push_back(bottom);
    start = end + 1;
  }
  return rows;
}

TEST(QrText, HalfBlocksCarryEveryModuleAndTheQuietZone) {
  app::QrSymbol s;
  ASSERT_TRUE(app::encodeQrSymbol("http://192.168.1.20:8080/auto?pin=000123", s));
  std::string text = app::qrHalfBlockText(s, "", "");
  std::vector<std::string> rows = glyphRows(text);
  int side = s.width + 8;
  ASSERT_EQ(rows.size(), (size_t)side + 1);  // an odd side leaves one light half row
  for (int y = 0; y <= side; ++y) {
    ASSERT_EQ(rows[y].size(), (size_t)side) << y;
    for (int x = 0; x < side; ++x)
      ASSERT_EQ(rows[y][x] == '1', app::qrModuleDark(s, y - 4, x - 4)) << y << "," << x;
  }

  std::string coloured = app::qrHalfBlockText(s, "<", ">");
  EXPECT_EQ(coloured.rfind("<" + std::string(side, ' ') + ">\n", 0), 0u);
  EXPECT_EQ(app::qrHalfBlockText(app::QrSymbol{}, "<", ">"), "");
}

}  // namespace
