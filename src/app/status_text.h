// What the user sees and copies, computed from a snapshot of the state: the
// URLs, the URL/PIN/drive lines, the status report and the tray tip.
#pragma once
#include <string>
#include <vector>

#include "core/flavour.h"

namespace app {

struct StatusSnapshot {
  bool running = false;
  int port = 0;          // the listening port; 0 when stopped
  int defaultPort = 0;   // the port the next start would use
  std::string pin;       // the run PIN
  std::string host;      // urlHost
  bool tlsReady = false;
  bool admin = false;
  std::string baseFolder;
  std::string webRoot;
  bool driveMapped = false;
  std::string driveLetter;  // "W", without a colon
  std::vector<std::string> adapterLines;
};

constexpr size_t kTrayTipMaxChars = 127;  // UTF-16 units the tip can hold

// The window title shown before the first status update: the flavour's
// prefix, the developer's name and the year.
std::string initialWindowTitle(const core::Flavour& f);

// "https://host:8443/"; the port is left out when it is the scheme's own.
std::string displayedUrl(const core::Flavour& f, const std::string& host, int port);
// The displayed URL without its final "/".
std::string baseUrl(const core::Flavour& f, const std::string& host, int port);
std::string autoLoginUrl(const core::Flavour& f, const std::string& host, int port, const std::string& pin);
// The auto-login URL of the snapshot: the listening port, or while stopped
// the port a start would use (so the QR code is shown all the same).
std::string autoLoginUrl(const core::Flavour& f, const StatusSnapshot& s);

std::string urlLine(const core::Flavour& f, const StatusSnapshot& s);
std::string pinLine(const StatusSnapshot& s);
std::string driveLine(const StatusSnapshot& s);

// The report of the expanded view, one entry per line.
std::vector<std::string> statusReportLines(const core::Flavour& f, const StatusSnapshot& s);
// The same as one text, every line ended by CR LF.
std::string statusReport(const core::Flavour& f, const StatusSnapshot& s);

// The tray tooltip, cut to kTrayTipMaxChars without splitting a character.
std::string trayTipText(const core::Flavour& f, const StatusSnapshot& s);

}  // namespace app
