#include "cert/certificate.h"

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

#include "core/event_log.h"
#include "cert/cert_paths.h"
#include "http/tls.h"
#include "netenv/address_cache.h"
#include "sys/file_io.h"

namespace cert {

namespace {

constexpr long kValiditySeconds = 315360000;  // 3650 days

struct Freer {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(X509_NAME* p) const { X509_NAME_free(p); }
  void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, Freer>;

Owned<EVP_PKEY> makeKey() {
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_EC, nullptr));
  EVP_PKEY* key = nullptr;
  if (!ctx || EVP_PKEY_keygen_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_ec_paramgen_curve_nid(ctx.get(), NID_X9_62_prime256v1) <= 0 ||
      EVP_PKEY_keygen(ctx.get(), &key) <= 0)
    return nullptr;
  return Owned<EVP_PKEY>(key);
}

bool addExtension(X509* x, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, x, x, nullptr, nullptr, 0);
  Owned<X509_EXTENSION> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str()));
  return ext && X509_add_ext(x, ext.get(), -1) == 1;
}

// The PEM text of a key or certificate, written by fn into a memory BIO.
template <class Fn>
bool pemText(Fn fn, std::string& out) {
  Owned<BIO> bio(BIO_new(BIO_s_mem()));
  if (!bio || !fn(bio.get())) return false;
  char* data = nullptr;
  long n = BIO_get_mem_data(bio.get(), &data);
  out.assign(data, n > 0 ? (size_t)n : 0);
  return n > 0;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = (char)(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = (char)(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::string recordedAddress(const std::string& content) {
  std::string line = content.substr(0, content.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ' || line.back() == '\t'))
    line.pop_back();
  return line;
}

bool generateCertificate(const std::string& certPath, const std::string& keyPath, const std::string& address) {
  Owned<EVP_PKEY> key = makeKey();
  if (!key) return false;

  Owned<X509> x(X509_new());
  if (!x || X509_set_version(x.get(), 2) != 1) return false;
  unsigned char r[4];
  if (RAND_bytes(r, sizeof r) != 1) return false;
  long serial = ((long)(r[0] & 0x7F) << 24) | ((long)r[1] << 16) | ((long)r[2] << 8) | (long)r[3];
  ASN1_INTEGER_set(X509_get_serialNumber(x.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(x.get()), 0);
  X509_gmtime_adj(X509_getm_notAfter(x.get()), kValiditySeconds);

  Owned<X509_NAME> name(X509_NAME_new());
  if (!name ||
      !X509_NAME_add_entry_by_txt(name.get(), "CN", MBSTRING_ASC, (const unsigned char*)"Vantrel PRO", -1, -1, 0) ||
      !X509_NAME_add_entry_by_txt(name.get(), "O", MBSTRING_ASC,
                                  (const unsigned char*)"Vantrel PRO Temporary Certificate", -1, -1, 0))
    return false;
  if (X509_set_subject_name(x.get(), name.get()) != 1 || X509_set_issuer_name(x.get(), name.get()) != 1 ||
      X509_set_pubkey(x.get(), key.get()) != 1)
    return false;

  if (!addExtension(x.get(), NID_basic_constraints, "CA:FALSE") ||
      !addExtension(x.get(), NID_key_usage, "digitalSignature,keyEncipherment") ||
      !addExtension(x.get(), NID_ext_key_usage, "serverAuth") ||
      !addExtension(x.get(), NID_subject_alt_name, "IP:" + address + ",DNS:localhost"))
    return false;
  if (X509_sign(x.get(), key.get(), EVP_sha256()) <= 0) return false;

  std::string keyPem, certPem;
  if (!pemText([&](BIO* b) { return PEM_write_bio_PrivateKey(b, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1; },
               keyPem) ||
      !sys::writeWholeFile(keyPath, keyPem))
    return false;
  if (!pemText([&](BIO* b) { return PEM_write_bio_X509(b, x.get()) == 1; }, certPem) ||
      !sys::writeWholeFile(certPath, certPem))
    return false;
  return true;
}

bool ensureCertificate() {
  CertPaths paths = certPaths();
  std::string address = netenv::cachedAddress();
  if (address.empty()) address = netenv::findCachedAddress();
  if (address.empty()) address = "127.0.0.1";

  std::string mark;
  bool current = sys::isRegularFile(paths.certificate) && sys::isRegularFile(paths.key) &&
                 sys::readSmallFile(paths.address, mark, 4096) && !recordedAddress(mark).empty() &&
                 equalsIgnoringCase(recordedAddress(mark), address);
  if (current) {
    core::logEvent("TLS     cert/key ok (IP=" + address + ")");
    return true;
  }

  core::logEvent("TLS     generating cert/key (SAN IP=" + address + ")");
  sys::deleteFile(paths.certificate);
  sys::deleteFile(paths.key);
  if (!generateCertificate(paths.certificate, paths.key, address)) {
    core::logEvent("TLS     ERROR generating certificate/key");
    http::logTlsErrors();
    return false;
  }
  sys::writeWholeFile(paths.address, address + "\r\n");
  core::logEvent("TLS     generated server.crt/server.key + server.ip");
  return true;
}

}  // namespace cert
