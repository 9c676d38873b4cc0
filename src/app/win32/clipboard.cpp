#include "app/win32/clipboard.h"

#include <cstring>

#include "app/status_snapshot.h"
#include "app/win32/main_state.h"
#include "http/server.h"
#include "sys/text.h"

namespace desktop {

namespace {

constexpr int kOpenTries = 10;
constexpr DWORD kOpenRetryMs = 10;

// A clipboard manager may hold the clipboard for a moment after every change.
bool openClipboardPatiently(HWND owner) {
  for (int i = 0; i < kOpenTries; ++i) {
    if (OpenClipboard(owner)) return true;
    Sleep(kOpenRetryMs);
  }
  return false;
}

}  // namespace

bool setClipboardText(HWND owner, const std::wstring& text) {
  size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  // Allocated first, so that running out of memory leaves the clipboard as it was.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return false;
  void* p = GlobalLock(memory);
  if (!p) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(p, text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!openClipboardPatiently(owner)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  bool ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  if (!ok) GlobalFree(memory);  // the clipboard owns it only after success
  CloseClipboard();
  return ok;
}

void copyAutoLoginUrl() {
  if (!http::serverRunning() || http::serverPort() == 0) return;
  setClipboardText(mainState().window, sys::toWide(app::autoLoginUrl()));
}

}  // namespace desktop
