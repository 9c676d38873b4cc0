// The TLS transport of vantrel-https: OpenSSL over the accepted socket.
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "core/event_log.h"
#include "cert/cert_paths.h"
#include "http/connection.h"
#include "http/tls.h"

namespace http {

namespace {
// Made once on the listener thread before any connection thread, then only
// read; freed at program exit. A session takes its own reference to the
// context in SSL_new, so the lock need only cover that call against the free.
std::atomic<SSL_CTX*> tlsContext{nullptr};
std::mutex contextMutex;

bool logErrorQueue(bool skipCertificateUnknown) {
  bool wrote = false;
  while (unsigned long e = ERR_get_error()) {
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    if (skipCertificateUnknown && std::strstr(text, "alert certificate unknown")) continue;
    core::logEvent(std::string("TLS: ") + text);
    wrote = true;
  }
  return wrote;
}

bool failContext(SSL_CTX* ctx, const char* line) {
  core::logEvent(line);
  logTlsErrors();
  SSL_CTX_free(ctx);
  return false;
}

SSL* session(Connection& c) { return (SSL*)c.tls; }

// Room for a few full records, so a busy upload takes several per read.
constexpr size_t kTlsReadBuffer = 4 * 16384 + 1024;
}  // namespace

void logTlsErrors() { logErrorQueue(false); }
bool logHandshakeErrors() { return logErrorQueue(true); }

bool initTlsContext() {
  if (tlsContext.load()) return true;
  OPENSSL_init_ssl(0, nullptr);
  OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  if (!ctx) {
    core::logEvent("TLS     SSL_CTX_new failed");
    logTlsErrors();
    return false;
  }
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  // Without read-ahead every record costs two reads of the socket (its header,
  // then its body); with it one read fetches whatever has arrived, up to the
  // buffer's length.
  SSL_CTX_set_read_ahead(ctx, 1);
  SSL_CTX_set_default_read_buffer_len(ctx, kTlsReadBuffer);
  cert::CertPaths paths = cert::certPaths();
  if (SSL_CTX_use_certificate_file(ctx, cert::openSslPath(paths.certificate).c_str(), SSL_FILETYPE_PEM) != 1)
    return failContext(ctx, "TLS     failed to load server.crt (PEM) from EXE dir");
  if (SSL_CTX_use_PrivateKey_file(ctx, cert::openSslPath(paths.key).c_str(), SSL_FILETYPE_PEM) != 1)
    return failContext(ctx, "TLS     failed to load server.key (PEM) from EXE dir");
  if (SSL_CTX_check_private_key(ctx) != 1)
    return failContext(ctx, "TLS     private key does not match certificate");
  tlsContext.store(ctx);
  core::logEvent("TLS     context initialized (cert/key loaded)");
  return true;
}

bool hasTlsContext() { return tlsContext.load() != nullptr; }

void releaseTlsContext() {
  SSL_CTX* ctx;
  {
    std::lock_guard<std::mutex> lock(contextMutex);
    ctx = tlsContext.exchange(nullptr);
  }
  if (ctx) SSL_CTX_free(ctx);
}

bool prepareTransport() { return initTlsContext(); }
void releaseTransport() { releaseTlsContext(); }
bool transportReady() { return hasTlsContext(); }

bool openConnection(Connection& c) {
  SSL* ssl = nullptr;
  {
    std::lock_guard<std::mutex> lock(contextMutex);
    if (SSL_CTX* ctx = tlsContext.load()) ssl = SSL_new(ctx);
  }
  if (!ssl) {
    ERR_clear_error();
    closeConnection(c);
    return false;
  }
  SSL_set_mode(ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_set_fd(ssl, (int)c.socket);
  c.tls = ssl;
  if (SSL_accept(ssl) != 1) {
    if (logHandshakeErrors()) core::logEvent("TLS     handshake failed");
    closeConnection(c);
    return false;
  }
  return true;
}

bool sendAll(Connection& c, const void* data, uint64_t size) {
  const char* p = (const char*)data;
  while (size > 0) {
    int piece = size > kMaxWritePiece ? (int)kMaxWritePiece : (int)size;
    int r = SSL_write(session(c), p, piece);
    if (r > 0) {
      p += r;
      size -= (uint64_t)r;
      continue;
    }
    int e = SSL_get_error(session(c), r);
    int ready;
    // Read-ahead may already hold the bytes the session waits for, where the
    // socket shows nothing.
    if (e == SSL_ERROR_WANT_READ)
      ready = SSL_has_pending(session(c)) ? 1 : sys::waitReadable(SSL_get_fd(session(c)), kWriteWaitMs);
    else if (e == SSL_ERROR_WANT_WRITE)
      ready = sys::waitWritable(SSL_get_fd(session(c)), kWriteWaitMs);
    else
      ready = -1;
    if (ready != 1) {
      ERR_clear_error();
      return false;
    }
  }
  return true;
}

int readSome(Connection& c, void* buffer, int capacity) {
  int r = SSL_read(session(c), buffer, capacity);
  if (r <= 0) ERR_clear_error();
  return r;
}

void closeConnection(Connection& c) {
  if (c.closed) return;
  c.closed = true;
  if (SSL* ssl = session(c)) {
    SSL_shutdown(ssl);
    SSL_free(ssl);
    ERR_clear_error();
    c.tls = nullptr;
  }
  lingeringClose(c.socket);
  c.socket = sys::kNoSocket;
}

}  // namespace http
