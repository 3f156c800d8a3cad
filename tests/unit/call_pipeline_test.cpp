// The call pipeline's promises: the retry step's plan after a failed attempt, and on fake time,
// a deadline that ends a call with deadlineExceeded in whatever phase it finds it, and every
// attempt that starts told to the observer exactly once, however it ends.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/CallObserver.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/RateLimiter.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/testing/FakeTransport.h"
#include "pipeline/RetryStep.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;
using std::chrono::nanoseconds;
using testkit::FakeTransport;

std::int64_t codeOf(TransportErrorCode code) { return static_cast<std::int64_t>(code); }

TimezoneRequest someRequest() { return TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en"); }

TEST(RetryStep, PlansThePauseBeforeTheNextAttemptOrTheEnd) {
  const RetryPolicy plain = RetryPolicy().setJitter(false);  // 4 attempts, 0.5 s, x2
  RetryPolicy halved;                                        // full jitter
  halved.setRandomSource([] { return 0.5; });
  const auto none = std::nullopt;
  struct Case {
    const char* name;
    RetryPolicy policy;
    int attempts;
    std::optional<nanoseconds> retryAfter;
    std::optional<nanoseconds> pause;  // none: the call ends
    nanoseconds paused = 0s;
    nanoseconds elapsed = 0s;
    nanoseconds deadline = 1h;
  };
  const Case cases[] = {
      {"first", plain, 1, none, 500ms},
      {"grown", plain, 3, none, 2s},
      {"lastAttempt", plain, 4, none, none},
      {"facade", RetryPolicy::specSchedule(), 3, none, 2250ms},
      {"facadeRetryAfter", RetryPolicy::specSchedule(), 1, 5s, 1s},
      {"jitter", halved, 3, none, 1s},
      {"retryAfterLonger", plain, 1, 3s, 3s},
      {"retryAfterShorter", plain, 3, 1s, 2s},
      {"longest", RetryPolicy(plain).setInitialPause(10s).setMultiplier(10).setLongestPause(15s), 2,
       none, 15s},
      {"budgetFilled", RetryPolicy(plain).setRetryBudget(1s), 1, none, 500ms, 500ms},
      {"budgetPassed", RetryPolicy(plain).setRetryBudget(1s), 2, none, none, 500ms},
      {"deadlineNear", plain, 1, none, 500ms, 0s, 600ms, 1200ms},
      {"deadlineReached", plain, 1, none, none, 0s, 700ms, 1200ms},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const internal::RetryPlan plan = internal::planPolicyRetry(c.policy, c.attempts, c.paused,
                                                               c.elapsed, c.deadline, c.retryAfter);
    EXPECT_EQ(plan.pause, c.pause);
    // Only the last attempt needs no word on why no retry came.
    EXPECT_EQ(plan.detail.empty(), c.pause || c.attempts == c.policy.maxAttempts());
  }
}

TEST(RetryStep, APolicyRetriesOnlyTheVerdictsItNames) {
  using Kind = internal::ReplyVerdict::Kind;
  using Code = TransportErrorCode;
  auto retried = [](const RetryPolicy& policy, Kind kind, Code failure = Code::otherFailure) {
    internal::ReplyVerdict verdict;
    verdict.kind = kind;
    verdict.failure = failure;
    return internal::policyRetries(policy, verdict);
  };
  const RetryPolicy standard;
  const RetryPolicy facade = RetryPolicy::specSchedule();  // server errors only
  for (const RetryPolicy& policy : {standard, facade}) {
    EXPECT_TRUE(retried(policy, Kind::serverError));
    EXPECT_FALSE(retried(policy, Kind::noReply, Code::tlsFailure));
    EXPECT_FALSE(retried(policy, Kind::notUtf8));
    EXPECT_FALSE(retried(policy, Kind::errorReply));
  }
  const std::pair<Kind, Code> notByTheFacade[] = {{Kind::tooManyRequests, Code::otherFailure},
                                                  {Kind::noReply, Code::connectionFailed},
                                                  {Kind::noReply, Code::timedOut}};
  for (const auto& [kind, failure] : notByTheFacade) {
    EXPECT_TRUE(retried(standard, kind, failure)) << static_cast<int>(failure);
    EXPECT_FALSE(retried(facade, kind, failure)) << static_cast<int>(failure);
  }
}

// Grants every permit after a fixed wait.
class SlowLimiter final : public RateLimiter {
 public:
  void acquire(Grant grant) override { grant(std::chrono::hours(1)); }
  void slowDown(std::chrono::nanoseconds /*pause*/) override {}
};

// Keeps every attempt and the attempts of every ended call (all on the test's thread).
struct Recorder final : CallObserver {
  void onAttempt(const Attempt& event) override { attempts.push_back(event); }
  void onCallEnd(const CallEnd& event) override { endedAttempts.push_back(event.attempts); }
  std::vector<Attempt> attempts;
  std::vector<int> endedAttempts;
};

class CallPipelineTest : public ::testing::Test {
 protected:
  ClientOptions options() const {
    ClientOptions options;
    options.setApiKey("KEY-A").setHost("127.0.0.1:8443").setTransport(transport_);
    options.setRetryPolicy(RetryPolicy().setJitter(false)).setObserver(recorder_);
    return options;
  }
  void TearDown() override { transport_->dropPending(); }

  std::shared_ptr<FakeTransport> transport_ = std::make_shared<FakeTransport>();
  std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

enum class Phase { queued, waitingForPermit, connecting, inAttempt };

class DeadlinePhaseTest : public CallPipelineTest, public ::testing::WithParamInterface<Phase> {};

TEST_P(DeadlinePhaseTest, EndsWithDeadlineExceeded) {
  const Phase phase = GetParam();
  ClientOptions clientOptions = options().setMaxInFlight(1);
  if (phase == Phase::waitingForPermit)
    clientOptions.setRateLimiter(std::make_shared<SlowLimiter>());
  SiteClient client(clientOptions);
  // In the queued phase a first call holds the client's one place.
  Call<TimezoneResponse> first;
  if (phase == Phase::queued)
    first = client.timezone(someRequest(), CallOptions().setDeadline(60s));
  Call<TimezoneResponse> call =
      client.timezone(someRequest(), CallOptions().setDeadline(2s).setAttemptTimeout(10s));
  transport_->runPosted();
  if (phase == Phase::connecting) {
    // The transport's own time-out of the attempt is what is left of the deadline.
    ASSERT_TRUE(transport_->fail(HttpOutcome::Failure::timedOut));
  } else {
    ASSERT_TRUE(transport_->fireNextTimer());  // the earliest timer: the 2 s deadline
  }
  transport_->runPosted();
  ASSERT_TRUE(call.done());
  const Result<TimezoneResponse> result = call.get();
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().code, codeOf(TransportErrorCode::deadlineExceeded));
  if (phase == Phase::queued) {
    EXPECT_EQ(transport_->requestCount(), 1U);  // only the first call's
  }
}

INSTANTIATE_TEST_SUITE_P(Phases, DeadlinePhaseTest,
                         ::testing::Values(Phase::queued, Phase::waitingForPermit,
                                           Phase::connecting, Phase::inAttempt));

TEST_F(CallPipelineTest, AnAttemptTimeOutWithinTheDeadlineStaysTimedOut) {
  SiteClient client(options().setRetryPolicy(RetryPolicy().setRetryTimeouts(false)));
  Call<TimezoneResponse> call =
      client.timezone(someRequest(), CallOptions().setDeadline(60s).setAttemptTimeout(1s));
  transport_->runPosted();
  ASSERT_TRUE(transport_->fail(HttpOutcome::Failure::timedOut));
  transport_->runPosted();
  EXPECT_EQ(call.get().error().code, codeOf(TransportErrorCode::timedOut));
  EXPECT_EQ(call.get().error().localizedDescription, "Request timed out");
}

enum class Ending { reply, cancel, deadline, clientDestroyed };

class AttemptEndingTest : public CallPipelineTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(AttemptEndingTest, IsToldOnceWithTheEndingsCode) {
  std::optional<SiteClient> client(std::in_place, options());
  Call<TimezoneResponse> call = client->timezone(someRequest(), CallOptions().setDeadline(5s));
  transport_->runPosted();
  ASSERT_EQ(transport_->pendingRequestCount(), 1U);
  std::optional<std::int64_t> expected = codeOf(TransportErrorCode::cancelled);
  HttpOutcome reply = testkit::httpReply(200, R"({"returnCode":"0","returnDesc":"OK"})");
  reply.queueWait = 40ms;  // the transport's own wait for a connection counts as queue wait
  switch (GetParam()) {
    case Ending::reply:
      ASSERT_TRUE(transport_->answer(reply));
      expected = std::nullopt;
      break;
    case Ending::cancel:
      call.cancel();
      break;
    case Ending::deadline:
      ASSERT_TRUE(transport_->fireNextTimer());
      expected = codeOf(TransportErrorCode::deadlineExceeded);
      break;
    case Ending::clientDestroyed:
      client.reset();
      break;
  }
  transport_->runPosted();
  call.cancel();  // a second ending tells nothing more
  ASSERT_EQ(recorder_->attempts.size(), 1U);
  const CallObserver::Attempt& attempt = recorder_->attempts[0];
  EXPECT_EQ(attempt.attempt, 1);
  EXPECT_EQ(attempt.failure, expected);
  EXPECT_GT(attempt.bytesSent, 0U);
  EXPECT_EQ(attempt.queueWait >= 40ms, GetParam() == Ending::reply);
  EXPECT_EQ(recorder_->endedAttempts, std::vector<int>{1});
}

INSTANTIATE_TEST_SUITE_P(Endings, AttemptEndingTest,
                         ::testing::Values(Ending::reply, Ending::cancel, Ending::deadline,
                                           Ending::clientDestroyed));

}  // namespace
}  // namespace orvane::site
