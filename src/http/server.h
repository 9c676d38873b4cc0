// The server's life: one listener thread on a dual-stack socket that keeps
// accepted connections without a thread until their request head has
// arrived, then hands each to a connection thread. A client that sends its
// first bytes at once is handed over with them, and its thread reads the
// rest, unless the client is slow (see kHeadPatienceMs).
#pragma once

#include "http/accepted.h"
#include "http/router.h"
#include "sys/net.h"

namespace http {

constexpr int kAcceptPollMs = 200;
constexpr int kBusyPollMs = 20;  // how often a loop with every thread busy looks again

// Start-up failure codes of serverMain.
constexpr int kStartNetFailed = -1;
constexpr int kStartSocketFailed = -2;
constexpr int kStartBindFailed = -3;
constexpr int kStartListenFailed = -4;
constexpr int kStartTlsFailed = -10;

// Both called from one thread (the front end's). startServer does nothing
// while a listener runs or is starting; stopServer returns once the listener
// has ended (connection threads are not waited for). The route table is the
// front end's and lives as long as the process.
void startServer(const RouteTable& routes);
void stopServer();

// The listener thread's body: 0 after an orderly stop, a code above on failure.
int serverMain(int port);

bool serverRunning();
// The code of the last failed start, 0 after a successful one.
int lastStartFailure();
int serverPort();  // 0 when stopped
int activeConnectionCount();  // connections being served now
// Waits until no connection thread runs, at most timeoutMs; true when none does.
bool waitForConnections(int timeoutMs);
// How long the front ends let running connections finish at exit.
constexpr int kExitGraceMs = 1000;

// The port startServer uses; 0 picks the flavour's default.
void setServerPortOverride(int port);
int defaultServerPort();
// The port the next startServer listens on: the override, else the default.
int configuredServerPort();

// Called on the listener thread after every change of state (started,
// stopped, failed); the front end re-reads serverRunning and serverPort.
using ServerStateHook = void (*)();
void setServerStateHook(ServerStateHook hook);

// The table of the last start, which connection threads dispatch by.
const RouteTable& serverRoutes();

// The body of each connection thread (the router): reads what is still
// missing of the head (or parks the connection), then answers the request;
// owns the connection.
void handleConnection(Accepted& a);

// Gives a connection whose client is slow to send its handshake or head back
// to the listener, which reads on without a thread until the head has
// arrived (then hands it to a thread again) or gives it up. Any thread may
// call it.
void parkConnection(Accepted&& a);
// Gives a connection whose head (or TLS hello) is here, but whose client's
// address holds its share of threads, to the listener to wait for a thread.
void waitForThread(Accepted&& a);

// For a connection thread that has finished its connection: takes the next
// client waiting in the listening socket's backlog, so that under load a
// request costs no handoff. True when a holds one whose first bytes (or
// whole TLS hello) have arrived, its deadline set; one that is silent or
// slow goes to the listener as if the listener had accepted it. False when
// none waits, or the server is stopping.
bool takeNextClient(Accepted& a);

}  // namespace http
