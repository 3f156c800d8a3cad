// Ways the network or the service can fail a call, over real HTTPS against the stand-in's
// fault injection: each call's handler runs exactly once, on the library thread, with the outcome
// the library documents, and the next normal call works. Every operation shares one request
// path, so a time zone call stands for all of them (the command-line tool's test calls each).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "orvane/site.h"
#include "orvane/site/standin/standin_server.h"
#include "support/LocalProcess.h"

namespace orvane::site {
namespace {

using standin::StandinOptions;
using standin::StandinServer;

constexpr const char* kErrorType = "OrvaneSite.ErrorType";
constexpr const char* kDecoding = "OrvaneSite.DecodingError";
constexpr const char* kTransport = "OrvaneSite.TransportError";
constexpr std::int64_t kApiError = 1;
constexpr std::int64_t kDataCorrupted = static_cast<std::int64_t>(DecodingErrorCode::dataCorrupted);

constexpr std::int64_t code(TransportErrorCode value) { return static_cast<std::int64_t>(value); }

// Where a case's call goes.
enum class Target { standin, refusedPort, untrustedServer };

struct FaultCase {
  std::string name;
  std::vector<std::string> faults;  // asked for through the API key
  std::string domain;               // empty where the call gets its response
  std::int64_t code = 0;
  std::int64_t maxRetry = 0;
  std::optional<std::string> statusCode = std::nullopt;  // userInfo["statusCode"] of the error
  std::optional<std::int64_t> attempts = std::nullopt;   // requests counted for the call's key
  Target target = Target::standin;
  double timeoutSeconds = 30.0;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

// Faults of the network and the transport, and one reply of each way the facade ends a call;
// every other reply rule is the unit tests' (reply_rules_test).
std::vector<FaultCase> faultCases() {
  using E = TransportErrorCode;
  FaultCase refused{"ConnectionRefused", {}, kTransport, code(E::connectionFailed)};
  refused.target = Target::refusedPort;
  FaultCase untrusted{"UntrustedCertificate", {}, kTransport, code(E::tlsFailure)};
  untrusted.target = Target::untrustedServer;
  FaultCase timedOut{"TimedOut", {"delay-5000"}, kTransport, code(E::timedOut)};
  timedOut.timeoutSeconds = 0.5;
  const std::int64_t retriesRunOut = code(E::serverErrorAfterRetries);
  return {
      refused,
      untrusted,
      timedOut,
      {"DroppedBeforeAnyReply", {"drop"}, kTransport, code(E::connectionFailed)},
      {"DroppedMidBody", {"cut"}, kTransport, code(E::connectionFailed)},
      {"ServerErrorUntilRetriesRunOut", {"5xx-100"}, kTransport, retriesRunOut, 2, "503", 3},
      {"ServerErrorThenSuccess", {"5xx-2-502"}, "", 0, 3, std::nullopt, 3},
      {"ErrorEnvelope", {"status-404"}, kErrorType, kApiError, 3, std::nullopt, 1},
      {"EnvelopeWithoutCode", {"nocode"}, kTransport, code(E::incompleteErrorEnvelope), 0, "400"},
      {"ErrorBodyNotUtf8", {"notutf8-500"}, kTransport, code(E::bodyNotUtf8), 3, "500", 1},
      {"BodyNotJson", {"notjson"}, kDecoding, kDataCorrupted},
      {"Empty200", {"empty"}, kDecoding, kDataCorrupted},
  };
}

std::shared_ptr<ApiContext> contextFor(const std::string& key, const std::string& host,
                                       std::int64_t maxRetry, double timeoutSeconds) {
  return std::make_shared<ApiContext>(*ApiContext()
                                           .setApiKey(key)
                                           .setBaseUrl(host)
                                           .setMaxRetry(maxRetry)
                                           .setRetryInterval(0.01)
                                           .setTimeoutInterval(timeoutSeconds)
                                           .build());
}

std::string describe(const std::optional<Error>& error) {
  if (!error) return "no error";
  const auto detail = error->userInfo.find("detail");
  return error->domain + " " + std::to_string(error->code) + ": " + error->localizedDescription +
         (detail == error->userInfo.end() ? "" : " (" + detail->second + ")");
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {
 protected:
  static void SetUpTestSuite() {
    server_ = new StandinServer(StandinOptions{});
    server_->start();
    // A second stand-in with an authority of its own, which the transport does not trust.
    untrusted_ = new StandinServer(StandinOptions{});
    untrusted_->start();
    CurlTransportOptions options;
    options.caInfoFile = server_->caFile().string();
    transport_ = new std::shared_ptr<HttpTransport>(std::make_shared<CurlTransport>(options));
  }
  static void TearDownTestSuite() {
    delete untrusted_;
    delete server_;
    untrusted_ = server_ = nullptr;
  }
  void SetUp() override { setDefaultHttpTransport(*transport_); }
  void TearDown() override { setDefaultHttpTransport(nullptr); }

  static std::string hostOf(Target target) {
    if (target == Target::refusedPort) {
      return "127.0.0.1:" + std::to_string(testkit::unusedLocalPort());
    }
    return target == Target::untrustedServer ? untrusted_->host() : server_->host();
  }

  static inline StandinServer* server_ = nullptr;
  static inline StandinServer* untrusted_ = nullptr;
  // Kept for the whole run: the library thread of a transport outlives single tests.
  static inline std::shared_ptr<HttpTransport>* transport_ = nullptr;
};

// What a call handed its handler, and how often and where the handler ran. Shared with the
// handler, which must find it alive even if it ran a second time late.
struct Deliveries {
  std::atomic<int> calls{0};
  std::atomic<bool> offLibraryThread{false};
  std::promise<std::pair<std::shared_ptr<TimezoneResponse>, std::optional<Error>>> first;
};

std::shared_ptr<Deliveries> startCall(const std::shared_ptr<ApiContext>& context) {
  auto deliveries = std::make_shared<Deliveries>();
  // Paris on 14 November 2023, which the stand-in places in Europe/Paris.
  SiteClient::shared().timezone(
      TimezoneRequest(Coordinate(48.8667, 2.3333), 1700000000, "en"), context,
      [deliveries](std::shared_ptr<TimezoneResponse> response, std::optional<Error> error) {
        if (!CurlTransport::isLibraryThread()) {
          deliveries->offLibraryThread = true;
        }
        if (++deliveries->calls == 1) {
          deliveries->first.set_value({response, error});
        }
      });
  return deliveries;
}

TEST_P(FaultMatrix, TheHandlerRunsOnceWithTheDocumentedOutcomeAndTheNextCallWorks) {
  const FaultCase& c = GetParam();
  const std::string key = StandinServer::faultKey(StandinOptions::kDemoKey, c.faults, c.name);
  const auto deliveries =
      startCall(contextFor(key, hostOf(c.target), c.maxRetry, c.timeoutSeconds));
  auto future = deliveries->first.get_future();
  ASSERT_EQ(future.wait_for(std::chrono::seconds(60)), std::future_status::ready)
      << "the handler was not called within 60 s";
  const auto [response, error] = future.get();

  if (c.domain.empty()) {
    ASSERT_FALSE(error) << describe(error);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->timeZoneId.value_or(""), "Europe/Paris");
  } else {
    ASSERT_TRUE(error) << "a response instead of " << c.domain << " " << c.code;
    EXPECT_FALSE(response);
    EXPECT_EQ(error->domain, c.domain) << describe(error);
    EXPECT_EQ(error->code, c.code) << describe(error);
    EXPECT_FALSE(error->localizedDescription.empty());
    if (c.statusCode) {
      const auto status = error->userInfo.find("statusCode");
      ASSERT_NE(status, error->userInfo.end());
      EXPECT_EQ(status->second, *c.statusCode);
    }
  }
  if (c.attempts) {
    EXPECT_EQ(server_->requestsForKey(key), *c.attempts);
  }
  EXPECT_FALSE(deliveries->offLibraryThread.load());

  // The process keeps working: a normal call right after gets its answer. By the time it has,
  // a second delivery of the failed call would have run as well.
  const auto normal = startCall(contextFor(StandinOptions::kDemoKey, server_->host(), 0, 30.0));
  auto next = normal->first.get_future();
  ASSERT_EQ(next.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  const auto [nextResponse, nextError] = next.get();
  ASSERT_FALSE(nextError) << describe(nextError);
  ASSERT_TRUE(nextResponse);
  EXPECT_EQ(deliveries->calls.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(faultCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace orvane::site
