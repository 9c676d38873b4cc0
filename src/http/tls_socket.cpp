#include "http/tls_socket.h"

#include <new>
#include <string>

namespace http {

namespace {

struct TlsSocket {
  sys::SocketHandle socket = sys::kNoSocket;
  std::string held;       // written by the session, not yet sent
  size_t sent = 0;        // of held, already sent
  bool sendFirst = true;  // see sendBeforeReading
  bool emptied = false;   // the last read took less than it asked for
  bool ended = false;     // the last read found the end of the stream
};

// A write this large goes to the socket as it is (after what is held), so
// that bulk data is not copied once more.
constexpr size_t kHoldBytes = 16384;

TlsSocket& state(BIO* b) { return *(TlsSocket*)BIO_get_data(b); }

// Sends what is held without waiting; true once nothing is. When the socket
// takes no more now, the write retry flag tells the session so.
bool flush(BIO* b, TlsSocket& t) {
  while (t.sent < t.held.size()) {
    long r = sys::sendSome(t.socket, t.held.data() + t.sent, t.held.size() - t.sent);
    if (r > 0) {
      t.sent += (size_t)r;
      continue;
    }
    if (r < 0 && sys::lastErrorIsRetry()) BIO_set_retry_write(b);
    return false;
  }
  // A connection waiting for its client holds no buffer.
  std::string().swap(t.held);
  t.sent = 0;
  return true;
}

int socketWrite(BIO* b, const char* data, int n) {
  TlsSocket& t = state(b);
  BIO_clear_retry_flags(b);
  if (n <= 0) return 0;
  if (t.held.size() - t.sent + (size_t)n <= kHoldBytes) {
    t.held.append(data, (size_t)n);
    return n;
  }
  if (!flush(b, t)) return -1;
  if ((size_t)n < kHoldBytes) {
    t.held.assign(data, (size_t)n);
    return n;
  }
  long r = sys::sendSome(t.socket, data, (size_t)n);
  if (r > 0) return (int)r;
  if (r < 0 && sys::lastErrorIsRetry()) BIO_set_retry_write(b);
  return -1;
}

int socketRead(BIO* b, char* out, int n) {
  TlsSocket& t = state(b);
  BIO_clear_retry_flags(b);
  if (n <= 0) return 0;
  bool waiting = t.sent < t.held.size();
  if (waiting && t.sendFirst) {
    if (flush(b, t)) BIO_set_retry_read(b);
    return -1;
  }
  long r = sys::recvSome(t.socket, out, (size_t)n);
  if (r > 0) {
    t.emptied = r < n;
    return (int)r;
  }
  if (r == 0) {
    t.ended = true;
    return 0;
  }
  if (!sys::lastErrorIsRetry()) return -1;
  // Nothing has come: what is held is what the client may be waiting for.
  if (!waiting || flush(b, t)) BIO_set_retry_read(b);
  return -1;
}

long socketCtrl(BIO* b, int cmd, long, void*) {
  switch (cmd) {
    case BIO_CTRL_FLUSH:
      return 1;  // held until a read or the close, see above
    case BIO_CTRL_EOF:
      return state(b).ended ? 1 : 0;
    case BIO_CTRL_WPENDING:
      return (long)(state(b).held.size() - state(b).sent);
    case BIO_CTRL_DUP:
      return 1;
    default:
      return 0;
  }
}

int socketCreate(BIO* b) {
  BIO_set_data(b, nullptr);
  return 1;
}

int socketDestroy(BIO* b) {
  delete (TlsSocket*)BIO_get_data(b);
  BIO_set_data(b, nullptr);
  return 1;
}

BIO_METHOD* socketMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "held socket");
    if (!m) return m;
    BIO_meth_set_write(m, socketWrite);
    BIO_meth_set_read(m, socketRead);
    BIO_meth_set_ctrl(m, socketCtrl);
    BIO_meth_set_create(m, socketCreate);
    BIO_meth_set_destroy(m, socketDestroy);
    return m;
  }();
  return method;
}

}  // namespace

BIO* openTlsSocket(sys::SocketHandle s) {
  BIO_METHOD* m = socketMethod();
  BIO* b = m ? BIO_new(m) : nullptr;
  if (!b) return nullptr;
  TlsSocket* t = new (std::nothrow) TlsSocket;
  if (!t) {
    BIO_free(b);
    return nullptr;
  }
  t->socket = s;
  BIO_set_data(b, t);
  BIO_set_init(b, 1);
  return b;
}

void sendBeforeReading(BIO* b, bool yes) { state(b).sendFirst = yes; }

bool sendHeld(BIO* b, int waitMs) {
  TlsSocket& t = state(b);
  for (;;) {
    BIO_clear_retry_flags(b);
    if (flush(b, t)) return true;
    if (waitMs <= 0 || !BIO_should_retry(b) || sys::waitWritable(t.socket, waitMs) != 1) return false;
  }
}

bool lastReadEmptiedSocket(BIO* b) { return state(b).emptied; }

}  // namespace http
