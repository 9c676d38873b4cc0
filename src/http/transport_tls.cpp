// The TLS transport of vantrel-https: OpenSSL over the accepted socket.
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "core/event_log.h"
#include "cert/cert_paths.h"
#include "http/accepted.h"
#include "http/connection.h"
#include "http/connection_limits.h"
#include "http/tls.h"
#include "http/tls_socket.h"

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

// Marks a session whose handshake the listener drives, for helloArrived.
char onListenerMark;

// Called once the client's whole hello has arrived and been read, before the
// key exchange: on the listener the handshake stops here, so that the
// listener never spends a connection's signature and key exchange and a
// connection thread is taken only for a client that has sent its hello.
int helloArrived(SSL* ssl, int*, void*) {
  return SSL_get_app_data(ssl) == &onListenerMark ? SSL_CLIENT_HELLO_RETRY : SSL_CLIENT_HELLO_SUCCESS;
}

// After a call on a session that did not complete: waits for what the
// session asked for. True when the call is to be made again; false on a
// failure or when the wait ran out (the error queue is left to the caller).
bool awaitSession(Connection& c, int result, int readWaitMs) {
  SSL* ssl = session(c);
  int e = SSL_get_error(ssl, result);
  // Read-ahead may already hold the bytes the session waits for, where the
  // socket shows nothing.
  if (e == SSL_ERROR_WANT_READ && SSL_has_pending(ssl)) return true;
  if (e == SSL_ERROR_WANT_READ) return sys::waitReadable(c.socket, readWaitMs) == 1;
  if (e == SSL_ERROR_WANT_WRITE) return sys::waitWritable(c.socket, kWriteWaitMs) == 1;
  return false;
}

// Room for a few full records, so a busy upload takes several per read.
constexpr size_t kTlsReadBuffer = 4 * 16384 + 1024;

// After a read that returned bytes: whether it left nothing behind, neither
// in the socket nor in the session.
void noteDrained(Connection& c) {
  SSL* ssl = session(c);
  c.readDrained = lastReadEmptiedSocket(SSL_get_rbio(ssl)) && !SSL_has_pending(ssl);
}

// The first TLS record a client sends is its hello.
constexpr int kRecordHeader = 5;
constexpr int kMaxRecord = 16384;
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
  // buffer's length (see readSome).
  SSL_CTX_set_read_ahead(ctx, 1);
  // A client that ends its sending side without the TLS close still gets its
  // answer (a body cut short, say): the end of the stream reads as that close
  // instead of failing the session. Requests are framed by their own lengths.
  SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_client_hello_cb(ctx, helloArrived, nullptr);
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

// After a call on a session that wants to read or write: waits for the
// socket at most patienceMs. 1 when to call again, 0 when the wait ran out,
// -1 on a failure. Read-ahead may hold the bytes the session waits for
// where the socket shows nothing, once: a second want in a row without a
// wait means the session needs more from the socket.
int awaitBriefly(Connection& c, int result, int patienceMs, bool& retried) {
  SSL* ssl = session(c);
  int e = SSL_get_error(ssl, result);
  if (e == SSL_ERROR_WANT_READ) {
    if (!retried && SSL_has_pending(ssl)) {
      retried = true;
      return 1;
    }
    retried = false;
    return patienceMs > 0 ? sys::waitReadable(c.socket, patienceMs) : 0;
  }
  retried = false;
  // A client that does not take the handshake's few kilobytes is not waited for.
  if (e == SSL_ERROR_WANT_WRITE) return sys::waitWritable(c.socket, patienceMs) == 1 ? 1 : -1;
  return -1;
}

bool socketsBlock() { return false; }

// A handshake record: type 22, a version, then the length of what follows.
// One look with room for the longest record sees whether all of it is here;
// anything else is for the session to refuse.
Arrival lookAtClient(Accepted& a) {
  unsigned char bytes[kRecordHeader + kMaxRecord];
  int n = sys::peekBytes(a.socket, bytes, (int)sizeof bytes);
  if (n < 0) return Arrival::Nothing;
  if (n == 0) return Arrival::Closed;
  if (n < kRecordHeader || bytes[0] != 22) return Arrival::Some;
  int length = bytes[3] << 8 | bytes[4];
  return n >= kRecordHeader + length ? Arrival::Whole : Arrival::Some;
}

bool readyForThread(Arrival got) { return got == Arrival::Whole; }

Opened openConnection(Connection& c) {
  SSL* ssl = session(c);
  if (ssl && SSL_is_init_finished(ssl)) return Opened::Ready;
  if (!ssl) {
    {
      std::lock_guard<std::mutex> lock(contextMutex);
      if (SSL_CTX* ctx = tlsContext.load()) ssl = SSL_new(ctx);
    }
    if (!ssl) {
      ERR_clear_error();
      return Opened::Failed;
    }
    // The socket does not block (see socketsBlock) and every wait happens
    // outside the session, so a session that waits holds no record buffers.
    SSL_set_mode(ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER | SSL_MODE_RELEASE_BUFFERS);
    BIO* socket = openTlsSocket(c.socket);
    if (!socket) {
      SSL_free(ssl);
      ERR_clear_error();
      return Opened::Failed;
    }
    SSL_set_bio(ssl, socket, socket);
    c.tls = ssl;
  }
  SSL_set_app_data(ssl, c.onListener ? &onListenerMark : nullptr);
  bool retried = false;
  for (;;) {
    int r = SSL_accept(ssl);
    if (r == 1) {
      // TLS 1.2 clients wait for the server's last flight before they send.
      sendBeforeReading(SSL_get_wbio(ssl), SSL_version(ssl) != TLS1_3_VERSION);
      return Opened::Ready;
    }
    if (SSL_get_error(ssl, r) == SSL_ERROR_WANT_CLIENT_HELLO_CB) return Opened::ForThread;
    if (c.patienceMs < 0) {
      if (!awaitSession(c, r, idleReadMs())) break;
      continue;
    }
    // A client on a fast network answers within a round trip; a slower one
    // (or one that stalls on purpose) waits without a thread. A thread gives
    // a handshake it has begun longer (see kHandshakePatienceMs).
    int patience = c.onListener ? c.patienceMs : std::max(c.patienceMs, kHandshakePatienceMs);
    int ready = awaitBriefly(c, r, patience, retried);
    if (ready == 1) continue;
    if (ready == 0) {
      // A waiting session holds no record buffers: they are made anew when bytes come.
      SSL_free_buffers(ssl);
      return Opened::Parked;
    }
    break;
  }
  if (logHandshakeErrors()) core::logEvent("TLS     handshake failed");
  return Opened::Failed;
}

int readWithin(Connection& c, void* buffer, int capacity, int waitMs) {
  SSL* ssl = session(c);
  if ((size_t)capacity >= kTlsReadBuffer) SSL_set_default_read_buffer_len(ssl, kTlsReadBuffer);
  bool retried = false;
  for (;;) {
    int r = SSL_read(ssl, buffer, capacity);
    if (r > 0) {
      noteDrained(c);
      return r;
    }
    int ready = awaitBriefly(c, r, waitMs, retried);
    if (ready == 1) continue;
    if (ready == 0) {
      SSL_free_buffers(ssl);
      return kNothingYet;
    }
    ERR_clear_error();
    return 0;
  }
}

void releaseSession(void* session) {
  // An alert for a hello refused on the listener, say, goes out if it can.
  sendHeld(SSL_get_wbio((SSL*)session), 0);
  SSL_free((SSL*)session);
  ERR_clear_error();
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
    if (!awaitSession(c, r, kWriteWaitMs)) {
      ERR_clear_error();
      return false;
    }
  }
  return true;
}

int readSome(Connection& c, void* buffer, int capacity) {
  // A body read in bulk gets the larger buffer from its next fill on (the
  // released buffer is made anew); heads and handshakes keep the small one.
  if ((size_t)capacity >= kTlsReadBuffer) SSL_set_default_read_buffer_len(session(c), kTlsReadBuffer);
  for (;;) {
    int r = SSL_read(session(c), buffer, capacity);
    if (r > 0) {
      noteDrained(c);
      return r;
    }
    if (!awaitSession(c, r, idleReadMs())) {
      ERR_clear_error();
      return r;
    }
  }
}

void closeConnection(Connection& c) {
  if (c.closed) return;
  c.closed = true;
  if (SSL* ssl = session(c)) {
    SSL_shutdown(ssl);
    // What is held (the answer's end, the close) leaves before the socket closes.
    sendHeld(SSL_get_wbio(ssl), kWriteWaitMs);
    SSL_free(ssl);
    ERR_clear_error();
    c.tls = nullptr;
  }
  lingeringClose(c.socket, c.requestComplete, c.readDrained);
  c.socket = sys::kNoSocket;
}

}  // namespace http
