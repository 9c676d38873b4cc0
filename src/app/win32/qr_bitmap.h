// The QR picture as a 32-bit top-down DIB section the window can paint.
#pragma once
#include <windows.h>

#include "app/qr_code.h"

namespace desktop {

// Null when the picture is empty or the bitmap cannot be made.
HBITMAP createQrBitmap(const app::QrPicture& picture);

}  // namespace desktop
