#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>

#include <dirent.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/internal/SiteRequestManager.h"
#include "orvane/site/standin/certificate.h"
#include "support/LocalHttpsServer.h"
#include "support/LogCapture.h"
#include "transport/CaBundle.h"

namespace orvane::site::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

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

std::size_t threadCount() {
  std::size_t count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
    closedir(tasks);
  }
  return count;
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

TEST(TransportIntegration, ServerErrorsAreRetriedUntilTheOkReply) {
  LogCapture log;
  LocalHttpsServer server = serverAnswering([](const ReceivedRequest&, std::size_t index) {
    return index < 3 ? ScriptedReply{503, "{}"} : ScriptedReply{200, R"({"returnCode":"0"})"};
  });
  CallResult result = call(server.host(), trustingTransport(), "KEY",
                           [](SiteRequestManager& m) { m.setRetryInterval(0.02); });
  EXPECT_EQ(result.callbacks, 1);
  EXPECT_EQ(result.body, R"({"returnCode":"0"})");
  EXPECT_EQ(server.requestCount(), 4u);
  EXPECT_EQ(log.count("Called Url: "), 4u);
}

TEST(TransportIntegration, ErrorEnvelopeBecomesTheApiError) {
  LogCapture log;
  LocalHttpsServer server = serverAnswering([](const ReceivedRequest&, std::size_t) {
    return ScriptedReply{404, R"({"returnCode":"010010","returnDesc":"NOT_FOUND"})"};
  });
  CallResult result = call(server.host(), trustingTransport());
  ASSERT_TRUE(result.error);
  EXPECT_FALSE(result.body);
  EXPECT_EQ(result.error->domain, "OrvaneSite.ErrorType");
  EXPECT_EQ(result.error->code, 1);
  EXPECT_EQ(result.error->localizedDescription, "API Error");
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST(TransportIntegration, SilentServerEndsTheCallAfterTheTimeOut) {
  LogCapture log;
  LocalHttpsServer server = serverAnswering([](const ReceivedRequest&, std::size_t) {
    ScriptedReply reply;
    reply.neverAnswer = true;
    return reply;
  });
  const auto started = steady_clock::now();
  CallResult result = call(server.host(), trustingTransport(), "KEY",
                           [](SiteRequestManager& m) { m.setTimeoutInterval(0.5); });
  const auto elapsed = steady_clock::now() - started;
  EXPECT_TRUE(isTransportError(result, TransportErrorCode::timedOut));
  EXPECT_GE(elapsed, milliseconds(500));
  EXPECT_LT(elapsed, milliseconds(5000));
  EXPECT_EQ(server.requestCount(), 1u) << "a time-out is not retried";
}

TEST(TransportIntegration, RefusedConnectionIsReported) {
  LogCapture log;
  const std::string host = "127.0.0.1:" + std::to_string(unusedLocalPort());
  CallResult result = call(host, trustingTransport());
  EXPECT_TRUE(isTransportError(result, TransportErrorCode::connectionFailed));
  EXPECT_NE(result.error->userInfo["detail"].find("onnect"), std::string::npos);
}

TEST(TransportIntegration, UntrustedCertificateIsRefused) {
  LogCapture log;
  LocalHttpsServer server = serverAnswering([](const ReceivedRequest&, std::size_t) {
    return ScriptedReply{200, "{}"};
  });
  // The system store alone, then an unrelated extra authority.
  EXPECT_TRUE(isTransportError(call(server.host(), std::make_shared<CurlTransport>()),
                               TransportErrorCode::tlsFailure));
  CurlTransportOptions unrelated;
  unrelated.caInfoPem = standin::Certificate::generateUnrelatedAuthorityPem();
  EXPECT_TRUE(isTransportError(call(server.host(), std::make_shared<CurlTransport>(unrelated)),
                               TransportErrorCode::tlsFailure));
  EXPECT_EQ(server.requestCount(), 0u);
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

TEST(TransportIntegration, ManyCallsReuseOneConnectionWithoutNewThreads) {
  LogCapture log;
  LocalHttpsServer server = serverAnswering([](const ReceivedRequest&, std::size_t index) {
    return ScriptedReply{200, "{\"n\":" + std::to_string(index) + "}"};
  });
  auto transport = trustingTransport();
  ASSERT_EQ(call(server.host(), transport).body, "{\"n\":0}");
  const std::size_t threadsAfterFirstCall = threadCount();
  for (int i = 1; i < 30; ++i) {
    EXPECT_EQ(call(server.host(), transport).body, "{\"n\":" + std::to_string(i) + "}");
  }
  EXPECT_EQ(server.requestCount(), 30u);
  EXPECT_EQ(server.connectionCount(), 1u);
  EXPECT_EQ(threadCount(), threadsAfterFirstCall);

  // Calls started from several threads at once each end once, on the library thread.
  constexpr int kThreads = 4;
  constexpr int kCallsPerThread = 10;
  std::atomic<int> callbacks{0};
  std::atomic<int> misplaced{0};
  std::promise<void> allDone;
  std::vector<std::thread> starters;
  for (int t = 0; t < kThreads; ++t) {
    starters.emplace_back([&] {
      for (int i = 0; i < kCallsPerThread; ++i) {
        startCall(server.host(), transport, "KEY", {},
                  [&](std::optional<Error> error, std::optional<std::string> body) {
                    if (error || !body || !CurlTransport::isLibraryThread()) ++misplaced;
                    if (++callbacks == kThreads * kCallsPerThread) allDone.set_value();
                  });
      }
    });
  }
  for (std::thread& starter : starters) starter.join();
  ASSERT_EQ(allDone.get_future().wait_for(kCallBound), std::future_status::ready);
  EXPECT_EQ(misplaced.load(), 0);
  EXPECT_EQ(server.requestCount(), 70u);
}

// A burst of calls opens several connections; fewer calls in between must not close the idle
// ones that the next burst needs again.
TEST(TransportIntegration, ConnectionsOfABurstAreKeptForTheNextBurst) {
  static constexpr std::size_t kBurst = 6;
  constexpr std::size_t kSingles = 3;
  std::mutex mutex;
  std::condition_variable arrived;
  std::size_t arrivals = 0;
  // Each burst's replies wait until all of its requests are in, so it holds kBurst connections.
  LocalHttpsServer server = serverAnswering([&](const ReceivedRequest&, std::size_t index) {
    const bool inSecondBurst = index >= kBurst + kSingles;
    if (index < kBurst || inSecondBurst) {
      std::unique_lock<std::mutex> lock(mutex);
      ++arrivals;
      arrived.notify_all();
      const std::size_t needed = inSecondBurst ? 2 * kBurst : kBurst;
      arrived.wait_for(lock, kCallBound, [&] { return arrivals >= needed; });
    }
    return ScriptedReply{200, "{}"};
  });
  auto transport = trustingTransport();
  auto burst = [&] {
    auto answered = std::make_shared<std::atomic<std::size_t>>(0);
    auto allDone = std::make_shared<std::promise<void>>();
    for (std::size_t i = 0; i < kBurst; ++i) {
      startCall(server.host(), transport, "KEY", {},
                [answered, allDone](std::optional<Error>, std::optional<std::string> body) {
                  if (body && ++*answered == kBurst) allDone->set_value();
                });
    }
    ASSERT_EQ(allDone->get_future().wait_for(kCallBound), std::future_status::ready);
  };

  burst();
  ASSERT_EQ(server.connectionCount(), kBurst);
  for (std::size_t i = 0; i < kSingles; ++i) EXPECT_TRUE(call(server.host(), transport).body);
  burst();
  EXPECT_EQ(server.requestCount(), 2 * kBurst + kSingles);
  EXPECT_EQ(server.connectionCount(), kBurst);
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

// Accepts up to `count` connections on `listener` and never answers them; returns how many came.
int acceptSilently(int listener, int count) {
  int accepted = 0;
  for (int wait = 0; wait < 500 && accepted < count; ++wait) {
    pollfd ready{listener, POLLIN, 0};
    if (::poll(&ready, 1, 10) == 1 && ::accept(listener, nullptr, nullptr) >= 0) ++accepted;
  }
  return accepted;
}

TEST(TransportIntegrationDeathTest, ProcessExitsCleanlyWhileCallsAreUnderWay) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // A peer that takes the connections and never says a word: the TLS handshakes are under
        // way when the process exits.
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(listener, 8);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        const std::string host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        auto transport = trustingTransport();
        for (int i = 0; i < 3; ++i) startCall(host, transport, "KEY", {}, {});
        std::exit(acceptSilently(listener, 3) == 3 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orvane::site::testing
