// What tells vantrel-https and vantrel-http apart, as data. Each program's
// main picks its record once at start-up, before any thread runs.
#pragma once

namespace core {

// What GET /auto logs and answers; the two programs word it differently.
struct AutoLoginTexts {
  const char* requestLog;   // + client label, before anything else; "" for no line
  const char* wrongPinLog;  // + client host
  const char* blockedLog;   // + client host + " (" + seconds + "s remaining)"
  const char* alertLog;     // + client host, for the attempt that starts a ban
  const char* successPage;  // sent with the session cookie
  // Wrong PINs and bans get short pages of their own, with the reasons
  // "Unauthorized" and "Too Many Requests", instead of the error page.
  bool plainPages;
};

struct NetworkTraits {
  bool tls;                   // serves HTTPS with its own certificate
  const char* scheme;         // "https"
  const char* protocolLabel;  // "HTTPS" in the listening line
  int adminPort;              // port when running with administrator rights
  int userPort;               // port otherwise
  bool stripMappedPrefix;     // client labels drop the "::ffff:" of IPv4 peers
  // The automatic address choice walks every default route preferring
  // physical Ethernet or Wi-Fi adapters; otherwise it takes the adapter of
  // the lowest-metric default route.
  bool preferPhysicalAdapter;
};

struct AuthTraits {
  const char* cookieName;  // session cookie
  bool logsCookieName;     // start-up names the session cookie in the log
  AutoLoginTexts autoLogin;
};

struct WindowTraits {
  const char* statusTitle;         // window title and the first line of the status block
  const char* initialTitlePrefix;  // the window's title until the first status update
  bool addressList;                // the user may pick the URL address from a list
  bool webRootPicker;              // a web-root line with its picker button (and room for it)
  bool reportsDefaultWebRoot;      // the status report names the default web root too
};

// Which of the two sets of embedded pages the program serves.
enum class PageSet { Https, Http };

struct Flavour {
  const char* programName;  // "vantrel-https"
  const char* logFileName;  // file in the base folder every log line goes to; "" for none
  bool webRootFromSetting;  // the web root may come from the "WebRootPath" setting
  NetworkTraits network;
  AuthTraits auth;
  WindowTraits window;
  PageSet pages;
  // Makes or checks the TLS certificate at start-up; linked by vantrel-https only.
  bool (*ensureCertificate)();
};

extern const Flavour kHttpsFlavour;
extern const Flavour kHttpFlavour;

void setFlavour(const Flavour& f);
const Flavour& flavour();

// Defined by each program: the record its main selects.
const Flavour& programFlavour();

}  // namespace core
