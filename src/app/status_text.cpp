#include "app/status_text.h"

#include "sys/folders.h"

namespace app {

namespace {

const char* const kDeveloperName = "Vantrel PRO team";
const char* const kDeveloperUrl = "https://vantrel.example/";
const char* const kReportVersion = "2.0";
const char* const kDeveloperYear = "2026";

const char* const kIPv4Marker = "| IPv4 ";
const char* const kIPv6Marker = "| IPv6 ";

// The labels of the report are padded with blanks so that values line up.
std::string label(const char* text, size_t width) {
  std::string s = text;
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

bool serving(const StatusSnapshot& s) { return s.running && s.port != 0; }

// The text behind marker in each adapter line that has one.
std::vector<std::string> addressesAfter(const std::vector<std::string>& lines, const char* marker) {
  std::vector<std::string> out;
  std::string m = marker;
  for (const std::string& line : lines) {
    size_t at = line.find(m);
    if (at != std::string::npos) out.push_back(line.substr(at + m.size()));
  }
  return out;
}

// Length of the UTF-8 sequence that starts with lead.
size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// At most maxUnits UTF-16 units of text, ending on a character boundary.
std::string cutUtf16(const std::string& text, size_t maxUnits) {
  size_t units = 0, i = 0;
  while (i < text.size()) {
    size_t len = sequenceLength((unsigned char)text[i]);
    size_t need = len == 4 ? 2 : 1;
    if (units + need > maxUnits || i + len > text.size()) break;
    units += need;
    i += len;
  }
  return text.substr(0, i);
}

}  // namespace

std::string initialWindowTitle(const core::Flavour& f) {
  return std::string(f.window.initialTitlePrefix) + kDeveloperName + " " + kDeveloperYear;
}

std::string displayedUrl(const core::Flavour& f, const std::string& host, int port) {
  return baseUrl(f, host, port) + "/";
}

std::string baseUrl(const core::Flavour& f, const std::string& host, int port) {
  std::string url = std::string(f.network.scheme) + "://" + host;
  // The administrator's port is the scheme's standard one (443 or 80).
  if (port != f.network.adminPort) url += ":" + std::to_string(port);
  return url;
}

std::string autoLoginUrl(const core::Flavour& f, const std::string& host, int port, const std::string& pin) {
  return baseUrl(f, host, port) + "/auto?pin=" + pin;
}

std::string autoLoginUrl(const core::Flavour& f, const StatusSnapshot& s) {
  return autoLoginUrl(f, s.host, s.port != 0 ? s.port : s.defaultPort, s.pin);
}

std::string urlLine(const core::Flavour& f, const StatusSnapshot& s) {
  return "URL:     " + (serving(s) ? displayedUrl(f, s.host, s.port) : std::string("-"));
}

std::string pinLine(const StatusSnapshot& s) { return "PIN:      " + s.pin; }

std::string driveLine(const StatusSnapshot& s) {
  return "Drive:   " + (s.driveMapped && !s.driveLetter.empty() ? s.driveLetter : std::string("-"));
}

std::vector<std::string> statusReportLines(const core::Flavour& f, const StatusSnapshot& s) {
  std::vector<std::string> r;
  r.push_back(label("State:", 24) + (s.running ? "running" : "stopped"));
  r.push_back(label("IP:", 25) + (s.host.empty() ? std::string("-") : s.host));
  r.push_back(label("Port:", 24) + (s.port != 0 ? std::to_string(s.port) : std::string("-")));
  r.push_back(label("Admin:", 21) + (s.admin ? "yes (port " + std::to_string(f.network.adminPort) + " - No drive possible!)"
                                             : "no (port " + std::to_string(f.network.userPort) + ")"));
  if (f.network.tls) {
    r.push_back(label("TLS:", 24) + (s.tlsReady ? "enabled" : "not loaded"));
    r.push_back(label("   Cert:", 24) + sys::joinPath(s.baseFolder, "server.crt"));
    r.push_back(label("   Key:", 24) + sys::joinPath(s.baseFolder, "server.key"));
  }
  r.push_back(label("WEB Root:", 19) + s.webRoot);
  if (f.window.reportsDefaultWebRoot) r.push_back(label("WEB Root (D):", 18) + sys::joinPath(s.baseFolder, "files"));
  r.push_back("");
  r.push_back(label("Developer:", 22) + kDeveloperName);
  r.push_back(label("Developer URL:", 22) + kDeveloperUrl);
  r.push_back(label("Version:", 22) + kReportVersion);
  r.push_back("");
  r.push_back("IPv4 Addresses:");
  r.push_back(std::string(29, '-'));
  for (const std::string& a : addressesAfter(s.adapterLines, kIPv4Marker))
    if (a.rfind("169.254.", 0) != 0) r.push_back(a);
  r.push_back("");
  r.push_back("IPv6 Addresses:");
  r.push_back(std::string(48, '-'));
  for (const std::string& a : addressesAfter(s.adapterLines, kIPv6Marker)) r.push_back(a);
  return r;
}

std::string statusReport(const core::Flavour& f, const StatusSnapshot& s) {
  std::string text;
  for (const std::string& line : statusReportLines(f, s)) text += line + "\r\n";
  return text;
}

std::string trayTipText(const core::Flavour& f, const StatusSnapshot& s) {
  std::string drive = s.driveMapped && !s.driveLetter.empty() ? s.driveLetter + ":" : "-";
  std::string text = "Vantrel PRO\r\n\r\nURL:            " +
                     (serving(s) ? baseUrl(f, s.host, s.port) : std::string("stopped")) +
                     "\r\nPIN:             " + s.pin + "\r\nDrive:          " + drive;
  return cutUtf16(text, kTrayTipMaxChars);
}

}  // namespace app
