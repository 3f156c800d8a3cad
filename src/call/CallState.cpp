#include "call/CallState.h"

#include <simdjson.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <utility>

#include "call/ClientCore.h"
#include "call/DeliveryScope.h"
#include "call/Lifecycle.h"
#include "internal/ReplyErrors.h"
#include "orvane/site/CallObserver.h"
#include "orvane/site/RateLimiter.h"
#include "orvane/site/TransportErrorCode.h"
#include "transport/SecretMask.h"

namespace orvane::site::internal {
namespace {

constexpr const char* kJsonMediaType = "application/json";

// Tells an observer of an event; whatever it throws is dropped.
template <class Tell>
void notify(const std::shared_ptr<CallObserver>& observer, Tell tell) {
  if (!observer) return;
  try {
    tell(*observer);
  } catch (...) {
    // An observer's failure must not change the call.
  }
}

std::string millisecondsText(std::chrono::nanoseconds time) {
  return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(time).count()) +
         " ms";
}

// Only a 429 or a 503 asks callers to slow down; a Retry-After on any other reply means nothing
// here. The header counts only where the policy honours it; a bare 429 still slows for a second.
std::optional<std::chrono::nanoseconds> slowDownAskedBy(
    long status, const std::optional<std::chrono::seconds>& retryAfter, const RetryPolicy& policy) {
  if (status != 429 && status != 503) return std::nullopt;
  if (retryAfter && policy.honourRetryAfter()) return std::chrono::nanoseconds(*retryAfter);
  if (status == 429) return std::chrono::nanoseconds(std::chrono::seconds(1));
  return std::nullopt;
}

}  // namespace

CallState::CallState(std::shared_ptr<ClientCore> core, Setup setup)
    : core_(std::move(core)), transport_(core_->transport()), setup_(std::move(setup)) {}

std::shared_ptr<CallState> CallState::start(CallState* fresh, std::optional<Error> failure) {
  static std::atomic<std::uint64_t> nextCallId{1};
  // Not make_shared: timers that outlive the call (its deadline, a dropped pause) hold it weakly,
  // and a weak reference to a make_shared object keeps the whole object's memory until the timer
  // fires. Apart, only the small control block waits, so memory does not grow with finished calls.
  std::shared_ptr<CallState> call(fresh);
  call->startedAt_ = Clock::now();
  call->callId_ = nextCallId.fetch_add(1, std::memory_order_relaxed);
  if (!failure && !Lifecycle::instance().accepting()) {
    failure = makeTransportError(TransportErrorCode::libraryShutDown);
  }
  if (!failure) {
    // Counted before the client can see it, so a cancellation from another thread finds the
    // call fully registered.
    call->tracked_ = true;
    Lifecycle::instance().callStarted();
    failure = call->core_->track(call);
    if (failure) {
      call->tracked_ = false;
      Lifecycle::instance().callEnded();
    } else {
      // Observers see every accepted call, a refused one (queue full) included, start and end.
      call->reportStart();
    }
  }
  ClientCore::Admission admission = ClientCore::Admission::granted;
  if (!failure) {
    {
      // Marked first: the place may be handed over from another thread at once.
      std::lock_guard<std::mutex> lock(call->mutex_);
      call->waitingForSlot_ = true;
    }
    admission = call->core_->admit(call);
    std::lock_guard<std::mutex> lock(call->mutex_);
    if (admission == ClientCore::Admission::granted) {
      call->waitingForSlot_ = false;
      call->holdsSlot_ = true;
    } else if (admission == ClientCore::Admission::full) {
      call->waitingForSlot_ = false;
    }
  }
  if (!failure && admission == ClientCore::Admission::full) {
    failure = makeTransportError(
        TransportErrorCode::queueFull, std::nullopt,
        std::to_string(call->core_->options().maxQueuedCalls()) + " calls wait already");
  }
  if (failure) {
    if (!call->tracked_) {
      // Refused before it was tracked (no key, a bad host, shut down): observers still see it
      // start and end, so that no call goes uncounted.
      call->reportStart();
      call->reportEnd(Result<BaseResponse>(*failure));
    }
    call->end(std::move(*failure));
    return call;
  }
  try {
    if (admission == ClientCore::Admission::queued) {
      call->armDeadline();  // the wait for a place counts towards the deadline
    } else {
      call->transport_->post([call] { call->begin(); });
    }
  } catch (const std::exception& problem) {
    call->end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                                 std::string("the call could not be started: ") + problem.what()));
  }
  return call;
}

bool CallState::takeSlot() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_ || !waitingForSlot_) return false;
    waitingForSlot_ = false;
    holdsSlot_ = true;
    queueWait_ = Clock::now() - startedAt_;
  }
  auto self = shared_from_this();
  try {
    transport_->post([self] { self->begin(); });
  } catch (const std::exception& problem) {
    end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                           std::string("the call could not be started: ") + problem.what()));
  }
  return true;
}

void CallState::begin() {
  if (ended()) return;
  sendAttempt();
  armDeadline();
}

void CallState::armDeadline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (deadlineArmed_ || ended_) return;
    deadlineArmed_ = true;
  }
  // The deadline holds whatever the transport does: a timer of the call's own ends it. For a
  // call that got its place at once it is armed after the first send, so a transport that runs
  // timers at once still sees the reply first.
  std::weak_ptr<CallState> weak = weak_from_this();
  const auto left = setup_.deadline - (Clock::now() - startedAt_);
  try {
    transport_->runAfter(left, [weak] {
      // A call that ended before its deadline needs no error built for it.
      if (auto call = weak.lock(); call && !call->ended()) {
        call->end(makeTransportError(
            TransportErrorCode::deadlineExceeded, std::nullopt,
            "the call's deadline of " + millisecondsText(call->setup_.deadline) + " passed"));
      }
    });
  } catch (const std::exception& problem) {
    end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                           std::string("the deadline could not be set: ") + problem.what()));
  }
}

void CallState::sendAttempt() {
  int attempt = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    attempt = ++attempts_;
    permitAskedAt_ = Clock::now();
  }
  const std::shared_ptr<RateLimiter>& limiter = core_->options().rateLimiter();
  if (!limiter) {
    transmit(attempt);
    return;
  }
  // One permit per attempt. The grant may come inside acquire or later on any thread; the
  // send itself always goes through the transport (a timer for a wait), never inside acquire.
  std::weak_ptr<CallState> weak = weak_from_this();
  try {
    limiter->acquire([weak, attempt](std::chrono::nanoseconds wait) {
      if (auto call = weak.lock()) call->afterPermit(attempt, wait);
    });
  } catch (const std::exception& problem) {
    end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                           std::string("the rate limiter failed: ") + problem.what()));
  }
}

void CallState::afterPermit(int attempt, std::chrono::nanoseconds wait) {
  std::weak_ptr<CallState> weak = weak_from_this();
  auto send = [weak, attempt] {
    if (auto call = weak.lock()) call->transmit(attempt);
  };
  try {
    if (wait > std::chrono::nanoseconds::zero()) {
      transport_->runAfter(wait, std::move(send));
    } else {
      transport_->post(std::move(send));
    }
  } catch (const std::exception& problem) {
    end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                           std::string("the send could not be scheduled: ") + problem.what()));
  }
}

void CallState::transmit(int attempt) {
  HttpRequest request;
  request.method = "POST";
  request.url = *setup_.url;
  request.headers = {{"Content-Type", kJsonMediaType}, {"Accept", kJsonMediaType}};
  request.body = setup_.body;
  request.timeoutSeconds = std::chrono::duration<double>(setup_.attemptTimeout).count();
  request.deadline = startedAt_ + std::chrono::duration_cast<Clock::duration>(setup_.deadline);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_ || attempt != attempts_) return;
    attemptSentAt_ = Clock::now();
    limiterWait_ = attemptSentAt_ - permitAskedAt_;
    bytesSent_ = request.url.size() + setup_.body.size();
  }
  auto self = shared_from_this();
  std::shared_ptr<HttpTransport::Exchange> exchange;
  try {
    exchange = transport_->sendCancellable(
        std::move(request),
        [self, attempt](HttpOutcome outcome) { self->onOutcome(attempt, std::move(outcome)); });
  } catch (const std::exception& problem) {
    end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                           std::string("the transport could not send: ") + problem.what()));
    return;
  }
  bool endedMeanwhile = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    endedMeanwhile = ended_;
    if (!endedMeanwhile) exchange_ = exchange;
  }
  if (endedMeanwhile && exchange) exchange->cancel();
}

void CallState::onOutcome(int attempt, HttpOutcome outcome) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_ || attempt != attempts_) return;  // a late reply of a cancelled exchange
    exchange_.reset();
  }
  reportAttempt(attempt, outcome);
  const RetryPolicy& policy = setup_.retryPolicy;
  const long status = outcome.statusCode;
  if (const auto pause = slowDownAskedBy(status, outcome.retryAfter, policy)) {
    // The service asks its callers to slow down: every client sharing the limiter does, for a
    // pause the limiter caps.
    if (const auto& limiter = core_->options().rateLimiter()) {
      try {
        limiter->slowDown(*pause);
      } catch (...) {
        // A limiter's failure to slow down must not end the call.
      }
    }
  }
  if (outcome.failure != HttpOutcome::Failure::none) {
    const TransportErrorCode code = transportCodeOf(outcome.failure);
    Error error = makeTransportError(code, status, redacted(outcome.failureDetail));
    const bool retried =
        (code == TransportErrorCode::connectionFailed && policy.retryConnectionFailures()) ||
        (code == TransportErrorCode::timedOut && policy.retryTimeouts());
    if (retried) {
      retryOrEnd(std::move(error), std::nullopt);
    } else {
      end(std::move(error));
    }
    return;
  }
  if (status <= 0) {
    end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                           "the transport gave no HTTP status"));
    return;
  }
  if (status == 200) {
    // The parser checks UTF-8 as it reads, so a reply is read once when it decodes; only a
    // failure is looked at again, to tell text that is not UTF-8 from JSON that is wrong.
    Result<BaseResponse> decoded = decodeReply(outcome.body);
    if (!decoded.ok() && !simdjson::validate_utf8(outcome.body.data(), outcome.body.size())) {
      end(makeTransportError(TransportErrorCode::bodyNotUtf8, status));
    } else {
      end(std::move(decoded));
    }
    return;
  }
  if (!simdjson::validate_utf8(outcome.body.data(), outcome.body.size())) {
    end(makeTransportError(TransportErrorCode::bodyNotUtf8, status));
    return;
  }
  std::optional<std::chrono::nanoseconds> retryAfter;
  if (outcome.retryAfter && (status == 429 || status == 503)) retryAfter = *outcome.retryAfter;
  if (status >= 500) {
    Error error = makeTransportError(TransportErrorCode::serverErrorAfterRetries, status);
    if (policy.retryServerErrors()) {
      retryOrEnd(std::move(error), retryAfter);
    } else {
      end(std::move(error));
    }
    return;
  }
  bool notAnEnvelope = false;
  Error error = errorOfReply(status, outcome.body, notAnEnvelope,
                             transport::keySecrets(core_->options().apiKey()));
  if (status == 429 && policy.retryTooManyRequests()) {
    retryOrEnd(std::move(error), retryAfter);
  } else {
    end(std::move(error));
  }
}

void CallState::retryOrEnd(Error error, std::optional<std::chrono::nanoseconds> retryAfter) {
  const RetryPolicy& policy = setup_.retryPolicy;
  int attempts = 0;
  std::chrono::nanoseconds paused{0};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    attempts = attempts_;
    paused = paused_;
  }
  error.userInfo["attempts"] = std::to_string(attempts);
  if (attempts >= policy.maxAttempts()) {
    end(std::move(error));
    return;
  }
  const std::chrono::nanoseconds pause = policy.pauseBefore(attempts, retryAfter);
  if (policy.retryBudget() && paused + pause > *policy.retryBudget()) {
    error.userInfo["detail"] =
        "the retry budget of " + millisecondsText(*policy.retryBudget()) + " is used up";
    end(std::move(error));
    return;
  }
  // Pauses count even where the transport's clock is not the real one (tests on fake time).
  const std::chrono::nanoseconds elapsed =
      std::max<std::chrono::nanoseconds>(Clock::now() - startedAt_, paused);
  if (elapsed + pause >= setup_.deadline) {
    error.userInfo["detail"] = "the next retry would come after the call's deadline";
    end(std::move(error));
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    paused_ += pause;
  }
  std::weak_ptr<CallState> weak = weak_from_this();
  try {
    // Holds the call weakly: a cancelled call's pause leaves nothing behind but an empty timer.
    transport_->runAfter(pause, [weak] {
      if (auto call = weak.lock()) call->sendAttempt();
    });
  } catch (const std::exception& problem) {
    error.userInfo["detail"] = std::string("the retry could not be scheduled: ") + problem.what();
    end(std::move(error));
  }
}

void CallState::cancel() { end(makeTransportError(TransportErrorCode::cancelled)); }

void CallState::end(Result<BaseResponse> result) {
  std::shared_ptr<HttpTransport::Exchange> exchange;
  bool heldSlot = false;
  bool wasWaiting = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    ended_ = true;
    exchange = std::move(exchange_);
    heldSlot = std::exchange(holdsSlot_, false);
    wasWaiting = std::exchange(waitingForSlot_, false);
  }
  if (exchange) exchange->cancel();
  if (wasWaiting) core_->forgetWaiting(this);
  if (heldSlot) core_->releaseSlot();
  if (tracked_) {
    reportEnd(result);
    core_->untrack(this);
    Lifecycle::instance().callEnded();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_ = std::move(result);
  }
  handOver();
}

void CallState::handOver() {
  // The result waits in the call, so the task is small enough for std::function to hold
  // without an allocation.
  auto self = shared_from_this();
  auto task = [self] { self->deliver(); };
  if (const Executor& executor = core_->handlerExecutor()) {
    try {
      executor(task);
      return;
    } catch (...) {
      // An executor that cannot take the task: the library thread delivers instead.
    }
  }
  try {
    transport_->post(std::move(task));
  } catch (...) {
    task();  // no delivery thread could be reached: answering late beats never
  }
}

void CallState::reportAttempt(int attempt, const HttpOutcome& outcome) {
  const std::shared_ptr<CallObserver>& observer = core_->options().observer();
  if (!observer) return;
  CallObserver::Attempt event;
  event.operation = setup_.operation;
  event.callId = callId_;
  event.attempt = attempt;
  event.statusCode = outcome.statusCode;
  if (outcome.failure != HttpOutcome::Failure::none) {
    event.failure = static_cast<std::int64_t>(transportCodeOf(outcome.failure));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    event.duration = Clock::now() - attemptSentAt_;
    event.bytesSent = bytesSent_;
    event.queueWait = attempt == 1 ? queueWait_ : std::chrono::nanoseconds::zero();
    event.limiterWait = limiterWait_;
  }
  event.bytesReceived = outcome.body.size();
  notify(observer, [&](CallObserver& o) { o.onAttempt(event); });
}

void CallState::reportStart() {
  notify(core_->options().observer(), [this](CallObserver& observer) {
    observer.onCallStart(CallObserver::CallStart{setup_.operation, callId_});
  });
}

void CallState::reportEnd(const Result<BaseResponse>& result) {
  const std::shared_ptr<CallObserver>& observer = core_->options().observer();
  if (!observer) return;
  CallObserver::CallEnd event;
  event.operation = setup_.operation;
  event.callId = callId_;
  event.error = result.ok() ? nullptr : &result.error();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    event.attempts = attempts_;
  }
  event.duration = Clock::now() - startedAt_;
  notify(observer, [&](CallObserver& o) { o.onCallEnd(event); });
}

void CallState::deliver() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    deliveryStarted_ = true;
  }
  {
    // Set once by end() before this task was handed over, and never again: read unlocked.
    DeliveryScope scope;
    try {
      runHandler(*result_);
    } catch (...) {
      // A handler's exception goes no further: the library thread serves every other call.
    }
  }
  // Waiters wake once the handler has returned, so what it did is visible to them.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  delivered_.notify_all();
}

bool CallState::ended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

bool CallState::done() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}

Result<BaseResponse> CallState::get() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (finished_) return *result_;
  if (DeliveryScope::active()) {
    // Inside this call's own handler the result is known already.
    if (deliveryStarted_) return *result_;
    return makeTransportError(TransportErrorCode::calledOnLibraryThread, std::nullopt,
                              "waiting here would keep the call from ever ending");
  }
  delivered_.wait(lock, [this] { return finished_; });
  return *result_;
}

std::optional<Result<BaseResponse>> CallState::waitFor(std::chrono::nanoseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (finished_) return *result_;
  if (DeliveryScope::active()) {
    if (deliveryStarted_) return *result_;
    return Result<BaseResponse>(
        makeTransportError(TransportErrorCode::calledOnLibraryThread, std::nullopt,
                           "waiting here would keep the call from ever ending"));
  }
  if (!delivered_.wait_for(lock, wait, [this] { return finished_; })) return std::nullopt;
  return *result_;
}

std::string CallState::redacted(std::string text) const {
  transport::maskSecrets(text, transport::keySecrets(core_->options().apiKey()));
  return text;
}

}  // namespace orvane::site::internal
