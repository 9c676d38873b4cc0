// The window messages and control identifiers of the desktop program.
#pragma once
#include <windows.h>

namespace desktop {

// Posted to the log window when entries arrived; both parameters 0.
constexpr UINT WM_LOG_APPENDED = WM_APP + 1;
// Posted by the listener thread after the server started, stopped or failed
// to start; both parameters 0.
constexpr UINT WM_SERVER_STATE = WM_APP + 10;
// The tray icon's mouse events; the second parameter is the mouse message.
constexpr UINT WM_TRAY_CALLBACK = WM_APP + 200;

constexpr UINT kTrayIconId = 1;
constexpr int kIconResource = 107;

// Main window controls.
constexpr int kServerButton = 1001;
constexpr int kStatusButton = 1002;
constexpr int kLogsButton = 1003;
constexpr int kExplorerButton = 1004;
constexpr int kCopyButton = 1010;
constexpr int kAutostartBox = 1011;
constexpr int kBrowserButton = 1012;
constexpr int kWebRootButton = 1013;
constexpr int kBackButton = 1014;
constexpr int kAddressList = 1015;
constexpr int kUrlLine = 1102;
constexpr int kPinLine = 1103;
constexpr int kDriveLine = 1104;
constexpr int kMasterPinLabel = 1110;
constexpr int kMasterPinBox = 1111;
constexpr int kWebRootLine = 1112;
constexpr int kStatusReport = 1201;

// Log window controls.
constexpr int kClearLogsButton = 2001;
constexpr int kLogBox = 2002;

// Tray menu items.
constexpr int kTrayOpen = 40001;
constexpr int kTrayClose = 40002;
constexpr int kTrayCopy = 40003;
constexpr int kTrayExplorer = 40004;
constexpr int kTrayBrowser = 40005;

}  // namespace desktop
