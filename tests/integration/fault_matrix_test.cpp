// Every way the network or the service can fail a call, over real HTTPS against the stand-in's
// fault injection: each call's handler runs exactly once, with the outcome the library
// documents, and the next normal call works. The eight operations take turns across the cases.
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
#include "support/OperationCalls.h"

namespace orvane::site {
namespace {

using standin::StandinOptions;
using standin::StandinServer;
using testing::CallOutcome;
using testing::Operation;

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
  Target target = Target::standin;
  std::vector<std::string> faults;  // asked for through the API key
  std::int64_t maxRetry = 0;
  double timeoutSeconds = 30.0;
  // The expected outcome: a response when `domain` is empty, else this error.
  std::string domain;
  std::int64_t code = 0;
  std::optional<std::string> statusCode;  // userInfo["statusCode"] of the error
  std::optional<std::int64_t> attempts;   // requests the stand-in counts for the call's key

  FaultCase& to(Target value) { return target = value, *this; }
  FaultCase& retries(std::int64_t value) { return maxRetry = value, *this; }
  FaultCase& timeout(double seconds) { return timeoutSeconds = seconds, *this; }
  FaultCase& status(std::string value) { return statusCode = std::move(value), *this; }
  FaultCase& attemptsMade(std::int64_t value) { return attempts = value, *this; }
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

FaultCase failing(std::string name, std::vector<std::string> faults, std::string domain,
                  std::int64_t code) {
  FaultCase c;
  c.name = std::move(name);
  c.faults = std::move(faults);
  c.domain = std::move(domain);
  c.code = code;
  return c;
}

FaultCase succeeding(std::string name, std::vector<std::string> faults) {
  return failing(std::move(name), std::move(faults), "", 0);
}

std::vector<FaultCase> faultCases() {
  using E = TransportErrorCode;
  return {
      failing("ConnectionRefused", {}, kTransport, code(E::connectionFailed))
          .to(Target::refusedPort),
      failing("DroppedBeforeAnyReply", {"drop"}, kTransport, code(E::connectionFailed)),
      failing("DroppedMidBody", {"cut"}, kTransport, code(E::connectionFailed)),
      failing("TimedOut", {"delay-5000"}, kTransport, code(E::timedOut)).timeout(0.5),
      failing("ServerErrorUntilRetriesRunOut", {"5xx-100"}, kTransport,
              code(E::serverErrorAfterRetries))
          .retries(2)
          .status("503")
          .attemptsMade(3),
      succeeding("ServerErrorThenSuccess", {"5xx-2-502"}).retries(3).attemptsMade(3),
      failing("ErrorEnvelope", {"status-404"}, kErrorType, kApiError).retries(3).attemptsMade(1),
      failing("EnvelopeWithoutCode", {"nocode"}, kTransport, code(E::incompleteErrorEnvelope))
          .status("400"),
      failing("EnvelopeWithoutDescription", {"nodesc-409"}, kTransport,
              code(E::incompleteErrorEnvelope))
          .status("409"),
      failing("ErrorStatusWithoutBody", {"nobody"}, kTransport, code(E::errorReplyWithoutBody))
          .status("404"),
      failing("BodyNotJson", {"notjson"}, kDecoding, kDataCorrupted),
      failing("ErrorBodyNotJson", {"notjson-400"}, kDecoding, kDataCorrupted),
      failing("BodyNotUtf8", {"notutf8"}, kTransport, code(E::bodyNotUtf8)).status("200"),
      failing("ErrorBodyNotUtf8", {"notutf8-500"}, kTransport, code(E::bodyNotUtf8))
          .retries(3)
          .status("500")
          .attemptsMade(1),
      failing("BodyCutShort", {"truncated"}, kDecoding, kDataCorrupted),
      failing("Empty200", {"empty"}, kDecoding, kDataCorrupted),
      failing("UntrustedCertificate", {}, kTransport, code(E::tlsFailure))
          .to(Target::untrustedServer),
  };
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
    switch (target) {
      case Target::refusedPort:
        return "127.0.0.1:" + std::to_string(testing::unusedLocalPort());
      case Target::untrustedServer:
        return untrusted_->host();
      case Target::standin:
        break;
    }
    return server_->host();
  }

  static StandinServer* server_;
  static StandinServer* untrusted_;
  // Kept for the whole run: the library thread of a transport outlives single tests.
  static std::shared_ptr<HttpTransport>* transport_;
};

StandinServer* FaultMatrix::server_ = nullptr;
StandinServer* FaultMatrix::untrusted_ = nullptr;
std::shared_ptr<HttpTransport>* FaultMatrix::transport_ = nullptr;

TEST_P(FaultMatrix, TheHandlerRunsOnceWithTheDocumentedOutcomeAndTheNextCallWorks) {
  const FaultCase& c = GetParam();
  const auto allCases = faultCases();
  std::size_t index = 0;
  while (index < allCases.size() && allCases[index].name != c.name) ++index;
  const Operation operation = testing::operationAt(index);

  std::vector<testing::KnownPlace> places = testing::knownPlaces();
  const testing::KnownPlace& place = places[index % places.size()];
  if (operation == Operation::detailSearch) {
    std::vector<testing::KnownPlace> one{place};
    testing::lookUpSiteIds(
        one, testing::makeContext(StandinOptions::kDemoKey, server_->host(), 0, 0.01, 30.0));
    places[index % places.size()] = one.front();
  }
  SCOPED_TRACE(std::string(testing::operationName(operation)) + " about " + place.name);

  const std::string key = StandinServer::faultKey(StandinOptions::kDemoKey, c.faults, c.name);
  auto context = testing::makeContext(key, hostOf(c.target), c.maxRetry, 0.01, c.timeoutSeconds);

  // Shared with the handler, which must find it alive even if it ran a second time late.
  struct Deliveries {
    std::atomic<int> calls{0};
    std::atomic<bool> offLibraryThread{false};
    std::promise<CallOutcome> first;
  };
  auto deliveries = std::make_shared<Deliveries>();
  auto future = deliveries->first.get_future();
  testing::startCall(SiteClient::shared(), operation, place, context,
                     [deliveries](CallOutcome outcome) {
                       if (!CurlTransport::isLibraryThread()) deliveries->offLibraryThread = true;
                       if (++deliveries->calls == 1)
                         deliveries->first.set_value(std::move(outcome));
                     });
  ASSERT_EQ(future.wait_for(std::chrono::seconds(60)), std::future_status::ready)
      << "the handler was not called within 60 s";
  const CallOutcome outcome = future.get();

  if (c.domain.empty()) {
    ASSERT_FALSE(outcome.error) << testing::describe(outcome.error);
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(testing::placeMismatch(operation, place, *outcome.response), "");
  } else {
    ASSERT_TRUE(outcome.error) << "a response instead of " << c.domain << " " << c.code;
    EXPECT_FALSE(outcome.response);
    EXPECT_EQ(outcome.error->domain, c.domain) << testing::describe(outcome.error);
    EXPECT_EQ(outcome.error->code, c.code) << testing::describe(outcome.error);
    EXPECT_FALSE(outcome.error->localizedDescription.empty());
    if (c.statusCode) {
      const auto status = outcome.error->userInfo.find("statusCode");
      ASSERT_NE(status, outcome.error->userInfo.end());
      EXPECT_EQ(status->second, *c.statusCode);
    }
  }
  if (c.attempts) {
    EXPECT_EQ(server_->requestsForKey(key), *c.attempts);
  }
  EXPECT_FALSE(deliveries->offLibraryThread.load());

  // The process keeps working: a normal call right after gets its answer. By the time it has,
  // a second delivery of the failed call would have run as well.
  const testing::KnownPlace& next = places[(index + 1) % places.size()];
  const CallOutcome normal = testing::awaitCall(
      Operation::timezone, next,
      testing::makeContext(StandinOptions::kDemoKey, server_->host(), 0, 0.01, 30.0));
  ASSERT_FALSE(normal.error) << testing::describe(normal.error);
  ASSERT_TRUE(normal.response);
  EXPECT_EQ(testing::placeMismatch(Operation::timezone, next, *normal.response), "");
  EXPECT_EQ(deliveries->calls.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(faultCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace orvane::site
