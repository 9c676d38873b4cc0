#include "app/qr_route.h"

#include "app/qr_code.h"
#include "app/qr_svg.h"
#include "http/response.h"

namespace app {

void handleQr(http::Connection& c, const http::HttpRequest& r) {
  std::string text = http::urlDecode(http::queryParam(r.query, "text"));
  if (text.empty() || text.size() > kMaxQrTextBytes) {
    http::sendJson(c, 400, http::jsonError(text.empty() ? "Missing text" : "Text too long"));
    return;
  }
  QrSymbol symbol;
  if (!encodeQrSymbol(text, symbol)) {
    http::sendJson(c, 500, http::jsonError("Failed to draw the QR code"));
    return;
  }
  http::sendResponse(c, 200, "OK", "image/svg+xml", qrSvg(symbol),
                     {{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});
}

}  // namespace app
