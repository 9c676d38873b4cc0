#include "http/accepted.h"

namespace http {

Progress readUpToHead(Connection& c, Accepted& a) {
  if (!a.opened) {
    c.timeoutsPreset = a.timeoutsPreset;
    Opened o = openConnection(c);
    a.session = c.tls;
    if (o == Opened::Failed) return Progress::Failed;
    if (o == Opened::Parked) return Progress::Waiting;
    if (o == Opened::ForThread) return Progress::ForThread;
    a.opened = true;
  }
  switch (gatherHead(c, a.head, c.patienceMs)) {
    case HeadRead::Complete:
      return Progress::Head;
    case HeadRead::Waiting:
      return Progress::Waiting;
    case HeadRead::Failed:
      break;
  }
  return Progress::Failed;
}

void dropAccepted(Accepted& a) {
  if (a.session) releaseSession(a.session);
  a.session = nullptr;
  if (a.socket != sys::kNoSocket) sys::closeSocket(a.socket);
  a.socket = sys::kNoSocket;
}

}  // namespace http
