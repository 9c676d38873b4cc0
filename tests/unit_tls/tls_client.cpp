#include "unit_tls/tls_client.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include "sys/net.h"

namespace test {

namespace {

std::string der(X509* x) {
  unsigned char* out = nullptr;
  int n = i2d_X509(x, &out);
  std::string bytes;
  if (n > 0) bytes.assign((const char*)out, (size_t)n);
  OPENSSL_free(out);
  return bytes;
}

}  // namespace

TlsExchange tlsExchange(int port, const std::string& request, SSL_verify_cb verify) {
  TlsExchange result;
  sys::netStartup();
  auto s = (sys::SocketHandle)::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons((unsigned short)port);
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  if (::connect(s, (sockaddr*)&a, sizeof a) != 0) {
    sys::closeSocket(s);
    return result;
  }
  sys::setIoTimeouts(s, 10000, 10000);
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  SSL_CTX_set_verify(ctx, verify ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, verify);
  SSL* ssl = SSL_new(ctx);
  SSL_set_fd(ssl, (int)s);
  SSL_set_tlsext_host_name(ssl, "localhost");
  if (SSL_connect(ssl) == 1) {
    result.handshake = true;
    result.protocol = SSL_get_version(ssl);
    if (X509* peer = SSL_get1_peer_certificate(ssl)) {
      result.peerCertDer = der(peer);
      X509_free(peer);
    }
    SSL_write(ssl, request.data(), (int)request.size());
    char buf[4096];
    int n;
    while ((n = SSL_read(ssl, buf, sizeof buf)) > 0) result.answer.append(buf, (size_t)n);
  }
  ERR_clear_error();
  SSL_free(ssl);
  SSL_CTX_free(ctx);
  sys::closeSocket(s);
  return result;
}

std::string certificateDer(const std::string& pem) {
  BIO* bio = BIO_new_mem_buf(pem.data(), (int)pem.size());
  X509* x = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
  BIO_free(bio);
  std::string bytes = x ? der(x) : std::string();
  X509_free(x);
  return bytes;
}

}  // namespace test
