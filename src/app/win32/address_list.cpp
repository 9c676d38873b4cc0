#include "app/win32/address_list.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/win32/messages.h"
#include "netenv/address_cache.h"
#include "netenv/address_choice.h"
#include "sys/text.h"

namespace desktop {

namespace {
constexpr int kMaxAddressChars = 127;
}

void fillAddressList(HWND window, bool keepSelection) {
  HWND list = GetDlgItem(window, kAddressList);
  if (!list) return;
  std::string wanted = keepSelection ? netenv::selectedAddress() : std::string();
  std::vector<std::string> items = netenv::addressListItems(netenv::addressChoices());
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : items)
    SendMessageW(list, CB_ADDSTRING, 0, (LPARAM)sys::toWide(item).c_str());
  SendMessageW(list, CB_SETCURSEL, netenv::addressListSelection(items, wanted), 0);
}

void takeSelectedAddress(HWND window) {
  HWND list = GetDlgItem(window, kAddressList);
  if (!list) return;
  LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
  std::string address;
  LRESULT length = index > 0 ? SendMessageW(list, CB_GETLBTEXTLEN, index, 0) : CB_ERR;
  if (length != CB_ERR) {
    std::wstring text((size_t)length + 1, L'\0');
    SendMessageW(list, CB_GETLBTEXT, index, (LPARAM)text.data());
    text.resize(std::min<size_t>(wcslen(text.c_str()), kMaxAddressChars));
    address = sys::toUtf8(text);
  }
  netenv::setSelectedAddress(address);
}

}  // namespace desktop
