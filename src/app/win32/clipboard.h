// The auto-login URL on the clipboard.
#pragma once
#include <windows.h>

#include <string>

namespace desktop {

// Only while the server runs on a port. Silent on failure.
void copyAutoLoginUrl();
// Retries for about 100 ms while another program holds the clipboard;
// false when it stayed busy or memory ran out.
bool setClipboardText(HWND owner, const std::wstring& text);

}  // namespace desktop
