#include "sys/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <csignal>
#include <cstdlib>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace sys {

constexpr rlim_t kWantedFiles = 16384;

bool netStartup() {
  // A peer that goes away must fail the write, not end the process.
  std::signal(SIGPIPE, SIG_IGN);
  // Waiting connections and connection threads together hold several
  // thousand sockets, more than the usual soft limit of 1024.
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < kWantedFiles) {
    files.rlim_cur = files.rlim_max < kWantedFiles ? files.rlim_max : kWantedFiles;
    ::setrlimit(RLIMIT_NOFILE, &files);
  }
  return true;
}

void netCleanup() {}

SocketHandle openStreamSocket6() {
  if (std::getenv("VANTREL_TEST_NO_IPV6")) return kNoSocket;
  int s = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return s < 0 ? kNoSocket : s;
}

SocketHandle openStreamSocket4() {
  int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return s < 0 ? kNoSocket : s;
}

void setDualStack(SocketHandle s) {
  int off = 0;
  ::setsockopt((int)s, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
}

void setReuseAddress(SocketHandle s) {
  int on = 1;
  ::setsockopt((int)s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

bool bindAny6(SocketHandle s, int port) {
  sockaddr_in6 a{};
  a.sin6_family = AF_INET6;
  a.sin6_addr = in6addr_any;
  a.sin6_port = htons((uint16_t)port);
  return ::bind((int)s, (sockaddr*)&a, sizeof a) == 0;
}

bool bindAny4(SocketHandle s, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons((uint16_t)port);
  return ::bind((int)s, (sockaddr*)&a, sizeof a) == 0;
}

bool setBlocking(SocketHandle s, bool blocking) {
  int flags = ::fcntl((int)s, F_GETFL);
  if (flags < 0) return false;
  flags = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
  return ::fcntl((int)s, F_SETFL, flags) == 0;
}

// The listener does not block, so accepting asks no readiness question first;
// accept4 without SOCK_NONBLOCK still hands out blocking sockets.
bool startListening(SocketHandle s) { return setBlocking(s, false) && ::listen((int)s, SOMAXCONN) == 0; }

static int waitFor(SocketHandle s, short events, int timeoutMs) {
  pollfd p{(int)s, events, 0};
  int r;
  do {
    r = ::poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return -1;
  return r == 0 ? 0 : 1;
}

int waitReadable(SocketHandle s, int timeoutMs) { return waitFor(s, POLLIN, timeoutMs); }
int waitWritable(SocketHandle s, int timeoutMs) { return waitFor(s, POLLOUT, timeoutMs); }

int waitAnyReadable(const SocketHandle* sockets, int count, int timeoutMs, unsigned char* ready) {
  std::vector<pollfd> fds((size_t)count);
  for (int i = 0; i < count; i++) fds[(size_t)i] = pollfd{(int)sockets[i], POLLIN, 0};
  int r;
  do {
    r = ::poll(fds.data(), (nfds_t)count, timeoutMs);
  } while (r < 0 && errno == EINTR);
  for (int i = 0; i < count; i++) ready[i] = r > 0 && fds[(size_t)i].revents != 0;
  return r < 0 ? -1 : r;
}

int peekByte(SocketHandle s) {
  char b;
  ssize_t r;
  do {
    r = ::recv((int)s, &b, 1, MSG_PEEK | MSG_DONTWAIT);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return -1;
  return r == 0 ? 0 : 1;
}

int peekBytes(SocketHandle s, void* buffer, int size) {
  ssize_t r;
  do {
    r = ::recv((int)s, buffer, (size_t)size, MSG_PEEK | MSG_DONTWAIT);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : (int)r;
}

SocketHandle acceptClient(SocketHandle listener, PeerAddress& peer, bool blocking) {
  socklen_t len = sizeof peer.bytes;
  int c = ::accept4((int)listener, (sockaddr*)peer.bytes, &len, blocking ? SOCK_CLOEXEC : SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (c < 0) return kNoSocket;
  peer.length = (int)len;
  return c;
}

void setIoTimeouts(SocketHandle s, int recvMs, int sendMs) {
  timeval r{recvMs / 1000, (recvMs % 1000) * 1000};
  timeval w{sendMs / 1000, (sendMs % 1000) * 1000};
  ::setsockopt((int)s, SOL_SOCKET, SO_RCVTIMEO, &r, sizeof r);
  ::setsockopt((int)s, SOL_SOCKET, SO_SNDTIMEO, &w, sizeof w);
}

bool presetAcceptedIoTimeouts(SocketHandle listener, int recvMs, int sendMs) {
  setIoTimeouts(listener, recvMs, sendMs);
  return true;
}

long sendSome(SocketHandle s, const void* data, size_t n) {
  ssize_t r = ::send((int)s, data, n, MSG_NOSIGNAL);
  return r < 0 ? -1 : (long)r;
}

long recvSome(SocketHandle s, void* data, size_t n) {
  ssize_t r;
  do {
    r = ::recv((int)s, data, n, 0);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : (long)r;
}

long recvNow(SocketHandle s, void* data, size_t n) {
  ssize_t r;
  do {
    r = ::recv((int)s, data, n, MSG_DONTWAIT);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : (long)r;
}

bool lastErrorIsRetry() { return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK; }

void shutdownSend(SocketHandle s) { ::shutdown((int)s, SHUT_WR); }

void closeSocket(SocketHandle s) {
  if (s != kNoSocket) ::close((int)s);
}

bool numericPeer(const PeerAddress& peer, std::string& host, std::string& port) {
  char h[1025], p[32];
  if (::getnameinfo((const sockaddr*)peer.bytes, (socklen_t)peer.length, h, sizeof h, p, sizeof p,
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
  sa_family_t family = ((const sockaddr*)peer.bytes)->sa_family;
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
  socklen_t len = sizeof a;
  if (::getsockname((int)s, (sockaddr*)&a, &len) != 0) return 0;
  if (a.ss_family == AF_INET6) return ntohs(((sockaddr_in6*)&a)->sin6_port);
  if (a.ss_family == AF_INET) return ntohs(((sockaddr_in*)&a)->sin_port);
  return 0;
}

void pokeLoopback(int port) {
  int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s < 0) return;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons((uint16_t)port);
  ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  ::connect(s, (sockaddr*)&a, sizeof a);
  ::close(s);
}

bool openWakePair(SocketHandle& readEnd, SocketHandle& writeEnd) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) return false;
  readEnd = fds[0];
  writeEnd = fds[1];
  return true;
}

}  // namespace sys
