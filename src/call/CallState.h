#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "call/CallLife.h"
#include "orvane/site/Error.h"
#include "orvane/site/Result.h"
#include "orvane/site/RetryPolicy.h"
#include "orvane/site/responses/BaseResponse.h"
#include "orvane/site/transport/HttpTransport.h"
#include "pipeline/Admission.h"
#include "pipeline/AttemptRecord.h"
#include "pipeline/CallDeadline.h"
#include "pipeline/CallReport.h"
#include "pipeline/RatePermit.h"

namespace orvane::site::internal {

class ClientCore;

/// One call of an option client from its start to its one delivery. It runs the call through
/// the pipeline's stages (admission, rate permit, deadline, attempt, reply rules, retry) and
/// keeps the call's life: its states, its result, the one delivery, get/waitFor/cancel.
///
/// Steps run on the transport's delivery thread (the library thread for curl); `cancel`, `get`
/// and `waitFor` on any thread. The call ends exactly once, by its reply, its last failure,
/// its deadline, cancellation or the client's end; its handler then runs once, never inside
/// the operation call.
class CallState : public std::enable_shared_from_this<CallState>,
                  public CallLife,
                  public Admission::Waiter {
 public:
  using Clock = std::chrono::steady_clock;

  /// What one call needs, resolved from the client's options and the call's own.
  struct Setup {
    /// The operation's name ("timezone", ...), for observers and logs.
    const char* operation = "";
    /// The address with the key, kept by the client (which the call holds).
    const std::string* url = nullptr;
    std::string body;
    std::chrono::nanoseconds attemptTimeout{0};
    std::chrono::nanoseconds deadline{0};
    RetryPolicy retryPolicy;
  };

  /// Starts `fresh` (a new call, whose ownership passes here): its first step is posted to the
  /// transport. When `failure` is given the call is not sent but ends with it (delivered the
  /// same way).
  static std::shared_ptr<CallState> start(CallState* fresh, std::optional<Error> failure);

  ~CallState() override = default;
  CallState(const CallState&) = delete;
  CallState& operator=(const CallState&) = delete;

  void cancel() override;
  bool done() const override;
  bool takePlace() override;
  Result<BaseResponse> get() override;
  std::optional<Result<BaseResponse>> waitFor(std::chrono::nanoseconds wait) override;

  /// The call's place in its client's list of calls under way; only the client touches it,
  /// under its own lock. `self` keeps a tracked call alive (a call waiting for a permit is held
  /// by nothing else) until the client lets it go.
  struct TrackLink {
    CallState* previous = nullptr;
    CallState* next = nullptr;
    std::shared_ptr<CallState> self;
  };
  TrackLink& trackLink() noexcept { return trackLink_; }

 protected:
  CallState(std::shared_ptr<ClientCore> core, Setup setup);

  /// Decodes a 200 reply into the operation's response.
  virtual Result<BaseResponse> decodeReply(const std::string& body) const = 0;
  /// Runs the caller's handler, if there is one, with `result`; called once.
  virtual void runHandler(const Result<BaseResponse>& result) = 0;

 private:
  std::optional<Error> enter(bool& queued);
  void begin();
  void armDeadline();
  void sendAttempt();
  void transmit(int attempt);
  void onOutcome(int attempt, const HttpOutcome& outcome);
  void retryOrEnd(Error error, std::optional<std::chrono::nanoseconds> retryAfter);
  void end(Result<BaseResponse> result);
  void handOver();
  void deliver();
  bool ended() const;
  void endWithFailure(const char* what, const std::exception& problem);

  const std::shared_ptr<ClientCore> core_;
  const std::shared_ptr<HttpTransport> transport_;
  const Setup setup_;
  const Clock::time_point startedAt_;
  const CallReport report_;
  const RatePermit permit_;
  CallDeadline deadline_;

  mutable std::mutex mutex_;
  std::condition_variable delivered_;
  std::optional<Result<BaseResponse>> result_;
  bool ended_ = false;
  // The handler has returned (or there was none): get() and waitFor() may return.
  bool finished_ = false;
  // The result is being handed to the handler (it is known inside the handler itself).
  bool deliveryStarted_ = false;
  bool tracked_ = false;
  bool holdsPlace_ = false;
  bool waitingForPlace_ = false;
  // The latest attempt's time-out is the deadline: its time-out is the deadline passing.
  bool attemptBoundByDeadline_ = false;
  AttemptRecord attempts_;
  std::chrono::nanoseconds paused_{0};
  std::chrono::nanoseconds clientQueueWait_{0};
  std::shared_ptr<HttpTransport::Exchange> exchange_;
  TrackLink trackLink_;
};

}  // namespace orvane::site::internal
