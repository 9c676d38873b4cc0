#include "app/win32/log_window.h"

#include <atomic>

#include "app/win32/dpi.h"
#include "app/win32/main_state.h"
#include "app/win32/messages.h"
#include "core/event_log.h"
#include "sys/text.h"

namespace desktop {

namespace {

const wchar_t* const kLogWindowClass = L"HTTPVantrel_LogWin";
constexpr int kWidth = 820, kHeight = 430;
constexpr WPARAM kScrollToEnd = 999999;

// Read by logging threads to decide whether to post, so atomic; set and
// cleared on the GUI thread only.
std::atomic<HWND> logWindow{nullptr};
std::atomic<HWND> logBox{nullptr};
HWND clearButton = nullptr;
// A refresh is posted and not yet run.
std::atomic<bool> refreshPending{false};

// Positions in pixels at 96 DPI; they stay when the window is resized.
void placeControls(HWND window) {
  UINT dpi = windowDpi(window);
  SetWindowPos(clearButton, nullptr, scaled(10, dpi), scaled(10, dpi), scaled(110, dpi), scaled(28, dpi),
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(logBox.load(), nullptr, scaled(10, dpi), scaled(48, dpi), scaled(780, dpi), scaled(320, dpi),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void onCreate(HWND window) {
  HINSTANCE instance = (HINSTANCE)GetWindowLongPtrW(window, GWLP_HINSTANCE);
  clearButton = CreateWindowExW(0, L"BUTTON", L"Clear Logs", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 0, 0,
                                window, (HMENU)(INT_PTR)kClearLogsButton, instance, nullptr);
  HWND box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, 0, 0, 0, window,
                             (HMENU)(INT_PTR)kLogBox, instance, nullptr);
  // 500 entries are more than the default limit of about 32 000 characters.
  SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
  logBox.store(box);
  logWindow.store(window);
  setLogWindowFont(mainState().uiFont);
  placeControls(window);
  refreshLogView();
}

void onClearLogs() {
  core::clearLog();
  refreshLogView();
  core::logEvent("LOG     cleared");
}

LRESULT CALLBACK logWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_CREATE: onCreate(window); return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == kClearLogsButton) {
        onClearLogs();
        return 0;
      }
      break;
    case WM_LOG_APPENDED: refreshLogView(); return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      SetBkColor((HDC)wp, 0xFFFFFF);
      SetTextColor((HDC)wp, 0x000000);
      return (LRESULT)mainState().whiteBrush;
    case WM_DPICHANGED: {
      const RECT& r = *(const RECT*)lp;
      SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      placeControls(window);
      return 0;
    }
    case WM_CLOSE: ShowWindow(window, SW_HIDE); return 0;
    case WM_DESTROY:
      logWindow.store(nullptr);
      logBox.store(nullptr);
      clearButton = nullptr;
      return 0;
    default: break;
  }
  return DefWindowProcW(window, message, wp, lp);
}

bool registerLogWindowClass(HINSTANCE instance) {
  WNDCLASSW wc{};
  if (GetClassInfoW(instance, kLogWindowClass, &wc)) return true;
  wc.style = 0;
  wc.lpfnWndProc = logWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = kLogWindowClass;
  return RegisterClassW(&wc) != 0;
}

}  // namespace

void openLogWindow() {
  if (HWND window = logWindow.load()) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return;
  }
  const MainWindowState& st = mainState();
  if (!registerLogWindowClass(st.instance)) return;
  HWND window = CreateWindowW(kLogWindowClass, L"HTTP.log (last 500 entries)", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, scaled(kWidth, st.dpi), scaled(kHeight, st.dpi), nullptr, nullptr,
                              st.instance, nullptr);
  if (!window) return;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
}

void refreshLogView() {
  // Cleared before the snapshot: an entry that arrives after it posts anew.
  refreshPending.store(false);
  HWND box = logBox.load();
  if (!box) return;
  SetWindowTextW(box, sys::toWide(core::snapshotLog()).c_str());
  SendMessageW(box, EM_LINESCROLL, 0, kScrollToEnd);
}

void postLogAppended(const std::string&) {
  HWND window = logWindow.load();
  if (!window || !logBox.load()) return;
  if (refreshPending.exchange(true)) return;
  // A full queue drops the post; the next entry must be able to try again.
  if (!PostMessageW(window, WM_LOG_APPENDED, 0, 0)) refreshPending.store(false);
}

void setLogWindowFont(HFONT font) {
  if (clearButton) SendMessageW(clearButton, WM_SETFONT, (WPARAM)font, TRUE);
  if (HWND box = logBox.load()) SendMessageW(box, WM_SETFONT, (WPARAM)font, TRUE);
}

void destroyLogWindow() {
  if (HWND window = logWindow.load()) DestroyWindow(window);
}

}  // namespace desktop
