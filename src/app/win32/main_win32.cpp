// The Windows entry point: single instance, start-up sequence, message loop,
// shutdown.
#include <windows.h>
#include <objbase.h>

#include "app/command_line.h"
#include "core/flavour.h"
#include "app/startup.h"
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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  const core::Flavour& f = core::programFlavour();
  core::setFlavour(f);

  if (!sys::acquireSingleInstance({})) {
    showAlreadyRunning();
    return 0;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  app::StartupFolders folders = app::prepareFolders({});
  if (!app::prepareServing(folders)) {
    MessageBoxW(nullptr, L"TLS certificate generation failed.", L"Vantrel PRO", MB_ICONERROR);
    return 0;
  }

  http::setServerPortOverride(app::portSwitch(sys::toUtf8(commandLine ? commandLine : L"")));
  http::startServer();

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  app::shutDown();
  CoUninitialize();
  sys::exitProcess(0);
}
