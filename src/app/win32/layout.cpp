#include "app/win32/layout.h"

#include <algorithm>

#include "app/win32/dpi.h"
#include "app/win32/main_state.h"
#include "app/win32/messages.h"
#include "core/flavour.h"

namespace desktop {

namespace {

enum class Shown {
  Always,
  Expanded,  // only in the expanded view
  Area,      // never hidden; below the collapsed window's edge
};

struct Place {
  int id;
  int x, y, width, height;
  Shown shown;
};

const Place kPlaces[] = {
    {kAutostartBox, 296, 154, 160, 24, Shown::Expanded},
    {kServerButton, 46, 148, 140, 32, Shown::Expanded},
    {kExplorerButton, 496, 6, 82, 32, Shown::Always},
    {kStatusButton, 586, 6, 82, 32, Shown::Always},
    {kLogsButton, 192, 148, 82, 32, Shown::Expanded},
    {kBrowserButton, 346, 6, 82, 32, Shown::Always},
    {kUrlLine, 202, 52, 420, 20, Shown::Always},
    {kPinLine, 202, 70, 160, 20, Shown::Always},
    {kDriveLine, 202, 88, 420, 20, Shown::Always},
    {kCopyButton, 196, 6, 140, 32, Shown::Always},
    {kWebRootLine, 194, 188, 380, 20, Shown::Area},
    {kWebRootButton, 46, 184, 102, 26, Shown::Area},
    {kBackButton, 152, 184, 34, 26, Shown::Area},
    {kAddressList, 496, 50, 168, 200, Shown::Always},  // the height includes the drop-down
    {kMasterPinLabel, 466, 156, 120, 20, Shown::Expanded},
    {kMasterPinBox, 546, 154, 90, 24, Shown::Expanded},
};

// Position and size in pixels.
void place(HWND control, int x, int y, int width, int height, bool visible) {
  SetWindowPos(control, nullptr, x, y, std::max(0, width), height, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

}  // namespace

void layoutControls(HWND window) {
  const MainWindowState& st = mainState();
  UINT dpi = st.dpi;
  for (const Place& p : kPlaces) {
    HWND c = GetDlgItem(window, p.id);
    if (!c) continue;
    bool visible = p.shown != Shown::Expanded || st.expanded;
    place(c, scaled(p.x, dpi), scaled(p.y, dpi), scaled(p.width, dpi), scaled(p.height, dpi), visible);
  }
  // The report box spans the client width; vantrel-http, without the
  // web-root row, starts it higher.
  if (HWND report = GetDlgItem(window, kStatusReport)) {
    RECT client;
    GetClientRect(window, &client);
    bool webRootRow = core::flavour().window.webRootPicker;
    place(report, scaled(40, dpi), scaled(webRootRow ? 218 : 190, dpi), client.right - scaled(50, dpi),
          scaled(webRootRow ? 250 : 240, dpi), st.expanded);
  }
}

void applyWindowSize(HWND window) {
  const MainWindowState& st = mainState();
  SetWindowPos(window, nullptr, 0, 0, scaled(kWindowWidth, st.dpi),
               scaled(st.expanded ? kExpandedHeight : kCollapsedHeight, st.dpi),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace desktop
