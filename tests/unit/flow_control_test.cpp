// Flow control of option clients on the fake transport: the in-flight bound and its queue, the
// rate limiter per attempt, the handler executor and the observer's events.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/CallObserver.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/RateLimiter.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/testing/FakeTransport.h"
#include "pipeline/RatePermit.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;
using testkit::FakeTransport;

constexpr const char* kReply = R"({"returnCode":"0","returnDesc":"OK"})";

TimezoneRequest someRequest() { return TimezoneRequest(Coordinate(1, 2), 1700000000, "en"); }
std::int64_t codeOf(TransportErrorCode code) { return static_cast<std::int64_t>(code); }

// Keeps each grant for the test to give when it likes (all on the test's thread).
class ManualLimiter final : public RateLimiter {
 public:
  void acquire(Grant grant) override { grants.push_back(std::move(grant)); }
  void slowDown(std::chrono::nanoseconds pause) override { slowDowns.push_back(pause); }
  void grantNext(std::chrono::nanoseconds wait) {
    Grant grant = std::move(grants.front());
    grants.erase(grants.begin());
    grant(wait);
  }
  std::vector<Grant> grants;
  std::vector<std::chrono::nanoseconds> slowDowns;
};

// Writes every event as one line; throws after each to show that nothing comes of it.
class RecordingObserver final : public CallObserver {
 public:
  void onCallStart(const CallStart& event) override {
    lines.push_back("start " + std::string(event.operation));
    throw std::runtime_error("observer failure");
  }
  void onAttempt(const Attempt& event) override {
    lines.push_back("attempt " + std::to_string(event.attempt) + " " +
                    std::to_string(event.statusCode) +
                    (event.failure ? " failure " + std::to_string(*event.failure) : "") +
                    " sent>0:" + std::to_string(event.bytesSent > 0) +
                    " received:" + std::to_string(event.bytesReceived));
    throw 42;
  }
  void onCallEnd(const CallEnd& event) override {
    lines.push_back("end " + std::to_string(event.attempts) +
                    (event.error ? " error " + std::to_string(event.error->code) : " ok"));
  }
  std::vector<std::string> lines;
};

class FlowControlTest : public ::testing::Test {
 protected:
  ClientOptions options() const {
    return ClientOptions()
        .setApiKey("SECRET-KEY")
        .setTransport(transport_)
        .setRetryPolicy(RetryPolicy().setJitter(false))
        .setDeadline(60s)
        .setAttemptTimeout(5s);
  }
  void TearDown() override { transport_->dropPending(); }
  std::shared_ptr<FakeTransport> transport_ = std::make_shared<FakeTransport>();
};

TEST_F(FlowControlTest, InFlightBoundQueuesInOrderAndRefusesBeyondTheQueue) {
  SiteClient client(options().setMaxInFlight(2).setMaxQueuedCalls(2));
  std::vector<std::int64_t> codes(5, -2);
  std::vector<Call<TimezoneResponse>> calls;
  for (std::size_t i = 0; i < 5; ++i) {
    calls.push_back(client.timezone(
        TimezoneRequest(Coordinate(1, 2), static_cast<std::int64_t>(i), std::nullopt),
        CallOptions(),
        [&codes, i](Result<TimezoneResponse> r) { codes[i] = r.ok() ? 0 : r.error().code; }));
  }
  EXPECT_EQ(codes[4], -2);  // refused, but never inside the operation call
  transport_->runPosted();
  EXPECT_EQ(codes[4], codeOf(TransportErrorCode::queueFull));
  EXPECT_EQ(transport_->requestCount(), 2U);

  // The waiting calls start in order as places free up; their attempt time-out is untouched.
  transport_->reply(200, kReply);
  transport_->runPosted();
  ASSERT_EQ(transport_->requestCount(), 3U);
  EXPECT_NE(transport_->lastRequest().body->find("\"timestamp\":2"), std::string::npos);
  EXPECT_DOUBLE_EQ(transport_->lastRequest().timeoutSeconds, 5.0);
  calls[1].cancel();  // a cancelled call hands its place on too
  transport_->runPosted();
  ASSERT_EQ(transport_->requestCount(), 4U);
  EXPECT_NE(transport_->lastRequest().body->find("\"timestamp\":3"), std::string::npos);
  EXPECT_EQ(codes[0], 0);
  EXPECT_EQ(codes[1], codeOf(TransportErrorCode::cancelled));
}

TEST_F(FlowControlTest, EachAttemptWaitsForItsPermitAndTooManyRequestsSlowsTheLimiter) {
  auto limiter = std::make_shared<ManualLimiter>();
  SiteClient client(options().setRateLimiter(limiter));
  auto call = client.timezone(someRequest());
  transport_->runPosted();
  ASSERT_EQ(limiter->grants.size(), 1U);
  EXPECT_EQ(transport_->requestCount(), 0U);
  limiter->grantNext(250ms);  // the send waits on a timer, not inside the grant
  EXPECT_EQ(transport_->requestCount(), 0U);
  transport_->runPosted();
  transport_->fireNextTimer();
  EXPECT_EQ(transport_->now(), 250ms);
  ASSERT_EQ(transport_->requestCount(), 1U);

  HttpOutcome tooMany = testkit::httpReply(429, R"({"returnCode":"429","returnDesc":"slow"})");
  tooMany.retryAfter = std::chrono::seconds(2);
  transport_->answer(tooMany);
  ASSERT_EQ(limiter->slowDowns, (std::vector<std::chrono::nanoseconds>{2s}));
  transport_->fireNextTimer();            // the retry pause
  ASSERT_EQ(limiter->grants.size(), 1U);  // the retry asks for its own permit
  limiter->grantNext(0s);
  transport_->runPosted();
  transport_->reply(200, kReply);
  transport_->runPosted();
  EXPECT_TRUE(call.get().ok());
  EXPECT_EQ(transport_->requestCount(), 2U);
}

// A call cancelled during its retry pause asks for no further permit when the pause ends.
TEST_F(FlowControlTest, ACallCancelledInItsPauseTakesNoMorePermits) {
  auto limiter = std::make_shared<ManualLimiter>();
  SiteClient client(options().setRateLimiter(limiter));
  auto call = client.timezone(someRequest());
  transport_->runPosted();
  limiter->grantNext(0s);
  transport_->runPosted();
  transport_->reply(503, "");
  call.cancel();
  transport_->runUntilIdle();  // the pause's timer fires too
  EXPECT_TRUE(limiter->grants.empty());
  EXPECT_EQ(transport_->requestCount(), 1U);
  EXPECT_EQ(call.get().error().code, codeOf(TransportErrorCode::cancelled));
}

// Which replies slow a shared limiter down, and for how long before the limiter's own cap.
TEST(RatePermit, OnlyTooManyRequestsAndUnavailableAskToSlowDown) {
  const auto none = std::nullopt;
  const struct {
    long status;
    std::optional<std::chrono::seconds> retryAfter;
    bool honour;
    std::optional<std::chrono::nanoseconds> pause;
  } cases[] = {{200, 86400s, true, none}, {500, 86400s, true, none}, {429, 2s, true, 2s},
               {429, none, true, 1s},     {503, 3s, true, 3s},       {503, none, true, none},
               {429, 86400s, false, 1s},  {503, 86400s, false, none}};
  for (const auto& c : cases) {
    HttpOutcome reply = testkit::httpReply(c.status);
    reply.retryAfter = c.retryAfter;
    const RetryPolicy policy = RetryPolicy().setHonourRetryAfter(c.honour);
    EXPECT_EQ(internal::RatePermit::slowDownAskedBy(reply, policy), c.pause)
        << c.status << " honoured " << c.honour;
  }
}

TEST_F(FlowControlTest, HandlersRunOnTheExecutorOnceAndCannotWaitThere) {
  std::vector<std::function<void()>> tasks;
  SiteClient client(options().setHandlerExecutor(
      [&tasks](std::function<void()> task) { tasks.push_back(std::move(task)); }));
  auto other = client.timezone(someRequest());
  int handled = 0;
  std::optional<std::int64_t> waitedCode;
  client.timezone(someRequest(), CallOptions(), [&](Result<TimezoneResponse> result) {
    ++handled;
    EXPECT_TRUE(result.ok());
    waitedCode = other.get().error().code;
  });
  transport_->runPosted();
  transport_->runPosted();
  ASSERT_EQ(transport_->pendingRequestCount(), 2U);
  transport_->answer(testkit::httpReply(200, kReply));  // `other` ends first...
  transport_->answer(testkit::httpReply(200, kReply));
  transport_->runUntilIdle();
  EXPECT_EQ(handled, 0);  // nothing runs on the library thread
  ASSERT_EQ(tasks.size(), 2U);
  tasks[1]();
  EXPECT_EQ(handled, 1);
  // `other` was handed to the executor but its task has not run: waiting would never end.
  EXPECT_EQ(waitedCode, codeOf(TransportErrorCode::calledOnLibraryThread));
  tasks[0]();
  EXPECT_TRUE(other.get().ok());
}

TEST_F(FlowControlTest, ObserverSeesEveryCallInOrderAndItsExceptionsAreDropped) {
  auto observer = std::make_shared<RecordingObserver>();
  SiteClient client(options().setObserver(observer));
  auto call = client.timezone(someRequest());
  transport_->runPosted();
  transport_->reply(503, "");
  transport_->fireNextTimer();
  transport_->runPosted();
  transport_->reply(200, kReply);
  transport_->runPosted();
  ASSERT_TRUE(call.get().ok());
  const std::string received = std::to_string(std::string(kReply).size());
  EXPECT_EQ(observer->lines,
            (std::vector<std::string>{"start timezone", "attempt 1 503 sent>0:1 received:0",
                                      "attempt 2 200 sent>0:1 received:" + received, "end 2 ok"}));

  auto failing =
      client.timezone(someRequest(), CallOptions().setRetryPolicy(RetryPolicy().setMaxAttempts(1)));
  transport_->runPosted();
  transport_->fail(HttpOutcome::Failure::connectionFailed);
  transport_->runPosted();
  ASSERT_TRUE(failing.done());  // one attempt only: get() below would wait for ever
  EXPECT_EQ(observer->lines.back(), "end 1 error 3");
  EXPECT_EQ(observer->lines[observer->lines.size() - 2],
            "attempt 1 0 failure 3 sent>0:1 received:0");
  EXPECT_EQ(failing.get().error().userInfo.count("detail"), 1U);
  for (const auto& [name, value] : failing.get().error().userInfo) {
    EXPECT_EQ(value.find("SECRET-KEY"), std::string::npos) << name;
  }

  // A call refused before sending is told too, without attempts.
  SiteClient noKey(options().setApiKey("").setObserver(observer));
  const std::size_t before = observer->lines.size();
  noKey.timezone(someRequest());
  transport_->runPosted();
  const std::string noKeyCode = std::to_string(codeOf(TransportErrorCode::invalidApiKey));
  EXPECT_EQ(std::vector<std::string>(observer->lines.begin() + before, observer->lines.end()),
            (std::vector<std::string>{"start timezone", "end 0 error " + noKeyCode}));
}

}  // namespace
}  // namespace orvane::site
