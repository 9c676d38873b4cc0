// The address list of vantrel-https: which address the URLs name.
#pragma once
#include <windows.h>

namespace desktop {

// Refills the list from this machine's addresses; selects the chosen
// address when keepSelection is set and it is still listed, else "(auto)".
// Nothing when the list does not exist.
void fillAddressList(HWND window, bool keepSelection);
// CBN_SELCHANGE: the selected item becomes the URL address; "(auto)" clears it.
void takeSelectedAddress(HWND window);

}  // namespace desktop
