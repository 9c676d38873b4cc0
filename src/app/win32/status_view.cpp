#include "app/win32/status_view.h"

#include <vector>

#include "app/qr_code.h"
#include "app/status_snapshot.h"
#include "app/win32/dpi.h"
#include "app/win32/main_state.h"
#include "app/win32/messages.h"
#include "app/win32/qr_bitmap.h"
#include "app/win32/tray.h"
#include "core/flavour.h"
#include "sys/text.h"

namespace desktop {

namespace {

// Replaces a control's text only when it differs, so the report box does
// not flicker or lose its scroll position on every state message.
void setText(HWND window, int id, const std::string& utf8) {
  HWND c = GetDlgItem(window, id);
  if (!c) return;
  std::wstring text = sys::toWide(utf8);
  int length = GetWindowTextLengthW(c);
  std::vector<wchar_t> current((size_t)length + 1);
  GetWindowTextW(c, current.data(), length + 1);
  if (text != std::wstring(current.data())) SetWindowTextW(c, text.c_str());
}

void renderQrCode(HWND window, const std::string& url) {
  MainWindowState& st = mainState();
  if (st.qrBitmap) DeleteObject(st.qrBitmap);
  st.qrBitmap = nullptr;
  st.qrSide = 0;
  app::QrSymbol symbol;
  if (app::encodeQrSymbol(url, symbol)) {
    app::QrPicture picture = app::renderQrCode(symbol, scaled(app::kQrModulePixels, st.dpi));
    st.qrBitmap = createQrBitmap(picture);
    if (st.qrBitmap) st.qrSide = picture.side;
  }
  InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

app::StatusSnapshot desktopStatus() { return app::currentStatus(mainState().baseFolder); }

void updateStatus(HWND window) {
  const core::Flavour& f = core::flavour();
  app::StatusSnapshot s = desktopStatus();
  SetWindowTextW(window, sys::toWide(f.window.statusTitle).c_str());
  if (f.window.webRootPicker) setText(window, kWebRootLine, s.webRoot);
  setText(window, kUrlLine, app::urlLine(f, s));
  setText(window, kPinLine, app::pinLine(s));
  setText(window, kDriveLine, app::driveLine(s));
  setText(window, kStatusReport, app::statusReport(f, s));
  renderQrCode(window, app::autoLoginUrl(f, s));
  updateTrayTip(s);
}

}  // namespace desktop
