#include "app/win32/main_state.h"

#include <atomic>

#include "app/win32/messages.h"

namespace desktop {

namespace {
MainWindowState state;
std::atomic<HWND> postTarget{nullptr};
}  // namespace

MainWindowState& mainState() { return state; }

void publishMainWindow(HWND window) { postTarget.store(window); }

void postServerState() {
  if (HWND w = postTarget.load()) PostMessageW(w, WM_SERVER_STATE, 0, 0);
}

}  // namespace desktop
