#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <map>
#include <stdexcept>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/internal/SiteRequestManager.h"
#include "orvane/site/standin/certificate.h"
#include "support/LocalHttpsServer.h"
#include "support/LogCapture.h"
#include "transport/CaBundle.h"

namespace orvane::site::testing {
namespace {

constexpr const char* kPath = "mapApi/v1/siteService/geocode";
constexpr auto kCallBound = std::chrono::seconds(20);

const standin::Certificate& certificate() {
  static const standin::Certificate kCertificate = standin::Certificate::generate();
  return kCertificate;
}

std::shared_ptr<CurlTransport> trustingTransport() {
  CurlTransportOptions options;
  options.caInfoPem = certificate().caPem();
  return std::make_shared<CurlTransport>(options);
}

struct CallResult {
  std::optional<Error> error;
  std::optional<std::string> body;
  std::string threadName;
  bool onLibraryThread = false;
  int callbacks = 0;
};

std::shared_ptr<SiteRequestManager> startCall(
    const std::string& host, std::shared_ptr<HttpTransport> transport, const std::string& key,
    const std::function<void(SiteRequestManager&)>& configure,
    SiteRequestManager::CompletionHandler completion) {
  auto manager = SiteRequestManager::create(host, kPath, nullptr);
  manager->setTransport(std::move(transport));
  manager->setParams(std::map<std::string, std::string>{{"key", key}});
  manager->setMode(RequestMode::post);
  manager->setHeaderValue("Content-Type", "application/json");
  manager->setHeaderValue("Accept", "application/json");
  manager->setBodyData(std::string(R"({"address":"Paris"})"));
  if (configure) configure(*manager);
  manager->build(std::move(completion));
  return manager;
}

// Runs one call to `host` and waits for its callback.
CallResult call(const std::string& host, std::shared_ptr<HttpTransport> transport,
                const std::string& key = "KEY",
                const std::function<void(SiteRequestManager&)>& configure = {}) {
  auto result = std::make_shared<CallResult>();
  auto done = std::make_shared<std::promise<void>>();
  startCall(host, std::move(transport), key, configure,
            [result, done](std::optional<Error> error, std::optional<std::string> body) {
              char name[32] = {};
              pthread_getname_np(pthread_self(), name, sizeof(name));
              result->threadName = name;
              result->onLibraryThread = CurlTransport::isLibraryThread();
              result->error = std::move(error);
              result->body = std::move(body);
              if (++result->callbacks == 1) done->set_value();
            });
  EXPECT_EQ(done->get_future().wait_for(kCallBound), std::future_status::ready);
  return *result;
}

bool isTransportError(const CallResult& result, TransportErrorCode code) {
  return result.callbacks == 1 && result.error && !result.body &&
         result.error->domain == "OrvaneSite.TransportError" &&
         result.error->code == static_cast<std::int64_t>(code);
}

LocalHttpsServer serverAnswering(LocalHttpsServer::Script script) {
  return LocalHttpsServer(certificate().certPem(), certificate().keyPem(), std::move(script));
}

TEST(TransportIntegration, OkReplyArrivesByteForByteOnTheLibraryThread) {
  LogCapture log;
  const std::string reply =
      "{\"returnCode\":\"0\",\"sites\":[{\"name\":\"Caf\xC3\xA9 \\u00e9 \xF0\x9F\x8D\xB5\"}]}\r\n";
  LocalHttpsServer server = serverAnswering([&](const ReceivedRequest&, std::size_t) {
    return ScriptedReply{200, reply};
  });
  CallResult result = call(server.host(), trustingTransport(), "ab%2Bc+d");
  ASSERT_EQ(result.callbacks, 1);
  EXPECT_FALSE(result.error);
  EXPECT_EQ(result.body, reply);
  EXPECT_TRUE(result.onLibraryThread);
  EXPECT_EQ(result.threadName, "orvane-site-ser");

  ASSERT_EQ(server.requestCount(), 1u);
  const ReceivedRequest request = server.requests().front();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, std::string("/") + kPath + "?key=ab%2Bc+d");
  EXPECT_EQ(request.body, R"({"address":"Paris"})");
  EXPECT_EQ(request.header("content-type"), "application/json");
  EXPECT_EQ(request.header("accept"), "application/json");
  EXPECT_FALSE(request.header("expect"));
  EXPECT_EQ(log.count("?key=***"), 1u);
  EXPECT_EQ(log.count("ab%2Bc+d"), 0u);
}

TEST(TransportIntegration, CaFileIsAddedToTheSystemStore) {
  LogCapture log;
  LocalHttpsServer server = serverAnswering([](const ReceivedRequest&, std::size_t) {
    return ScriptedReply{200, "{}"};
  });
  const auto file = std::filesystem::temp_directory_path() /
                    ("orvane-site-ca-" + std::to_string(server.port()) + ".pem");
  std::ofstream(file) << certificate().caPem();
  CurlTransportOptions options;
  options.caInfoFile = file.string();
  auto transport = std::make_shared<CurlTransport>(options);
  std::filesystem::remove(file);
  EXPECT_EQ(call(server.host(), transport).body, "{}");

  // libcurl with OpenSSL would replace its default CA file with ours: the system's is kept first.
  std::ostringstream system;
  system << std::ifstream("/etc/ssl/certs/ca-certificates.crt").rdbuf();
  options.caInfoFile.clear();
  options.caInfoPem = certificate().caPem();
  const std::string trusted = transport::trustedCertificatesPem(options);
  EXPECT_EQ(trusted.compare(0, system.str().size(), system.str()), 0);
  EXPECT_NE(trusted.find(certificate().caPem()), std::string::npos);

  CurlTransportOptions missing;
  missing.caInfoFile = file.string();
  EXPECT_THROW(CurlTransport{missing}, std::invalid_argument);
}

TEST(TransportIntegration, ProxyComesFromTheOptionNeverFromTheEnvironment) {
  LogCapture log;
  LocalHttpsServer server = serverAnswering([](const ReceivedRequest&, std::size_t) {
    return ScriptedReply{200, "{}"};
  });
  const std::string deadProxy = "http://127.0.0.1:" + std::to_string(unusedLocalPort());
  const char* variables[] = {"https_proxy", "HTTPS_PROXY", "http_proxy", "ALL_PROXY", "all_proxy"};
  for (const char* name : variables) setenv(name, deadProxy.c_str(), 1);
  CallResult direct = call(server.host(), trustingTransport());
  for (const char* name : variables) unsetenv(name);
  EXPECT_EQ(direct.body, "{}");

  CurlTransportOptions options;
  options.caInfoPem = certificate().caPem();
  options.proxy = deadProxy;
  EXPECT_TRUE(isTransportError(call(server.host(), std::make_shared<CurlTransport>(options)),
                               TransportErrorCode::connectionFailed));
  EXPECT_EQ(server.requestCount(), 1u);
}

}  // namespace
}  // namespace orvane::site::testing
