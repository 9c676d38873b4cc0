#include "app/status_text.h"

#include <gtest/gtest.h>

#include "sys/folders.h"

namespace {

using core::kHttpFlavour;
using core::kHttpsFlavour;

app::StatusSnapshot snapshot(bool running, int port, int defaultPort) {
  app::StatusSnapshot s;
  s.running = running;
  s.port = running ? port : 0;
  s.defaultPort = defaultPort;
  s.pin = "042917";
  s.host = "192.168.1.20";
  s.tlsReady = running;
  s.baseFolder = "B";
  s.webRoot = "W";
  s.adapterLines = {"Ethernet | IPv4 192.168.1.20", "Ethernet | IPv6 fe80::1%12", "Ethernet | IPv6 2001:db8::5",
                    "Ethernet 2 | IPv4 169.254.3.4", "(unknown) | IPv4 10.0.0.2"};
  return s;
}

TEST(StatusUrls, InitialWindowTitles) {
  EXPECT_EQ(app::initialWindowTitle(core::kHttpsFlavour), "Vantrel PRO v1.6 - Vantrel PRO team 2026");
  EXPECT_EQ(app::initialWindowTitle(core::kHttpFlavour), "HTTP Vantrel PRO - Vantrel PRO team 2026");
}

TEST(StatusUrls, StandardPortsAreLeftOut) {
  EXPECT_EQ(app::displayedUrl(core::kHttpsFlavour, "h", 443), "https://h/");
  EXPECT_EQ(app::displayedUrl(core::kHttpsFlavour, "h", 8443), "https://h:8443/");
  EXPECT_EQ(app::displayedUrl(core::kHttpFlavour, "h", 80), "http://h/");
  EXPECT_EQ(app::displayedUrl(core::kHttpFlavour, "h", 8080), "http://h:8080/");
  EXPECT_EQ(app::displayedUrl(core::kHttpFlavour, "h", 443), "http://h:443/");
  EXPECT_EQ(app::baseUrl(core::kHttpsFlavour, "h", 8443), "https://h:8443");
  EXPECT_EQ(app::autoLoginUrl(core::kHttpsFlavour, "192.168.1.20", 443, "042917"), "https://192.168.1.20/auto?pin=042917");
  EXPECT_EQ(app::autoLoginUrl(core::kHttpFlavour, "localhost", 8080, "042917"), "http://localhost:8080/auto?pin=042917");
}

TEST(StatusLines, RunningAndStopped) {
  app::StatusSnapshot s = snapshot(true, 8443, 8443);
  EXPECT_EQ(app::urlLine(core::kHttpsFlavour, s), "URL:     https://192.168.1.20:8443/");
  EXPECT_EQ(app::pinLine(s), "PIN:      042917");
  EXPECT_EQ(app::driveLine(s), "Drive:   -");
  s.driveMapped = true;
  s.driveLetter = "W";
  EXPECT_EQ(app::driveLine(s), "Drive:   W");

  app::StatusSnapshot stopped = snapshot(false, 0, 8080);
  EXPECT_EQ(app::urlLine(core::kHttpFlavour, stopped), "URL:     -");
  // The QR code keeps working while stopped, on the port a start would use.
  EXPECT_EQ(app::autoLoginUrl(core::kHttpFlavour, stopped), "http://192.168.1.20:8080/auto?pin=042917");
  stopped.defaultPort = 80;
  EXPECT_EQ(app::autoLoginUrl(core::kHttpFlavour, stopped), "http://192.168.1.20/auto?pin=042917");
}

TEST(StatusReport, HttpsRunningNotAdmin) {
  app::StatusSnapshot s = snapshot(true, 8443, 8443);
  std::vector<std::string> expected = {
      "State:                  running",
      "IP:                      192.168.1.20",
      "Port:                   8443",
      "Admin:               no (port 8443)",
      "TLS:                    enabled",
      "   Cert:                " + sys::joinPath("B", "server.crt"),
      "   Key:                 " + sys::joinPath("B", "server.key"),
      "WEB Root:          W",
      "WEB Root (D):     " + sys::joinPath("B", "files"),
      "",
      "Developer:            Vantrel PRO team",
      "Developer URL:        https://vantrel.example/",
      "Version:              2.0",
      "",
      "IPv4 Addresses:",
      "-----------------------------",
      "192.168.1.20",
      "10.0.0.2",
      "",
      "IPv6 Addresses:",
      "------------------------------------------------",
      "fe80::1%12",
      "2001:db8::5",
  };
  EXPECT_EQ(app::statusReportLines(core::kHttpsFlavour, s), expected);
  std::string text = app::statusReport(core::kHttpsFlavour, s);
  EXPECT_EQ(text.rfind("State:                  running\r\nIP:  ", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 13), "2001:db8::5\r\n");
}

TEST(StatusReport, HttpsStoppedAdmin) {
  app::StatusSnapshot s = snapshot(false, 0, 443);
  s.admin = true;
  s.host = "";
  std::vector<std::string> r = app::statusReportLines(core::kHttpsFlavour, s);
  EXPECT_EQ(r[0], "State:                  stopped");
  EXPECT_EQ(r[1], "IP:                      -");
  EXPECT_EQ(r[2], "Port:                   -");
  EXPECT_EQ(r[3], "Admin:               yes (port 443 - No drive possible!)");
  EXPECT_EQ(r[4], "TLS:                    not loaded");
}

TEST(StatusReport, HttpHasNoTlsLinesAndABlankAfterTheWebRoot) {
  app::StatusSnapshot s = snapshot(true, 80, 80);
  s.admin = true;
  std::vector<std::string> r = app::statusReportLines(core::kHttpFlavour, s);
  std::vector<std::string> head(r.begin(), r.begin() + 7);
  EXPECT_EQ(head, (std::vector<std::string>{"State:                  running", "IP:                      192.168.1.20",
                                            "Port:                   80",
                                            "Admin:               yes (port 80 - No drive possible!)",
                                            "WEB Root:          W", "", "Developer:            Vantrel PRO team"}));
  s.admin = false;
  EXPECT_EQ(app::statusReportLines(core::kHttpFlavour, s)[3], "Admin:               no (port 8080)");
}

TEST(TrayTip, RunningStoppedAndCut) {
  app::StatusSnapshot s = snapshot(true, 8443, 8443);
  EXPECT_EQ(app::trayTipText(core::kHttpsFlavour, s),
            "Vantrel PRO\r\n\r\nURL:            https://192.168.1.20:8443\r\nPIN:             042917\r\n"
            "Drive:          -");
  s.driveMapped = true;
  s.driveLetter = "W";
  s.port = 443;
  EXPECT_EQ(app::trayTipText(core::kHttpsFlavour, s),
            "Vantrel PRO\r\n\r\nURL:            https://192.168.1.20\r\nPIN:             042917\r\n"
            "Drive:          W:");

  app::StatusSnapshot http = snapshot(true, 80, 80);
  EXPECT_EQ(app::trayTipText(core::kHttpFlavour, http).substr(15, 37), "URL:            http://192.168.1.20\r\n");
  http.port = 8080;
  EXPECT_EQ(app::trayTipText(core::kHttpFlavour, http).substr(15, 42),
            "URL:            http://192.168.1.20:8080\r\n");

  app::StatusSnapshot stopped = snapshot(false, 0, 8080);
  EXPECT_EQ(app::trayTipText(core::kHttpFlavour, stopped),
            "Vantrel PRO\r\n\r\nURL:            stopped\r\nPIN:             042917\r\nDrive:          -");

  s.host = std::string(200, 'a');
  std::string cut = app::trayTipText(core::kHttpsFlavour, s);
  EXPECT_EQ(cut.size(), 127u);
  EXPECT_EQ(cut.rfind("Vantrel PRO\r\n\r\nURL:            https://aaa", 0), 0u);

  // The cut counts UTF-16 units and never splits a character: "é" is one
  // unit in two bytes, U+1F600 two units in four bytes; the host starts at
  // unit 39, so its index 87 is the last unit that fits.
  s.host = std::string(200, 'a');
  s.host.replace(87, 1, "\xC3\xA9");
  cut = app::trayTipText(core::kHttpsFlavour, s);
  EXPECT_EQ(cut.size(), 128u);
  EXPECT_EQ(cut.substr(126), "\xC3\xA9");
  s.host = std::string(200, 'a');
  s.host.replace(87, 1, "\xF0\x9F\x98\x80");
  cut = app::trayTipText(core::kHttpsFlavour, s);
  EXPECT_EQ(cut.size(), 126u);
  EXPECT_EQ(cut.back(), 'a');
}

}  // namespace
