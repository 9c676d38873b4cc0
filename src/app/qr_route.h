// The QR code of a text for the pages: a share link or the page's own
// address, shown on a screen for a phone to read.
#pragma once
#include <cstddef>

#include "http/connection.h"
#include "http/request.h"

namespace app {

constexpr size_t kMaxQrTextBytes = 1024;

// GET /api/qr?text=…: image/svg+xml; 400 for an empty or too long text.
void handleQr(http::Connection& c, const http::HttpRequest& r);

}  // namespace app
