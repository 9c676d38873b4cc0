// "Browser" and "Explorer": hand the auto-login URL or the shared folder to
// the desktop shell.
#pragma once

namespace desktop {

// Only while the server runs; logs the outcome.
void openBrowser();
// Logs and reports a failure in a message box.
void openExplorer();

}  // namespace desktop
