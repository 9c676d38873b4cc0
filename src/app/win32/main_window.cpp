#include "app/win32/main_window.h"

#include "app/status_text.h"
#include "app/win32/address_list.h"
#include "app/win32/autostart_box.h"
#include "app/win32/commands.h"
#include "app/win32/controls.h"
#include "app/win32/dpi.h"
#include "app/win32/layout.h"
#include "app/win32/log_window.h"
#include "app/win32/main_state.h"
#include "app/win32/messages.h"
#include "app/win32/paint.h"
#include "app/win32/pin_box.h"
#include "app/win32/status_view.h"
#include "app/win32/tray.h"
#include "core/flavour.h"
#include "app/routes.h"
#include "http/server.h"
#include "sys/text.h"

namespace desktop {

const wchar_t* const kMainWindowClass = L"HTTPVantrel_Main";

namespace {

// Sent by the shell to every top-level window when its taskbar is created.
UINT taskbarCreatedMessage = 0;

HICON loadIcon(int side) {
  return (HICON)LoadImageW(mainState().instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, side, side,
                           LR_SHARED);
}

// Title-bar and task-switcher icons drawn for the window's DPI rather than
// scaled down from the class icon.
void setWindowIcons(HWND window) {
  UINT dpi = mainState().dpi;
  SendMessageW(window, WM_SETICON, ICON_SMALL, (LPARAM)loadIcon(GetSystemMetricsForDpi(SM_CXSMICON, dpi)));
  SendMessageW(window, WM_SETICON, ICON_BIG, (LPARAM)loadIcon(GetSystemMetricsForDpi(SM_CXICON, dpi)));
}

void onCreate(HWND window) {
  MainWindowState& st = mainState();
  st.window = window;
  publishMainWindow(window);
  st.dpi = windowDpi(window);
  st.whiteBrush = CreateSolidBrush(0xFFFFFF);
  st.uiFont = createUiFont(st.dpi);

  createControls(window);
  SendDlgItemMessageW(window, kAddressList, CB_SETDROPPEDWIDTH, scaled(kAddressListDroppedWidth, st.dpi), 0);
  fillAddressList(window, false);
  setControlFont(window, st.uiFont);
  showAutostartState(window);

  st.expanded = false;
  applyWindowSize(window);
  layoutControls(window);
  setWindowIcons(window);

  http::startServer(app::routes());
  updateStatus(window);
  showMasterPin(window);
}

void onDestroy(HWND window) {
  MainWindowState& st = mainState();
  publishMainWindow(nullptr);
  // It shares the font and brush deleted below.
  destroyLogWindow();
  removeTrayIcon(window);
  if (st.qrBitmap) DeleteObject(st.qrBitmap);
  if (st.whiteBrush) DeleteObject(st.whiteBrush);
  if (st.uiFont) DeleteObject(st.uiFont);
  st.qrBitmap = nullptr;
  st.whiteBrush = nullptr;
  st.uiFont = nullptr;
  PostQuitMessage(0);
}

// Moved to a monitor of another scale factor: new font, sizes and QR code.
void onDpiChanged(HWND window, UINT dpi, const RECT& suggested) {
  MainWindowState& st = mainState();
  st.dpi = dpi;
  HFONT old = st.uiFont;
  st.uiFont = createUiFont(dpi);
  setControlFont(window, st.uiFont);
  setLogWindowFont(st.uiFont);
  if (old) DeleteObject(old);
  SendDlgItemMessageW(window, kAddressList, CB_SETDROPPEDWIDTH, scaled(kAddressListDroppedWidth, dpi), 0);
  SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  layoutControls(window);
  setWindowIcons(window);
  updateStatus(window);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_CREATE: onCreate(window); return 0;
    case WM_COMMAND:
      if (onCommand(window, LOWORD(wp), HIWORD(wp), (HWND)lp)) return 0;
      break;
    case WM_TRAY_CALLBACK: onTrayCallback(window, lp); return 0;
    case WM_SERVER_STATE: updateStatus(window); return 0;
    case WM_SIZE:
      if (wp == SIZE_MINIMIZED) {
        addTrayIcon(window);
        ShowWindow(window, SW_HIDE);
      } else {
        layoutControls(window);
      }
      return 0;
    case WM_CLOSE:
      http::stopServer();
      DestroyWindow(window);
      return 0;
    case WM_DESTROY: onDestroy(window); return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      SetBkColor((HDC)wp, 0xFFFFFF);
      SetTextColor((HDC)wp, 0x000000);
      return (LRESULT)mainState().whiteBrush;
    case WM_PAINT: paintMainWindow(window); return 0;
    case WM_DPICHANGED: onDpiChanged(window, HIWORD(wp), *(const RECT*)lp); return 0;
    default:
      if (message == taskbarCreatedMessage && taskbarCreatedMessage != 0) {
        restoreTrayIcon(window);
        return 0;
      }
      break;
  }
  return DefWindowProcW(window, message, wp, lp);
}

}  // namespace

bool registerMainWindowClass(HINSTANCE instance) {
  mainState().instance = instance;
  taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
  WNDCLASSW wc{};
  wc.style = 0;
  wc.lpfnWndProc = mainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = (HICON)LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 32, 32, LR_SHARED);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = kMainWindowClass;
  return RegisterClassW(&wc) != 0;
}

HWND createMainWindow(HINSTANCE instance) {
  UINT dpi = windowDpi(nullptr);
  std::wstring title = sys::toWide(app::initialWindowTitle(core::flavour()));
  return CreateWindowW(kMainWindowClass, title.c_str(), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                       CW_USEDEFAULT, scaled(kWindowWidth, dpi), scaled(kCollapsedHeight, dpi), nullptr, nullptr,
                       instance, nullptr);
}

}  // namespace desktop
