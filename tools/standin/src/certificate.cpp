#include "orvane/site/standin/certificate.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace orvane::site::standin {
namespace {

struct BioFree {
  void operator()(BIO* p) const { BIO_free(p); }
};
struct BnFree {
  void operator()(BIGNUM* p) const { BN_free(p); }
};
struct PkeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
  void operator()(X509* p) const { X509_free(p); }
};
struct ExtFree {
  void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
using BnPtr = std::unique_ptr<BIGNUM, BnFree>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, ExtFree>;

[[noreturn]] void fail(const std::string& what) {
  std::string detail;
  if (unsigned long code = ERR_get_error(); code != 0) {
    char buffer[256];
    ERR_error_string_n(code, buffer, sizeof buffer);
    detail = std::string(": ") + buffer;
  }
  ERR_clear_error();
  throw std::runtime_error("orvane-site-standin certificate: " + what + detail);
}

void check(int ok, const char* what) {
  if (ok != 1) fail(what);
}

PkeyPtr makeKey() {
  PkeyPtr key(EVP_EC_gen("P-256"));
  if (!key) fail("cannot generate an EC P-256 key");
  return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  ExtPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
  if (!ext) fail(std::string("cannot make extension ") + OBJ_nid2sn(nid));
  check(X509_add_ext(cert, ext.get(), -1), "cannot add extension");
}

// A certificate with a random 159-bit serial (positive and at most 20 bytes, as RFC 5280 asks).
X509Ptr makeCertificate(EVP_PKEY* subjectKey, const char* commonName, int validDays) {
  X509Ptr cert(X509_new());
  if (!cert) fail("cannot allocate a certificate");
  check(X509_set_version(cert.get(), X509_VERSION_3), "cannot set the version");
  BnPtr serial(BN_new());
  if (!serial) fail("cannot allocate a serial number");
  check(BN_rand(serial.get(), 159, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY), "cannot draw a serial");
  if (!BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get()))) {
    fail("cannot store the serial number");
  }
  if (!X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) ||
      !X509_gmtime_adj(X509_getm_notAfter(cert.get()), static_cast<long>(validDays) * 86400L)) {
    fail("cannot set the validity");
  }
  check(X509_set_pubkey(cert.get(), subjectKey), "cannot set the public key");
  X509_NAME* name = X509_get_subject_name(cert.get());
  const auto* org = reinterpret_cast<const unsigned char*>("orvane-site-standin");
  const auto* cn = reinterpret_cast<const unsigned char*>(commonName);
  check(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, org, -1, -1, 0), "cannot set O");
  check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, cn, -1, -1, 0), "cannot set CN");
  return cert;
}

std::string toPem(X509* cert) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509(bio.get(), cert) != 1) fail("cannot write a certificate PEM");
  char* data = nullptr;
  long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

std::string toPem(EVP_PKEY* key) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio ||
      PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    fail("cannot write a private key PEM");
  }
  char* data = nullptr;
  long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

struct Authority {
  PkeyPtr key;
  X509Ptr cert;
};

Authority makeAuthority(const char* commonName, int validDays) {
  Authority ca{makeKey(), nullptr};
  ca.cert = makeCertificate(ca.key.get(), commonName, validDays);
  X509* cert = ca.cert.get();
  check(X509_set_issuer_name(cert, X509_get_subject_name(cert)), "cannot set the issuer");
  addExtension(cert, cert, NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
  addExtension(cert, cert, NID_key_usage, "critical,keyCertSign,cRLSign");
  addExtension(cert, cert, NID_subject_key_identifier, "hash");
  addExtension(cert, cert, NID_authority_key_identifier, "keyid:always");
  if (X509_sign(cert, ca.key.get(), EVP_sha256()) <= 0) fail("cannot sign the authority");
  return ca;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("orvane-site-standin: cannot read " + path.string());
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const std::filesystem::path& path, const std::string& content, mode_t mode) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) {
    throw std::runtime_error("orvane-site-standin: cannot write " + path.string() + ": " +
                             std::strerror(errno));
  }
  ::fchmod(fd, mode);  // an existing file keeps its old mode through O_CREAT
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      throw std::runtime_error("orvane-site-standin: cannot write " + path.string());
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

X509Ptr parseCertificate(const std::string& pem) {
  BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) fail("cannot allocate a buffer");
  X509Ptr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
  if (!cert) fail("not a PEM certificate");
  return cert;
}

}  // namespace

Certificate::Certificate(std::string caPem, std::string certPem, std::string keyPem)
    : caPem_(std::move(caPem)), certPem_(std::move(certPem)), keyPem_(std::move(keyPem)) {}

Certificate Certificate::generate(int validDays) {
  if (validDays <= 0) throw std::invalid_argument("validDays must be positive");
  Authority ca = makeAuthority("orvane-site-standin local CA", validDays);

  PkeyPtr key = makeKey();
  X509Ptr cert = makeCertificate(key.get(), "localhost", validDays);
  X509* leaf = cert.get();
  check(X509_set_issuer_name(leaf, X509_get_subject_name(ca.cert.get())), "cannot set issuer");
  addExtension(leaf, ca.cert.get(), NID_basic_constraints, "critical,CA:FALSE");
  addExtension(leaf, ca.cert.get(), NID_key_usage, "critical,digitalSignature");
  addExtension(leaf, ca.cert.get(), NID_ext_key_usage, "serverAuth");
  addExtension(leaf, ca.cert.get(), NID_subject_alt_name,
               "DNS:localhost,IP:127.0.0.1,IP:0:0:0:0:0:0:0:1");
  addExtension(leaf, ca.cert.get(), NID_subject_key_identifier, "hash");
  addExtension(leaf, ca.cert.get(), NID_authority_key_identifier, "keyid:always");
  if (X509_sign(leaf, ca.key.get(), EVP_sha256()) <= 0) fail("cannot sign the server certificate");

  return Certificate(toPem(ca.cert.get()), toPem(leaf), toPem(key.get()));
}

std::string Certificate::generateUnrelatedAuthorityPem() {
  Authority ca = makeAuthority("orvane-site-standin unrelated CA", 30);
  return toPem(ca.cert.get());
}

bool Certificate::existsIn(const std::filesystem::path& directory) {
  std::error_code ec;
  return std::filesystem::is_regular_file(directory / kCaFile, ec) &&
         std::filesystem::is_regular_file(directory / kCertFile, ec) &&
         std::filesystem::is_regular_file(directory / kKeyFile, ec);
}

Certificate Certificate::readFrom(const std::filesystem::path& directory) {
  Certificate result(readFile(directory / kCaFile), readFile(directory / kCertFile),
                     readFile(directory / kKeyFile));
  // Refuse mismatched files here, with a clear message, rather than at the first handshake.
  parseCertificate(result.caPem_);
  X509Ptr cert = parseCertificate(result.certPem_);
  BioPtr bio(BIO_new_mem_buf(result.keyPem_.data(), static_cast<int>(result.keyPem_.size())));
  PkeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
  if (!key) fail("key.pem holds no private key");
  if (X509_check_private_key(cert.get(), key.get()) != 1) fail("key.pem does not match cert.pem");
  return result;
}

void Certificate::writeTo(const std::filesystem::path& directory) const {
  std::filesystem::create_directories(directory);
  writeFile(directory / kCaFile, caPem_, 0644);
  writeFile(directory / kCertFile, certPem_, 0644);
  writeFile(directory / kKeyFile, keyPem_, 0600);
}

}  // namespace orvane::site::standin
