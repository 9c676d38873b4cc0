#include "app/win32/paint.h"

#include "app/win32/dpi.h"
#include "app/win32/main_state.h"
#include "core/flavour.h"
#include "http/server.h"

namespace desktop {

namespace {

constexpr COLORREF kFrameGrey = 0xC8C8C8;
constexpr COLORREF kQrFrameGrey = 0xDCDCDC;
constexpr COLORREF kRunningGreen = 0xAADC98;
constexpr COLORREF kStoppedRed = 0xAAAAF0;

struct Painter {
  HDC dc;
  UINT dpi;
  int s(int v) const { return scaled(v, dpi); }

  // A rounded rectangle in device pixels; brush null for a hollow frame.
  void roundRectPixels(int left, int top, int right, int bottom, int corner, COLORREF pen, HBRUSH brush) const {
    HPEN p = CreatePen(PS_SOLID, s(1), pen);
    HGDIOBJ oldPen = SelectObject(dc, p);
    HGDIOBJ oldBrush = SelectObject(dc, brush ? (HGDIOBJ)brush : GetStockObject(NULL_BRUSH));
    RoundRect(dc, left, top, right, bottom, corner, corner);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(p);
  }
  // The same in 96-DPI figures.
  void roundRect(int left, int top, int right, int bottom, int corner, COLORREF pen, HBRUSH brush) const {
    roundRectPixels(s(left), s(top), s(right), s(bottom), s(corner), pen, brush);
  }
};

void paintQrCode(const Painter& p, const MainWindowState& st) {
  if (!st.qrBitmap) return;
  HDC memory = CreateCompatibleDC(p.dc);
  HGDIOBJ old = SelectObject(memory, st.qrBitmap);
  int x = p.s(44), y = p.s(-4);
  BitBlt(p.dc, x, y, st.qrSide, st.qrSide, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  // 10 pixels inside the picture's right and bottom edges: with its quiet
  // zone the frame sits just outside the modules.
  p.roundRectPixels(p.s(42), p.s(6), x + st.qrSide - p.s(10), y + st.qrSide - p.s(10), p.s(10), kQrFrameGrey,
                    nullptr);
}

// "Mobile  APP QR" in the icon-title font, reading upwards beside the code.
void paintQrLabel(const Painter& p) {
  LOGFONTW lf{};
  if (!SystemParametersInfoForDpi(SPI_GETICONTITLELOGFONT, sizeof(lf), &lf, 0, p.dpi)) return;
  lf.lfEscapement = 900;
  lf.lfOrientation = 900;
  HFONT font = CreateFontIndirectW(&lf);
  if (!font) return;
  HGDIOBJ old = SelectObject(p.dc, font);
  SetBkMode(p.dc, TRANSPARENT);
  SetTextColor(p.dc, 0x000000);
  static const wchar_t kLabel[] = L"Mobile  APP QR";
  TextOutW(p.dc, p.s(42), p.s(110), kLabel, ARRAYSIZE(kLabel) - 1);
  SelectObject(p.dc, old);
  DeleteObject(font);
}

}  // namespace

void paintMainWindow(HWND window) {
  const MainWindowState& st = mainState();
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  Painter p{dc, st.dpi};

  HBRUSH state = CreateSolidBrush(http::serverRunning() ? kRunningGreen : kStoppedRed);
  p.roundRect(12, 6, 32, 134, 5, kFrameGrey, state);
  DeleteObject(state);

  p.roundRect(196, 44, 668, 134, 10, kFrameGrey, nullptr);
  // vantrel-http has no web-root row, so its lower frame is shorter.
  p.roundRect(42, 144, 668, core::flavour().window.webRootPicker ? 214 : 184, 10, kFrameGrey, nullptr);

  paintQrCode(p, st);
  paintQrLabel(p);
  EndPaint(window, &ps);
}

}  // namespace desktop
