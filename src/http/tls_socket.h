// The way a TLS session reaches its socket in vantrel-https. Reads go
// straight to the socket; writes collect in the session's own buffer and
// leave together, in one send, when the session next has to read from the
// client, when they outgrow the buffer, or at the close. A connection's
// handshake flight, session tickets, answer and close each make a small
// write, and on a machine where every system call is dear one send for all
// of them beats one each.
#pragma once
#include <openssl/ssl.h>

#include "sys/net.h"

namespace http {

// A socket that does not block, for SSL_set_bio (which takes it as both ends);
// nullptr when out of memory.
BIO* openTlsSocket(sys::SocketHandle s);

// Whether a read is to send what is held before it asks the socket. While the
// handshake runs, what is held is a flight the client answers: nothing it
// sends in reply can have come before that has left, so the read would only
// find nothing. Afterwards (TLS 1.3) the client sends its request without
// waiting for the tickets, and a read that finds it lets them wait for the
// answer.
void sendBeforeReading(BIO* b, bool yes);

// Sends what is held, waiting for the socket at most waitMs each time it
// takes no more (0: only what it takes now); true once nothing is held.
bool sendHeld(BIO* b, int waitMs);

// Whether the last read from the socket took all that had arrived.
bool lastReadEmptiedSocket(BIO* b);

}  // namespace http
