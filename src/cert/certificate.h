// The self-signed certificate of vantrel-https.
#pragma once
#include <string>

namespace cert {

// True when a certificate and key for the current LAN address exist
// afterwards, made anew when the address changed or a file is missing.
bool ensureCertificate();
// A P-256 key and a self-signed certificate for address, written as PEM.
bool generateCertificate(const std::string& certPath, const std::string& keyPath, const std::string& address);
// The address recorded in server.ip content: its first line, trailing
// CR, LF, blanks and tabs removed.
std::string recordedAddress(const std::string& fileContent);

}  // namespace cert
