// The log window: the event log on demand, refreshed from any thread by a
// posted WM_LOG_APPENDED. It is created on the first "Logs" and from then on
// only hidden and shown again.
#pragma once
#include <windows.h>

#include <string>

namespace desktop {

// Shows the window, creating it the first time. GUI thread.
void openLogWindow();
// Puts the whole event log into the text box and scrolls to its end.
void refreshLogView();
// The event log's hook, on the logging thread: posts a refresh unless one
// is already waiting, so a flood of entries costs one refresh per message
// round instead of one per entry.
void postLogAppended(const std::string& line);
// The main window changed its font; the log window shares it.
void setLogWindowFont(HFONT font);
// Before the main window deletes the shared font and brush.
void destroyLogWindow();

}  // namespace desktop
