// The Windows entry point: single instance, start-up sequence, main window,
// message loop, shutdown.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cwchar>

#include "app/command_line.h"
#include "app/startup.h"
#include "app/win32/log_window.h"
#include "app/win32/main_state.h"
#include "app/win32/main_window.h"
#include "app/win32/tray.h"
#include "core/event_log.h"
#include "core/flavour.h"
#include "drive/web_root_drive.h"
#include "http/server.h"
#include "sys/instance_lock.h"
#include "sys/process_exit.h"
#include "sys/text.h"

namespace {

using MessageBoxTimeoutFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT, WORD, DWORD);
constexpr DWORD kNoticeMs = 3000;

BOOL CALLBACK closeMessageBox(HWND w, LPARAM) {
  wchar_t cls[16];
  if (GetClassNameW(w, cls, 16) && lstrcmpW(cls, L"#32770") == 0) PostMessageW(w, WM_CLOSE, 0, 0);
  return TRUE;
}

void CALLBACK noticeExpired(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EnumThreadWindows(GetCurrentThreadId(), closeMessageBox, 0);
}

void showAlreadyRunning() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto fn = user32 ? (MessageBoxTimeoutFn)(void*)GetProcAddress(user32, "MessageBoxTimeoutW") : nullptr;
  if (!fn) return;
  // Some implementations ignore the time-out; the thread timer closes the
  // box all the same.
  SetTimer(nullptr, 0, kNoticeMs, noticeExpired);
  fn(nullptr, L"The application HTTP(S) Vantrel PRO is already running.\r\n\r\nPlease close one of the applications.\r\n",
     L"HTTPS Vantrel", MB_ICONINFORMATION, 0, kNoticeMs);
}

void showDebugFailure(const wchar_t* format) {
  wchar_t text[128];
  swprintf(text, 128, format, (unsigned long)GetLastError());
  MessageBoxW(nullptr, text, L"Debug", MB_ICONERROR);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
  const core::Flavour& f = core::programFlavour();
  core::setFlavour(f);
  std::string command = sys::toUtf8(commandLine ? commandLine : L"");

  if (!sys::acquireSingleInstance({})) {
    showAlreadyRunning();
    return 0;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  app::StartupFolders folders = app::prepareFolders({});
  app::StartFailure failure = app::prepareServing(folders);
  if (failure != app::StartFailure::None) {
    MessageBoxW(nullptr, sys::toWide(app::startFailureText(failure)).c_str(), L"Vantrel PRO", MB_ICONERROR);
    return 0;
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!desktop::registerMainWindowClass(instance)) {
    showDebugFailure(L"RegisterClassW failed. GetLastError=%lu");
    return 0;
  }
  desktop::mainState().baseFolder = folders.base;
  http::setServerPortOverride(app::portSwitch(command));
  http::setServerStateHook(desktop::postServerState);
  core::setLogAppendedHook(desktop::postLogAppended);
  // Mapping and unmapping run on this thread, so the tip is set directly.
  drive::setDriveChangedHook(static_cast<void (*)()>(desktop::updateTrayTip));
  HWND window = desktop::createMainWindow(instance);
  if (!window) {
    showDebugFailure(L"CreateWindowW failed. GetLastError=%lu");
    return 0;
  }
  if (app::hasAutostartSwitch(command)) {
    desktop::addTrayIcon(window);
    ShowWindow(window, SW_HIDE);
  } else {
    ShowWindow(window, showCommand);
    UpdateWindow(window);
  }

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  app::shutDown();
  CoUninitialize();
  sys::exitProcess(0);
}
