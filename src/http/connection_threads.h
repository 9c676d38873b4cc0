// The connection threads: each runs one connection at a time from its head
// (or its first bytes) to its close. A thread that has finished waits a
// while for the next connection before it ends, so that under load no
// request pays for starting a thread; their number is capped, in all and per
// client address (see connection_limits.h).
#pragma once
#include "http/accepted.h"

namespace http {

enum class Dispatch { Taken, AllBusy, AddressFull };
// Hands a connection to a waiting thread, else to a new one under the caps.
// Taken: the thread owns it now (a keeps only its address key; when
// no thread can be made the connection is closed, dropped). Otherwise a is
// untouched: every thread is busy, or the client's address holds its share.
Dispatch dispatchConnection(Accepted& a);

// Threads running a connection now.
int busyConnectionThreads();
// All connection threads, busy and waiting.
int connectionThreadCount();

// Ends the threads that wait for work (at a server stop); busy ones go on
// and end when their connection has.
void dismissWaitingThreads();

}  // namespace http
