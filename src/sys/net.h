// Dual-stack TCP sockets: the few calls the listener and the transports need.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace sys {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// The peer address exactly as accept() filled it.
struct PeerAddress {
  unsigned char bytes[128] = {};
  int length = 0;
};

bool netStartup();  // WSAStartup 2.2 on Windows; ignores SIGPIPE on POSIX
void netCleanup();

// The IPv6 socket also fails when the environment has VANTREL_TEST_NO_IPV6,
// so tests can start the server as on a computer without IPv6.
SocketHandle openStreamSocket6();
SocketHandle openStreamSocket4();  // the fallback where IPv6 is unavailable
void setDualStack(SocketHandle s);
// Lets a restarted server bind again at once, without letting another
// program take a port that is in use.
void setReuseAddress(SocketHandle s);
bool bindAny6(SocketHandle s, int port);
bool bindAny4(SocketHandle s, int port);
bool startListening(SocketHandle s);

// 1 when ready, 0 on time-out, -1 on error.
int waitReadable(SocketHandle s, int timeoutMs);
int waitWritable(SocketHandle s, int timeoutMs);

// Waits until at least one of the sockets is readable or has hung up, at most
// timeoutMs. ready[i] is set to 1 for each such socket, 0 for the others.
// The count of such sockets, 0 on time-out, -1 on error.
int waitAnyReadable(const SocketHandle* sockets, int count, int timeoutMs, unsigned char* ready);

// Looks at the next byte without taking it: 1 when data waits, 0 when the
// peer has closed, -1 on error or when nothing is there yet.
int peekByte(SocketHandle s);
// Copies up to size of the bytes that wait, without taking them: the count,
// 0 when the peer has closed, -1 on error or when nothing is there yet.
int peekBytes(SocketHandle s, void* buffer, int size);

// A socket that does not block answers "would block" (lastErrorIsRetry())
// where it would otherwise wait.
bool setBlocking(SocketHandle s, bool blocking);

// Never waits: kNoSocket when no client is waiting (lastErrorIsRetry() then
// holds) or on failure. The accepted socket blocks, or not, as asked.
SocketHandle acceptClient(SocketHandle listener, PeerAddress& peer, bool blocking);
// Blocking reads and writes give up after these idle times.
void setIoTimeouts(SocketHandle s, int recvMs, int sendMs);
// Gives the sockets that listener accepts from then on these time-outs,
// where the system passes a listening socket's on (POSIX): true then, so
// an accepted socket needs no call of its own; false on Winsock.
bool presetAcceptedIoTimeouts(SocketHandle listener, int recvMs, int sendMs);

// Bytes moved, or -1 on error (then lastErrorIsRetry tells whether to wait and retry).
long sendSome(SocketHandle s, const void* data, size_t n);
long recvSome(SocketHandle s, void* data, size_t n);
bool lastErrorIsRetry();
// A read that never waits: -1 with lastErrorIsRetry() when nothing has arrived.
long recvNow(SocketHandle s, void* data, size_t n);

// Ends the sending direction; the peer reads end of stream after our data.
void shutdownSend(SocketHandle s);
void closeSocket(SocketHandle s);

// Numeric host and port of a peer; false when the address cannot be read.
// IPv4 peers come in the "::ffff:" form whichever socket accepted them.
bool numericPeer(const PeerAddress& peer, std::string& host, std::string& port);

// The key under which a client's connections are counted: its IPv4
// address (an IPv4-mapped IPv6 address counts as IPv4), or the /64 prefix
// of its IPv6 address, which one device or one local network may fill.
std::string addressKey(const PeerAddress& peer);

// The local port a socket is bound to; 0 when unknown.
int localPort(SocketHandle s);

// Connects to 127.0.0.1:port and closes at once; errors are ignored.
void pokeLoopback(int port);

// A connected pair of sockets that do not block: a byte written to writeEnd
// wakes a readiness wait that watches readEnd, from any thread.
bool openWakePair(SocketHandle& readEnd, SocketHandle& writeEnd);

}  // namespace sys
