// The TLS half of vantrel-https: the process-wide context and its error log.
#pragma once

namespace http {

bool initTlsContext();
bool hasTlsContext();
void releaseTlsContext();
// Moves every queued OpenSSL error into the event log as "TLS: " lines.
void logTlsErrors();
// The same, but silent about certificate-unknown alerts; true when a line was written.
bool logHandshakeErrors();

}  // namespace http
