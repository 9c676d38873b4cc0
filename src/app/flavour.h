// What tells vantrel-https and vantrel-http apart, as data. Each program's
// main picks its record once at start-up, before any thread runs.
#pragma once

namespace app {

struct Flavour {
  const char* programName;    // "vantrel-https"
  bool tls;                   // serves HTTPS with its own certificate
  const char* scheme;         // "https"
  const char* protocolLabel;  // "HTTPS" in the listening line
  int adminPort;              // port when running with administrator rights
  int userPort;               // port otherwise
  const char* cookieName;     // session cookie
  bool stripMappedPrefix;     // client labels drop the "::ffff:" of IPv4 peers
  const char* logFileName;    // file in the base folder every log line goes to; "" for none
  // Makes or checks the TLS certificate at start-up; linked by vantrel-https only.
  bool (*ensureCertificate)();
};

extern const Flavour kHttpsFlavour;
extern const Flavour kHttpFlavour;

void setFlavour(const Flavour& f);
const Flavour& flavour();

// Defined by each program: the record its main selects.
const Flavour& programFlavour();

}  // namespace app
