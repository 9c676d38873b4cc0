#include <gtest/gtest.h>

#include "app/qr_code.h"
#include "app/win32/messages.h"
#include "app/win32/qr_bitmap.h"
#include "app/win32/tray.h"

namespace {

struct Dib {
  DIBSECTION section{};
  const uint32_t* bits = nullptr;
  uint32_t at(int x, int y) const { return bits[(size_t)y * section.dsBm.bmWidth + x]; }
};

Dib readDib(HBITMAP bitmap) {
  Dib d;
  EXPECT_EQ(GetObjectW(bitmap, sizeof d.section, &d.section), (int)sizeof d.section);
  d.bits = (const uint32_t*)d.section.dsBm.bmBits;
  return d;
}

TEST(QrBitmap, TopDown32BitSectionOfThePicture) {
  app::QrSymbol s;
  s.width = 29;
  s.modules.assign(29 * 29, 0);
  s.modules[0] = 1;            // row 0, column 0
  s.modules[1 * 29 + 28] = 1;  // row 1, column 28: tells rows from columns and top from bottom

  HBITMAP bitmap = desktop::createQrBitmap(app::renderQrCode(s));
  ASSERT_NE(bitmap, nullptr);
  Dib d = readDib(bitmap);
  EXPECT_EQ(d.section.dsBm.bmWidth, 148);
  EXPECT_EQ(d.section.dsBm.bmHeight, 148);
  EXPECT_EQ(d.section.dsBmih.biBitCount, 32);
  EXPECT_EQ(d.section.dsBmih.biCompression, (DWORD)BI_RGB);
  ASSERT_NE(d.bits, nullptr);
  size_t black = 0;
  for (int y = 0; y < 148; ++y)
    for (int x = 0; x < 148; ++x) {
      bool dark = (x >= 16 && x < 20 && y >= 16 && y < 20) || (x >= 128 && x < 132 && y >= 20 && y < 24);
      ASSERT_EQ(d.at(x, y), dark ? app::kQrBlack : app::kQrWhite) << x << "," << y;
      black += dark;
    }
  EXPECT_EQ(black, 32u);
  // Drawn, the first row of the buffer is the top of the picture.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  EXPECT_EQ(GetPixel(dc, 16, 16), 0x000000u);
  EXPECT_EQ(GetPixel(dc, 130, 21), 0x000000u);
  EXPECT_EQ(GetPixel(dc, 16, 131), 0xFFFFFFu);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);

  // At 150 % every module is 6 pixels and the quiet zone 24.
  bitmap = desktop::createQrBitmap(app::renderQrCode(s, 6));
  ASSERT_NE(bitmap, nullptr);
  d = readDib(bitmap);
  EXPECT_EQ(d.section.dsBm.bmWidth, 222);
  EXPECT_EQ(d.at(23, 24), app::kQrWhite);
  EXPECT_EQ(d.at(24, 24), app::kQrBlack);
  EXPECT_EQ(d.at(29, 29), app::kQrBlack);
  EXPECT_EQ(d.at(30, 24), app::kQrWhite);
  DeleteObject(bitmap);

  EXPECT_EQ(desktop::createQrBitmap(app::QrPicture{}), nullptr);
}

TEST(TrayMenu, ItemsInOrderFirstTwoGreyedWhileStopped) {
  struct Item {
    UINT id;
    const wchar_t* text;
  };
  const Item expected[] = {{desktop::kTrayCopy, L"Copy URL + PIN"},
                           {desktop::kTrayBrowser, L"Open Browser (Auto Login)"},
                           {desktop::kTrayExplorer, L"Explorer"},
                           {0, L""},
                           {desktop::kTrayOpen, L"Open"},
                           {desktop::kTrayClose, L"Close"}};
  for (bool running : {false, true}) {
    HMENU menu = desktop::buildTrayMenu(running);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 6);
    for (int i = 0; i < 6; ++i) {
      SCOPED_TRACE(testing::Message() << "running " << running << " item " << i);
      UINT state = GetMenuState(menu, i, MF_BYPOSITION);
      if (i == 3) {
        EXPECT_TRUE(state & MF_SEPARATOR);
        continue;
      }
      wchar_t text[64] = {};
      GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
      EXPECT_STREQ(text, expected[i].text);
      EXPECT_EQ(GetMenuItemID(menu, i), expected[i].id);
      EXPECT_EQ((state & MF_GRAYED) != 0, !running && i < 2);
    }
    DestroyMenu(menu);
  }
}

}  // namespace
