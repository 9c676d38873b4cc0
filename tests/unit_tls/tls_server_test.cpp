// The certificate check at start-up and the TLS context of the server, with
// the base folder moved into a temporary home.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/event_log.h"
#include "cert/certificate.h"
#include "http/connection.h"
#include "app/routes.h"
#include "http/server.h"
#include "http/tls.h"
#include "netenv/address_cache.h"
#include "support/net_helpers.h"
#include "support/temp_dir.h"
#include "sys/file_io.h"
#include "sys/folders.h"
#include "unit_tls/tls_client.h"

namespace {

bool running() { return http::serverRunning(); }
bool failed() { return http::lastStartFailure() != 0; }

std::vector<std::string> messages() {
  std::vector<std::string> out;
  std::string log = core::snapshotLog();
  for (size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
    out.push_back(log.substr(at + 25, end - at - 25));  // without the time stamp
  return out;
}

int countWith(const std::string& text) {
  int n = 0;
  for (const std::string& m : messages()) n += m.find(text) != std::string::npos;
  return n;
}

const char* const kStatusRequest = "GET /api/status HTTP/1.1\r\nHost: localhost\r\n\r\n";

class TlsHome : public ::testing::Test {
 protected:
  test::TempDir home;
  std::string base;

  void SetUp() override {
#ifdef _WIN32
    // The base folder is the user's LocalAppData\Vantrel, which a test cannot
    // move: its files are changed only in a Wine prefix made for the tests.
    if (!std::getenv("WINEPREFIX"))
      GTEST_SKIP() << "would change the certificate files of this Windows user; runs under Wine only";
    base = sys::baseFolder();
#else
    setenv("XDG_DATA_HOME", home.path.c_str(), 1);
    base = sys::baseFolder();
    ASSERT_EQ(base.rfind(home.path, 0), 0u);
#endif
    ASSERT_TRUE(sys::createDirectories(base));
    removeFiles();
    netenv::setCachedAddress("10.1.2.3");
    core::clearLog();
  }
  void TearDown() override {
    http::stopServer();
    http::waitForConnections(5000);  // late log lines must not reach the next test
    http::setServerPortOverride(0);
    http::releaseTlsContext();
    netenv::setCachedAddress("");
    if (!base.empty()) removeFiles();
  }

  void removeFiles() {
    std::error_code ec;
    for (const char* name : {"server.crt", "server.key", "server.ip"})
      std::filesystem::remove_all(std::filesystem::u8path(path(name)), ec);
  }

  std::string path(const char* name) { return sys::joinPath(base, name); }

  // Starts the server on a free port; true once it listens, false once it
  // failed. Its listening line is in the log by then, so a test that clears
  // the log next sees only what comes after.
  bool start(int& port) {
    static int listeningLines;
    listeningLines = countWith("SERVER  listening");
    port = test::freePort();
    http::setServerPortOverride(port);
    http::startServer(app::routes());
    EXPECT_TRUE(test::waitUntil(
        [] { return (running() && countWith("SERVER  listening") > listeningLines) || failed(); }, 10000));
    return running();
  }
};

// ---- ensureCertificate -------------------------------------------------------

TEST_F(TlsHome, FirstStartMakesTheFilesAndTheNextStartKeepsThem) {
  ASSERT_TRUE(cert::ensureCertificate());
  EXPECT_EQ(messages(), (std::vector<std::string>{"TLS     generating cert/key (SAN IP=10.1.2.3)",
                                                  "TLS     generated server.crt/server.key + server.ip"}));
  std::string crt = test::readFile(path("server.crt")), key = test::readFile(path("server.key"));
  EXPECT_EQ(cert::recordedAddress(test::readFile(path("server.ip"))), "10.1.2.3");
  EXPECT_EQ(test::readFile(path("server.ip")).back(), '\n');

  core::clearLog();
  ASSERT_TRUE(cert::ensureCertificate());
  EXPECT_EQ(messages(), std::vector<std::string>{"TLS     cert/key ok (IP=10.1.2.3)"});
  EXPECT_EQ(test::readFile(path("server.crt")), crt);
  EXPECT_EQ(test::readFile(path("server.key")), key);
}

TEST_F(TlsHome, RecordedAddressMatchesWithTrailingBlanksAndInAnyCase) {
  ASSERT_TRUE(cert::ensureCertificate());
  std::string crt = test::readFile(path("server.crt"));
  test::writeFile(path("server.ip"), "10.1.2.3 \t\n");
  core::clearLog();
  ASSERT_TRUE(cert::ensureCertificate());
  EXPECT_EQ(messages(), std::vector<std::string>{"TLS     cert/key ok (IP=10.1.2.3)"});

  // Nothing inside the certificate is examined: only the recorded address.
  netenv::setCachedAddress("fe80::abcd");
  test::writeFile(path("server.ip"), "FE80::ABCD\r\n");
  core::clearLog();
  ASSERT_TRUE(cert::ensureCertificate());
  EXPECT_EQ(messages(), std::vector<std::string>{"TLS     cert/key ok (IP=fe80::abcd)"});
  EXPECT_EQ(test::readFile(path("server.crt")), crt);
}

TEST_F(TlsHome, MissingFileEmptyMarkOrChangedAddressRegenerates) {
  struct Case {
    const char* what;
    void (*spoil)(const std::string& base);
  };
  const Case cases[] = {
      {"server.ip missing", [](const std::string& b) { sys::deleteFile(sys::joinPath(b, "server.ip")); }},
      {"server.ip blank", [](const std::string& b) { test::writeFile(sys::joinPath(b, "server.ip"), " \r\n"); }},
      {"address changed", [](const std::string& b) { test::writeFile(sys::joinPath(b, "server.ip"), "10.9.9.9\n"); }},
      {"server.crt missing", [](const std::string& b) { sys::deleteFile(sys::joinPath(b, "server.crt")); }},
      {"server.key missing", [](const std::string& b) { sys::deleteFile(sys::joinPath(b, "server.key")); }},
  };
  ASSERT_TRUE(cert::ensureCertificate());
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::string before = test::readFile(path("server.crt"));
    k.spoil(base);
    core::clearLog();
    ASSERT_TRUE(cert::ensureCertificate());
    EXPECT_EQ(messages(), (std::vector<std::string>{"TLS     generating cert/key (SAN IP=10.1.2.3)",
                                                    "TLS     generated server.crt/server.key + server.ip"}));
    EXPECT_NE(test::readFile(path("server.crt")), before);
    EXPECT_EQ(cert::recordedAddress(test::readFile(path("server.ip"))), "10.1.2.3");
    EXPECT_TRUE(sys::isRegularFile(path("server.key")));
  }
}

TEST_F(TlsHome, FolderInPlaceOfAFile) {
  // In place of the mark: a new pair every start, since the mark cannot be written.
  ASSERT_TRUE(sys::createDirectories(path("server.ip")));
  for (int start = 0; start < 2; ++start) {
    core::clearLog();
    EXPECT_TRUE(cert::ensureCertificate());
    EXPECT_EQ(countWith("TLS     generating cert/key (SAN IP=10.1.2.3)"), 1);
  }

  // In place of the certificate: it cannot be written, so the start fails.
  std::filesystem::remove(std::filesystem::u8path(path("server.ip")));
  sys::deleteFile(path("server.crt"));
  ASSERT_TRUE(sys::createDirectories(path("server.crt")));
  core::clearLog();
  EXPECT_FALSE(cert::ensureCertificate());
  std::vector<std::string> m = messages();
  ASSERT_GE(m.size(), 2u);
  EXPECT_EQ(m[0], "TLS     generating cert/key (SAN IP=10.1.2.3)");
  EXPECT_EQ(m[1], "TLS     ERROR generating certificate/key");
}

// ---- the TLS context ----------------------------------------------------------

TEST_F(TlsHome, UnusableFilesFailTheStartWithCodeMinus10UntilMended) {
  ASSERT_TRUE(cert::ensureCertificate());
  std::string crt = test::readFile(path("server.crt")), key = test::readFile(path("server.key"));
  test::TempDir other;
  std::string otherKey = sys::joinPath(other.path, "k"), otherCrt = sys::joinPath(other.path, "c");
  ASSERT_TRUE(cert::generateCertificate(otherCrt, otherKey, "10.1.2.3"));

  struct Case {
    const char* line;
    std::string crt, key;  // empty: the file is missing
  };
  const Case cases[] = {
      {"TLS     failed to load server.key (PEM) from EXE dir", crt, ""},
      {"TLS     failed to load server.crt (PEM) from EXE dir", "", key},
      {"TLS     failed to load server.crt (PEM) from EXE dir", "not a certificate", key},
      // The library compares a key with the loaded certificate as it loads it.
      {"TLS     failed to load server.key (PEM) from EXE dir", crt, test::readFile(otherKey)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.line);
    sys::deleteFile(path("server.crt"));
    sys::deleteFile(path("server.key"));
    if (!k.crt.empty()) test::writeFile(path("server.crt"), k.crt);
    if (!k.key.empty()) test::writeFile(path("server.key"), k.key);
    core::clearLog();
    int port;
    EXPECT_FALSE(start(port));
    EXPECT_EQ(http::lastStartFailure(), http::kStartTlsFailed);
    EXPECT_FALSE(http::hasTlsContext());
    std::vector<std::string> m = messages();
    ASSERT_GE(m.size(), 3u);
    EXPECT_EQ(m.front(), k.line);
    for (size_t i = 1; i + 1 < m.size(); ++i) EXPECT_EQ(m[i].rfind("TLS: ", 0), 0u) << m[i];
    EXPECT_EQ(m.back(), "ERROR   server failed to start (code -10)");
  }

  // A failed creation leaves no context behind, so the next start tries again.
  test::writeFile(path("server.crt"), crt);
  test::writeFile(path("server.key"), key);
  core::clearLog();
  int port;
  ASSERT_TRUE(start(port));
  EXPECT_EQ(countWith("TLS     context initialized (cert/key loaded)"), 1);
  EXPECT_TRUE(test::tlsExchange(port, kStatusRequest).handshake);
}

TEST_F(TlsHome, ContextIsMadeOnceAndReusedByTheNextStart) {
  ASSERT_TRUE(cert::ensureCertificate());
  std::string firstDer = test::certificateDer(test::readFile(path("server.crt")));
  EXPECT_FALSE(http::hasTlsContext());
  int port;
  ASSERT_TRUE(start(port));
  EXPECT_TRUE(http::hasTlsContext());
  test::TlsExchange x = test::tlsExchange(port, kStatusRequest);
  ASSERT_TRUE(x.handshake);
  EXPECT_TRUE(x.protocol == "TLSv1.3" || x.protocol == "TLSv1.2") << x.protocol;
  EXPECT_EQ(x.peerCertDer, firstDer);
  std::string body = "{\"running\":true,\"port\":" + std::to_string(port) + "}";
  EXPECT_EQ(x.answer.substr(x.answer.find("\r\n\r\n") + 4), body);
  http::stopServer();

  // New files are not read while the program runs.
  netenv::setCachedAddress("10.4.4.4");
  ASSERT_TRUE(cert::ensureCertificate());
  ASSERT_TRUE(start(port));
  EXPECT_EQ(countWith("TLS     context initialized (cert/key loaded)"), 1);
  x = test::tlsExchange(port, kStatusRequest);
  ASSERT_TRUE(x.handshake);
  EXPECT_EQ(x.peerCertDer, firstDer);
  http::stopServer();

  http::releaseTlsContext();
  EXPECT_FALSE(http::hasTlsContext());
}

TEST_F(TlsHome, TransportCarriesSeveralMebibytesBothWays) {
  ASSERT_TRUE(cert::ensureCertificate());
  ASSERT_TRUE(http::initTlsContext());
  sys::SocketHandle server, client;
  ASSERT_TRUE(test::connectedPair(server, client));
  std::string up(2 * 1048576 + 5, 'u'), down(3 * 1048576 + 17, 'd');
  for (size_t i = 0; i < down.size(); i += 4093) down[i] = (char)i;

  std::string received;
  std::thread peer([&] {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL* ssl = SSL_new(ctx);
    SSL_set_fd(ssl, (int)client);
    if (SSL_connect(ssl) == 1) {
      for (size_t done = 0; done < up.size();) {
        int n = SSL_write(ssl, up.data() + done, (int)(up.size() - done));
        if (n <= 0) break;
        done += (size_t)n;
      }
      char buf[65536];
      int n;
      while ((n = SSL_read(ssl, buf, sizeof buf)) > 0) received.append(buf, (size_t)n);
    }
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    sys::closeSocket(client);
  });

  http::Connection c;
  c.socket = server;
  ASSERT_TRUE(sys::setBlocking(server, false));  // as the server accepts it
  ASSERT_EQ(http::openConnection(c), http::Opened::Ready);
  EXPECT_EQ(http::readExact(c, 0), "");
  EXPECT_EQ(http::readExact(c, up.size()), up);
  EXPECT_TRUE(http::sendAll(c, down.data(), down.size()));
  EXPECT_TRUE(http::sendAll(c, down.data(), 0));
  http::closeConnection(c);
  peer.join();
  EXPECT_EQ(received.size(), down.size());
  EXPECT_TRUE(received == down);
}

// A verify error for which the client's library has no specific alert: it
// answers certificate_unknown, as browsers do for a self-signed certificate.
int rejectAsCertificateUnknown(int, X509_STORE_CTX* ctx) {
  X509_STORE_CTX_set_error(ctx, X509_V_ERR_SUBJECT_ISSUER_MISMATCH);
  return 0;
}

int rejectAsUnknownIssuer(int, X509_STORE_CTX* ctx) {
  X509_STORE_CTX_set_error(ctx, X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT);
  return 0;
}

TEST_F(TlsHome, HandshakeFailuresAreLoggedExceptCertificateUnknownAlerts) {
  ASSERT_TRUE(cert::ensureCertificate());
  int port;
  ASSERT_TRUE(start(port));
  core::clearLog();

  EXPECT_FALSE(test::tlsExchange(port, kStatusRequest, rejectAsCertificateUnknown).handshake);
  // The server logs nothing for it; the next request is answered normally.
  EXPECT_TRUE(test::tlsExchange(port, kStatusRequest).handshake);
  EXPECT_TRUE(test::waitUntil([] { return http::activeConnectionCount() == 0; }, 5000));
  EXPECT_EQ(messages(), std::vector<std::string>{});

  core::clearLog();
  EXPECT_FALSE(test::tlsExchange(port, kStatusRequest, rejectAsUnknownIssuer).handshake);
  EXPECT_TRUE(test::waitUntil([] { return countWith("TLS     handshake failed") == 1; }, 5000));
  std::vector<std::string> m = messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_NE(m[0].find("TLS: "), std::string::npos);
  EXPECT_NE(m[0].find("alert unknown ca"), std::string::npos) << m[0];
  EXPECT_EQ(m[1], "TLS     handshake failed");
}

}  // namespace
