// A TLS client over loopback for tests of the server's TLS transport.
#pragma once
#include <openssl/ssl.h>

#include <string>

namespace test {

struct TlsExchange {
  bool handshake = false;
  std::string answer;       // everything the server sent until it closed
  std::string peerCertDer;  // the certificate the server presented
  std::string protocol;     // "TLSv1.3", ...
};

// Connects to 127.0.0.1:port, completes a handshake that accepts any
// certificate unless verify is given (then it decides: return 0 to reject),
// sends request and reads until the server closes.
TlsExchange tlsExchange(int port, const std::string& request, SSL_verify_cb verify = nullptr);

// The DER form of a PEM certificate; empty when it cannot be read.
std::string certificateDer(const std::string& pem);

}  // namespace test
