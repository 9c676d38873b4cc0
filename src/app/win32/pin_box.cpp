#include "app/win32/pin_box.h"

#include <string>

#include "app/win32/messages.h"
#include "auth/master_pin.h"
#include "auth/sessions.h"
#include "sys/text.h"

namespace desktop {

void onPinBoxChanged(HWND box) {
  wchar_t buffer[64] = {};
  int length = GetWindowTextW(box, buffer, 64);
  std::wstring digits;
  for (int i = 0; i < length; ++i)
    if (buffer[i] >= L'0' && buffer[i] <= L'9') digits += buffer[i];
  if ((int)digits.size() != length) {
    // Setting the text reports a change again, which then sees digits only.
    SetWindowTextW(box, digits.c_str());
    SendMessageW(box, EM_SETSEL, digits.size(), digits.size());
    return;
  }
  if (digits.size() == 6) auth::setMasterPin(sys::toUtf8(digits));
}

void showMasterPin(HWND window) {
  SetDlgItemTextW(window, kMasterPinBox, sys::toWide(auth::getMasterPin()).c_str());
}

}  // namespace desktop
