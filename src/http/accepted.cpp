#include "http/accepted.h"

namespace http {

HeadRead readUpToHead(Connection& c, Accepted& a) {
  if (!a.opened) {
    Opened o = openConnection(c);
    a.session = c.tls;
    if (o == Opened::Failed) return HeadRead::Failed;
    if (o == Opened::Parked) return HeadRead::Waiting;
    a.opened = true;
  }
  return gatherHead(c, a.head, c.patienceMs);
}

void dropAccepted(Accepted& a) {
  if (a.session) releaseSession(a.session);
  a.session = nullptr;
  if (a.socket != sys::kNoSocket) sys::closeSocket(a.socket);
  a.socket = sys::kNoSocket;
}

}  // namespace http
