// HTTP/2 through a real proxy: nghttpx speaks h2 over TLS to the client, in front of the
// in-process stand-in. Calls multiplex over one connection per host, a cancelled call resets
// its stream and leaves the connection to the next call, and a transport forced to HTTP/1.1
// still works through the same proxy.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/CallStats.h"
#include "orvane/site/QueryTypeAhead.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/testing/Standin.h"
#include "orvane/site/transport/CurlTransport.h"
#include "support/LocalProcess.h"

namespace orvane::site::testkit {
namespace {

using namespace std::chrono_literals;
using HttpVersion = CurlTransportOptions::HttpVersion;

constexpr const char* kNghttpx = "/usr/sbin/nghttpx";

void need(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificate: could not ") + what);
}

template <typename Write>
std::string pemOf(Write write) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
  need(bio && write(bio.get()), "write PEM");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

// A self-signed authority and the certificate it issues for 127.0.0.1: the proxy's own.
struct ProxyCertificate {
  std::string caPem;
  std::string certPem;
  std::string keyPem;

  ProxyCertificate() {
    using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
    using Cert = std::unique_ptr<X509, decltype(&X509_free)>;
    Key caKey(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    need(caKey && key, "make a key");
    auto sign = [&](EVP_PKEY* subject, X509* issuer, const char* name, const char* extension,
                    const char* value) {
      Cert cert(X509_new(), &X509_free);
      need(cert != nullptr, "make a certificate");
      X509* issuedBy = issuer ? issuer : cert.get();
      need(
          X509_set_version(cert.get(), X509_VERSION_3) &&
              ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), issuer ? 2 : 1) &&
              X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) &&
              X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400) &&
              X509_set_pubkey(cert.get(), subject) &&
              X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_ASC,
                                         reinterpret_cast<const unsigned char*>(name), -1, -1, 0) &&
              X509_set_issuer_name(cert.get(), X509_get_subject_name(issuedBy)),
          "fill a certificate");
      X509V3_CTX context;
      X509V3_set_ctx(&context, issuedBy, cert.get(), nullptr, nullptr, 0);
      X509_EXTENSION* made = X509V3_EXT_conf(nullptr, &context, extension, value);
      need(made && X509_add_ext(cert.get(), made, -1), "add an extension");
      X509_EXTENSION_free(made);
      need(X509_sign(cert.get(), issuer ? caKey.get() : subject, EVP_sha256()) > 0, "sign");
      return cert;
    };
    Cert ca = sign(caKey.get(), nullptr, "http2 test CA", "basicConstraints", "critical,CA:TRUE");
    Cert cert = sign(key.get(), ca.get(), "127.0.0.1", "subjectAltName", "IP:127.0.0.1");
    caPem = pemOf([&](BIO* bio) { return PEM_write_bio_X509(bio, ca.get()); });
    certPem = pemOf([&](BIO* bio) { return PEM_write_bio_X509(bio, cert.get()); });
    keyPem = pemOf([&](BIO* bio) {
      return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
  }
};

// nghttpx on 127.0.0.1: h2 and HTTP/1.1 over TLS in front, the stand-in over TLS behind it,
// verified against the stand-in's authority. Stopped with the test.
class Http2Proxy {
 public:
  explicit Http2Proxy(const Standin& standin) {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("http2-" + std::to_string(::getpid()) + "-" + std::to_string(made_++));
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "cert.pem") << certificate_.certPem;
    std::ofstream(dir_ / "key.pem") << certificate_.keyPem;
    std::ofstream(dir_ / "backend-ca.pem") << standin.caCertificatePem();
    port_ = unusedLocalPort();
    const std::string backend =
        "127.0.0.1," + std::to_string(standin.port()) + ";;tls;sni=localhost";
    pid_ = spawnProcess({kNghttpx, "--conf=/dev/null", "--single-process", "--workers=1",
                         "--no-ocsp", "--frontend=127.0.0.1," + std::to_string(port_),
                         "--backend=" + backend, "--cacert=" + (dir_ / "backend-ca.pem").string(),
                         "--backend-connections-per-host=512", "--errorlog-file=/dev/null",
                         (dir_ / "key.pem").string(), (dir_ / "cert.pem").string()});
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (pid_ != 0 && !localPortAcceptsConnections(port_) &&
           std::chrono::steady_clock::now() < until) {
      std::this_thread::yield();
    }
  }
  ~Http2Proxy() {
    if (pid_ != 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::filesystem::remove_all(dir_);
  }
  Http2Proxy(const Http2Proxy&) = delete;
  Http2Proxy& operator=(const Http2Proxy&) = delete;

  bool started() const { return pid_ != 0 && localPortAcceptsConnections(port_); }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

  std::shared_ptr<CurlTransport> transport(HttpVersion version) const {
    CurlTransportOptions options;
    options.caInfoPem = certificate_.caPem;
    options.httpVersion = version;
    return std::make_shared<CurlTransport>(options);
  }

 private:
  static inline int made_ = 0;
  ProxyCertificate certificate_;
  std::filesystem::path dir_;
  pid_t pid_ = 0;
  int port_ = 0;
};

TimezoneRequest someRequest() { return TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en"); }

Standin::Options roomyStandin() {
  Standin::Options options;
  // Each cancelled call leaves the proxy's connection to the stand-in held until its delay ends.
  options.connections = 256;
  return options;
}

class Http2Integration : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(kNghttpx, X_OK) != 0) GTEST_SKIP() << kNghttpx << " is not installed";
    proxy_ = std::make_unique<Http2Proxy>(standin_);
    ASSERT_TRUE(proxy_->started()) << "nghttpx did not start";
  }

  SiteClient clientOver(const std::shared_ptr<CurlTransport>& transport,
                        const std::string& key) const {
    ClientOptions options = standin_.clientOptions();
    options.setHost(proxy_->host()).setApiKey(key).setTransport(transport).setObserver(stats_);
    return SiteClient(options);
  }

  Standin standin_{roomyStandin()};
  std::unique_ptr<Http2Proxy> proxy_;
  std::shared_ptr<CallStats> stats_ = std::make_shared<CallStats>();
};

struct Concurrency {
  HttpVersion version;
  const char* protocol;
  std::uint64_t connections;  // opened by 32 calls at once
};

class ConcurrentCalls : public Http2Integration,
                        public ::testing::WithParamInterface<Concurrency> {};

TEST_P(ConcurrentCalls, SayTheirProtocolAndShareOneH2Connection) {
  const Concurrency& expected = GetParam();
  auto transport = proxy_->transport(expected.version);
  SiteClient client = clientOver(transport, standin_.apiKey());
  std::vector<Call<TimezoneResponse>> calls;
  for (int i = 0; i < 32; ++i) calls.push_back(client.timezone(someRequest()));
  for (const auto& call : calls) {
    const Result<TimezoneResponse> result = call.get();
    EXPECT_TRUE(result.ok()) << result.error().localizedDescription;
  }
  const auto operations = stats_->operations();
  ASSERT_EQ(operations.size(), 1u);
  const bool h2 = std::string(expected.protocol) == "HTTP/2";
  EXPECT_EQ(operations[0].http2Attempts, h2 ? 32u : 0u);
  EXPECT_EQ(operations[0].http1Attempts, h2 ? 0u : 32u);
  EXPECT_NE(stats_->prometheusText().find(std::string("orvane_site_attempt_protocols_total{"
                                                      "operation=\"timezone\",protocol=\"") +
                                          expected.protocol + "\"} 32"),
            std::string::npos)
      << stats_->prometheusText();
  EXPECT_EQ(transport->connectionsOpened(), expected.connections);
  EXPECT_EQ(transport->tlsHandshakes(), expected.connections);
}

std::string versionName(const ::testing::TestParamInfo<Concurrency>& info) {
  static const char* const kNames[] = {"automatic", "http1_1", "http2"};
  return kNames[static_cast<int>(info.param.version)];
}

INSTANTIATE_TEST_SUITE_P(Versions, ConcurrentCalls,
                         ::testing::Values(Concurrency{HttpVersion::automatic, "HTTP/2", 1},
                                           Concurrency{HttpVersion::http2, "HTTP/2", 1},
                                           Concurrency{HttpVersion::http1_1, "HTTP/1.1", 32}),
                         versionName);

// 320 keystrokes through the type-ahead helper, each arriving while the call before it is in
// flight: every superseded call resets its stream, all share one connection, and only the last
// text's result is delivered.
TEST_F(Http2Integration, TypeAheadKeystrokesCancelTheirStreamsOnOneConnection) {
  auto transport = proxy_->transport(HttpVersion::automatic);
  const std::string slowKey = standin_.apiKeyWithFaults({StandinFault::delay(100ms)});
  SiteClient client = clientOver(transport, slowKey);
  std::promise<std::string> delivered;
  QueryTypeAhead typeAhead(
      client, QueryAutocompleteRequest("", std::nullopt, std::nullopt, std::nullopt, std::nullopt),
      [&delivered](const std::string& text, const Result<QueryAutocompleteResponse>& result) {
        delivered.set_value(result.ok() ? text : result.error().localizedDescription);
      },
      TypeAheadOptions().setQuietTime(0ms).setMinimumLength(1));
  constexpr int kKeystrokes = 320;
  for (int i = 1; i <= kKeystrokes; ++i) {
    typeAhead.setText("Paris " + std::to_string(i));
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (standin_.requestsForKey(slowKey) < i && std::chrono::steady_clock::now() < until) {
      std::this_thread::yield();
    }
    ASSERT_EQ(standin_.requestsForKey(slowKey), i) << "keystroke " << i << " never arrived";
  }
  EXPECT_EQ(delivered.get_future().get(), "Paris " + std::to_string(kKeystrokes));
  EXPECT_EQ(transport->connectionsOpened(), 1u);
  EXPECT_EQ(transport->tlsHandshakes(), 1u);
}

}  // namespace
}  // namespace orvane::site::testkit
