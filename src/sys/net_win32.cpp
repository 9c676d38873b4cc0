#include "sys/net.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace sys {

bool netStartup() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void netCleanup() { WSACleanup(); }

SocketHandle openStreamSocket6() {
  if (std::getenv("VANTREL_TEST_NO_IPV6")) return kNoSocket;
  SOCKET s = ::socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
  return s == INVALID_SOCKET ? kNoSocket : (SocketHandle)s;
}

SocketHandle openStreamSocket4() {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return s == INVALID_SOCKET ? kNoSocket : (SocketHandle)s;
}

void setDualStack(SocketHandle s) {
  DWORD off = 0;
  ::setsockopt((SOCKET)s, IPPROTO_IPV6, IPV6_V6ONLY, (const char*)&off, sizeof off);
}

void setReuseAddress(SocketHandle s) {
  // SO_REUSEADDR on Windows would let this socket share a port that another
  // program listens on; exclusive use makes a taken port fail the bind.
  BOOL on = TRUE;
  ::setsockopt((SOCKET)s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, (const char*)&on, sizeof on);
}

bool bindAny6(SocketHandle s, int port) {
  sockaddr_in6 a{};
  a.sin6_family = AF_INET6;
  a.sin6_addr = in6addr_any;
  a.sin6_port = htons((u_short)port);
  return ::bind((SOCKET)s, (sockaddr*)&a, sizeof a) == 0;
}

bool bindAny4(SocketHandle s, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons((u_short)port);
  return ::bind((SOCKET)s, (sockaddr*)&a, sizeof a) == 0;
}

bool setBlocking(SocketHandle s, bool blocking) {
  u_long on = blocking ? 0 : 1;
  return ::ioctlsocket((SOCKET)s, FIONBIO, &on) == 0;
}

// The listener does not block, so accepting asks no readiness question first.
bool startListening(SocketHandle s) { return setBlocking(s, false) && ::listen((SOCKET)s, SOMAXCONN) == 0; }

static int waitFor(SocketHandle s, bool write, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET((SOCKET)s, &set);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  int r = ::select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &tv);
  if (r == SOCKET_ERROR) return -1;
  return r == 0 ? 0 : 1;
}

int waitReadable(SocketHandle s, int timeoutMs) { return waitFor(s, false, timeoutMs); }
int waitWritable(SocketHandle s, int timeoutMs) { return waitFor(s, true, timeoutMs); }

int waitAnyReadable(const SocketHandle* sockets, int count, int timeoutMs, unsigned char* ready) {
  std::vector<WSAPOLLFD> fds((size_t)count);
  for (int i = 0; i < count; i++) fds[(size_t)i] = WSAPOLLFD{(SOCKET)sockets[i], POLLRDNORM, 0};
  int r = ::WSAPoll(fds.data(), (ULONG)count, timeoutMs);
  for (int i = 0; i < count; i++) ready[i] = r > 0 && fds[(size_t)i].revents != 0;
  return r == SOCKET_ERROR ? -1 : r;
}

int peekByte(SocketHandle s) {
  if (waitFor(s, false, 0) != 1) return -1;
  char b;
  int r = ::recv((SOCKET)s, &b, 1, MSG_PEEK);
  if (r == SOCKET_ERROR) return -1;
  return r == 0 ? 0 : 1;
}

int peekBytes(SocketHandle s, void* buffer, int size) {
  if (waitFor(s, false, 0) != 1) return -1;
  int r = ::recv((SOCKET)s, (char*)buffer, size, MSG_PEEK);
  return r == SOCKET_ERROR ? -1 : r;
}

SocketHandle acceptClient(SocketHandle listener, PeerAddress& peer, bool blocking) {
  int len = sizeof peer.bytes;
  SOCKET c = ::accept((SOCKET)listener, (sockaddr*)peer.bytes, &len);
  if (c == INVALID_SOCKET) return kNoSocket;
  // It inherits the listener's non-blocking mode.
  if (blocking && !setBlocking((SocketHandle)c, true)) {
    ::closesocket(c);
    return kNoSocket;
  }
  peer.length = len;
  return (SocketHandle)c;
}

bool presetAcceptedIoTimeouts(SocketHandle, int, int) { return false; }

void setIoTimeouts(SocketHandle s, int recvMs, int sendMs) {
  DWORD r = (DWORD)recvMs, w = (DWORD)sendMs;
  ::setsockopt((SOCKET)s, SOL_SOCKET, SO_RCVTIMEO, (const char*)&r, sizeof r);
  ::setsockopt((SOCKET)s, SOL_SOCKET, SO_SNDTIMEO, (const char*)&w, sizeof w);
}

long sendSome(SocketHandle s, const void* data, size_t n) {
  int r = ::send((SOCKET)s, (const char*)data, (int)n, 0);
  return r == SOCKET_ERROR ? -1 : (long)r;
}

long recvSome(SocketHandle s, void* data, size_t n) {
  int r = ::recv((SOCKET)s, (char*)data, (int)n, 0);
  return r == SOCKET_ERROR ? -1 : (long)r;
}

long recvNow(SocketHandle s, void* data, size_t n) {
  if (waitFor(s, false, 0) != 1) {
    WSASetLastError(WSAEWOULDBLOCK);
    return -1;
  }
  return recvSome(s, data, n);
}

bool lastErrorIsRetry() {
  int e = WSAGetLastError();
  return e == WSAEWOULDBLOCK || e == WSAEINTR;
}

void shutdownSend(SocketHandle s) { ::shutdown((SOCKET)s, SD_SEND); }

void closeSocket(SocketHandle s) {
  if (s != kNoSocket) ::closesocket((SOCKET)s);
}

bool numericPeer(const PeerAddress& peer, std::string& host, std::string& port) {
  char h[1025], p[32];
  if (::getnameinfo((const sockaddr*)peer.bytes, peer.length, h, sizeof h, p, sizeof p,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return false;
  host = h;
  if (((const sockaddr*)peer.bytes)->sa_family == AF_INET) host = "::ffff:" + host;
  port = p;
  return true;
}

static std::string familyKey(char family, const void* bytes, size_t n) {
  std::string key(1, family);
  key.append((const char*)bytes, n);
  return key;
}

std::string addressKey(const PeerAddress& peer) {
  static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  ADDRESS_FAMILY family = ((const sockaddr*)peer.bytes)->sa_family;
  if (family == AF_INET) {
    const auto* a = (const sockaddr_in*)peer.bytes;
    return familyKey('4', &a->sin_addr, 4);
  }
  if (family != AF_INET6) return {};
  const unsigned char* b = ((const sockaddr_in6*)peer.bytes)->sin6_addr.s6_addr;
  if (std::memcmp(b, kMapped, sizeof kMapped) == 0) return familyKey('4', b + 12, 4);
  return familyKey('6', b, 8);
}

int localPort(SocketHandle s) {
  sockaddr_storage a{};
  int len = sizeof a;
  if (::getsockname((SOCKET)s, (sockaddr*)&a, &len) != 0) return 0;
  if (a.ss_family == AF_INET6) return ntohs(((sockaddr_in6*)&a)->sin6_port);
  if (a.ss_family == AF_INET) return ntohs(((sockaddr_in*)&a)->sin_port);
  return 0;
}

void pokeLoopback(int port) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons((u_short)port);
  ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  ::connect(s, (sockaddr*)&a, sizeof a);
  ::closesocket(s);
}

// Windows has no socket pair: one is made over loopback, and the accepted
// end is checked to be this connection and not another local program's.
bool openWakePair(SocketHandle& readEnd, SocketHandle& writeEnd) {
  SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  SOCKET writer = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  SOCKET reader = INVALID_SOCKET;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  int len = sizeof a;
  sockaddr_in mine{}, seen{};
  int mineLen = sizeof mine, seenLen = sizeof seen;
  bool ok = listener != INVALID_SOCKET && writer != INVALID_SOCKET &&
            ::bind(listener, (sockaddr*)&a, sizeof a) == 0 && ::listen(listener, 1) == 0 &&
            ::getsockname(listener, (sockaddr*)&a, &len) == 0 && ::connect(writer, (sockaddr*)&a, sizeof a) == 0 &&
            ::getsockname(writer, (sockaddr*)&mine, &mineLen) == 0;
  if (ok) {
    reader = ::accept(listener, (sockaddr*)&seen, &seenLen);
    ok = reader != INVALID_SOCKET && seen.sin_port == mine.sin_port && seen.sin_addr.s_addr == mine.sin_addr.s_addr;
  }
  if (listener != INVALID_SOCKET) ::closesocket(listener);
  if (ok) ok = setBlocking((SocketHandle)reader, false) && setBlocking((SocketHandle)writer, false);
  if (!ok) {
    if (reader != INVALID_SOCKET) ::closesocket(reader);
    if (writer != INVALID_SOCKET) ::closesocket(writer);
    return false;
  }
  readEnd = (SocketHandle)reader;
  writeEnd = (SocketHandle)writer;
  return true;
}

}  // namespace sys
