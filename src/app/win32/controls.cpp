#include "app/win32/controls.h"

#include "app/win32/dpi.h"
#include "app/win32/messages.h"
#include "core/flavour.h"

namespace desktop {

namespace {

enum class Presence { Both, WebRootPicker, AddressList };

struct ControlSpec {
  int id;
  const wchar_t* className;
  const wchar_t* text;
  DWORD style;  // besides WS_CHILD
  DWORD exStyle;
  Presence presence;
};

constexpr DWORD kPush = WS_VISIBLE | BS_PUSHBUTTON;
constexpr DWORD kLine = WS_VISIBLE | SS_LEFTNOWORDWRAP;

// In creation order.
const ControlSpec kControls[] = {
    {kServerButton, L"BUTTON", L"Server", kPush, 0, Presence::Both},
    {kStatusButton, L"BUTTON", L"Status", kPush, 0, Presence::Both},
    {kLogsButton, L"BUTTON", L"Logs", kPush, 0, Presence::Both},
    {kExplorerButton, L"BUTTON", L"Explorer", kPush, 0, Presence::Both},
    {kUrlLine, L"STATIC", L"URL:     -", kLine, 0, Presence::Both},
    {kPinLine, L"STATIC", L"PIN:     ------", kLine, 0, Presence::Both},
    {kDriveLine, L"STATIC", L"Drive:   -", kLine, 0, Presence::Both},
    {kCopyButton, L"BUTTON", L"Copy URL+PIN", kPush, 0, Presence::Both},
    {kWebRootLine, L"STATIC", L"WEB Root:  -", kLine, 0, Presence::WebRootPicker},
    {kWebRootButton, L"BUTTON", L"Web Root...", kPush, 0, Presence::WebRootPicker},
    {kBackButton, L"BUTTON", L"Back", kPush, 0, Presence::WebRootPicker},
    {kMasterPinLabel, L"STATIC", L"Master PIN:", kLine, 0, Presence::Both},
    {kMasterPinBox, L"EDIT", L"", WS_VISIBLE | ES_PASSWORD | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, Presence::Both},
    {kBrowserButton, L"BUTTON", L"Browser", kPush, 0, Presence::Both},
    {kStatusReport, L"EDIT", L"", WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, Presence::Both},
    {kAutostartBox, L"BUTTON", L"Windows Autostart", WS_VISIBLE | BS_AUTOCHECKBOX, 0, Presence::Both},
    {kAddressList, L"COMBOBOX", L"", WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, 0, Presence::AddressList},
};

bool present(Presence p, const core::Flavour& f) {
  switch (p) {
    case Presence::WebRootPicker: return f.window.webRootPicker;
    case Presence::AddressList: return f.window.addressList;
    default: return true;
  }
}

BOOL CALLBACK setFontOnChild(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, (WPARAM)font, TRUE);
  return TRUE;
}

}  // namespace

void createControls(HWND window) {
  const core::Flavour& f = core::flavour();
  HINSTANCE instance = (HINSTANCE)GetWindowLongPtrW(window, GWLP_HINSTANCE);
  for (const ControlSpec& c : kControls) {
    if (!present(c.presence, f)) continue;
    CreateWindowExW(c.exStyle, c.className, c.text, WS_CHILD | c.style, 0, 0, 0, 0, window,
                    (HMENU)(INT_PTR)c.id, instance, nullptr);
  }
  SendDlgItemMessageW(window, kMasterPinBox, EM_SETLIMITTEXT, 6, 0);
}

void setControlFont(HWND window, HFONT font) { EnumChildWindows(window, setFontOnChild, (LPARAM)font); }

HFONT createUiFont(UINT dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -scaled(14, dpi);
  lstrcpynW(lf.lfFaceName, L"Segoe UI", LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

}  // namespace desktop
