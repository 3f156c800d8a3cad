#include "call/CallState.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <utility>

#include "call/ClientCore.h"
#include "call/DeliveryScope.h"
#include "call/Lifecycle.h"
#include "orvane/site/ErrorDomain.h"
#include "orvane/site/TransportErrorCode.h"
#include "pipeline/ReplyRules.h"
#include "pipeline/RetryStep.h"

namespace orvane::site::internal {
namespace {

constexpr const char* kJsonMediaType = "application/json";

std::uint64_t nextCallId() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

// The code an attempt cut short by the call's end reports: the end's own transport code.
std::int64_t codeOfEnd(const Result<BaseResponse>& result) {
  if (!result.ok() && result.error().domain == ErrorDomain::transportError) {
    return result.error().code;
  }
  return static_cast<std::int64_t>(TransportErrorCode::otherFailure);
}

}  // namespace

CallState::CallState(std::shared_ptr<ClientCore> core, Setup setup)
    : core_(std::move(core)),
      transport_(core_->transport()),
      setup_(std::move(setup)),
      startedAt_(Clock::now()),
      report_(core_->options().observer(), setup_.operation, nextCallId()),
      permit_(core_->options().rateLimiter(), transport_) {
  deadline_.startAt(startedAt_, setup_.deadline);
}

std::shared_ptr<CallState> CallState::start(CallState* fresh, std::optional<Error> failure) {
  // Not make_shared: timers that outlive the call (its deadline, a dropped pause) hold it weakly,
  // and a weak reference to a make_shared object keeps the whole object's memory until the timer
  // fires. Apart, only the small control block waits, so memory does not grow with finished calls.
  std::shared_ptr<CallState> call(fresh);
  bool queued = false;
  if (!failure) failure = call->enter(queued);
  if (failure) {
    if (!call->tracked_) {
      // Refused before it was tracked (no key, a bad host, shut down): observers still see it
      // start and end, so that no call goes uncounted.
      call->report_.start();
      call->report_.end(Result<BaseResponse>(*failure), 0, Clock::now() - call->startedAt_);
    }
    call->end(std::move(*failure));
    return call;
  }
  try {
    if (queued) {
      call->armDeadline();  // the wait for a place counts towards the deadline
    } else {
      call->transport_->post([call] { call->begin(); });
    }
  } catch (const std::exception& problem) {
    call->endWithFailure("the call could not be started: ", problem);
  }
  return call;
}

std::optional<Error> CallState::enter(bool& queued) {
  if (!Lifecycle::instance().accepting()) {
    return makeTransportError(TransportErrorCode::libraryShutDown);
  }
  // Counted before the client can see it, so a cancellation from another thread finds the call
  // fully registered.
  tracked_ = true;
  Lifecycle::instance().callStarted();
  if (std::optional<Error> refused = core_->track(shared_from_this())) {
    tracked_ = false;
    Lifecycle::instance().callEnded();
    return refused;
  }
  // Observers see every accepted call, one refused for a full queue included, start and end.
  report_.start();
  {
    // Marked first: the place may be handed over from another thread at once.
    std::lock_guard<std::mutex> lock(mutex_);
    waitingForPlace_ = true;
  }
  const Admission::Answer answer = core_->admission().admit(shared_from_this());
  // A queued call may have been handed its place already: only the answer says it waited.
  queued = answer == Admission::Answer::queued;
  if (queued) return std::nullopt;
  std::lock_guard<std::mutex> lock(mutex_);
  waitingForPlace_ = false;
  if (answer == Admission::Answer::granted) {
    holdsPlace_ = true;
    return std::nullopt;
  }
  return makeTransportError(TransportErrorCode::queueFull, std::nullopt,
                            std::to_string(core_->admission().maxQueued()) + " calls wait already");
}

bool CallState::takePlace() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_ || !waitingForPlace_) return false;
    waitingForPlace_ = false;
    holdsPlace_ = true;
    clientQueueWait_ = Clock::now() - startedAt_;
  }
  auto self = shared_from_this();
  try {
    transport_->post([self] { self->begin(); });
  } catch (const std::exception& problem) {
    endWithFailure("the call could not be started: ", problem);
  }
  return true;
}

void CallState::begin() {
  if (ended()) return;
  sendAttempt();
  // Armed after the first send, so a transport that runs timers at once still sees the reply
  // first.
  armDeadline();
}

void CallState::armDeadline() {
  if (ended()) return;
  std::weak_ptr<CallState> weak = weak_from_this();
  try {
    deadline_.arm(*transport_, [weak] {
      // A call that ended before its deadline needs no error built for it.
      if (auto call = weak.lock(); call && !call->ended()) call->end(call->deadline_.error());
    });
  } catch (const std::exception& problem) {
    endWithFailure("the deadline could not be set: ", problem);
  }
}

void CallState::sendAttempt() {
  int attempt = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    attempt = attempts_.next(Clock::now());
  }
  std::weak_ptr<CallState> weak = weak_from_this();
  permit_.await(
      [weak, attempt] {
        if (auto call = weak.lock()) call->transmit(attempt);
      },
      [weak](Error error) {
        if (auto call = weak.lock()) call->end(std::move(error));
      });
}

void CallState::transmit(int attempt) {
  HttpRequest request;
  request.method = "POST";
  request.url = *setup_.url;
  request.headers = {{"Content-Type", kJsonMediaType}, {"Accept", kJsonMediaType}};
  request.body = setup_.body;
  request.timeoutSeconds = std::chrono::duration<double>(setup_.attemptTimeout).count();
  request.deadline = deadline_.at();
  request.pool = core_->connectionPool();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_ || attempt != attempts_.current()) return;
    const auto now = Clock::now();
    attemptBoundByDeadline_ = deadline_.boundsAttempt(now, setup_.attemptTimeout);
    attempts_.send(now, request.url.size() + setup_.body.size(), clientQueueWait_);
  }
  auto self = shared_from_this();
  std::shared_ptr<HttpTransport::Exchange> exchange;
  try {
    exchange = transport_->sendCancellable(
        std::move(request),
        [self, attempt](const HttpOutcome& outcome) { self->onOutcome(attempt, outcome); });
  } catch (const std::exception& problem) {
    endWithFailure("the transport could not send: ", problem);
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

void CallState::onOutcome(int attempt, const HttpOutcome& outcome) {
  std::optional<CallObserver::Attempt> event;
  bool boundByDeadline = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_ || attempt != attempts_.current()) return;  // a late reply of a cancelled exchange
    exchange_.reset();
    std::optional<std::int64_t> failure;
    if (outcome.failure != HttpOutcome::Failure::none) {
      failure = static_cast<std::int64_t>(transportCodeOf(outcome.failure));
    }
    event = attempts_.close(Clock::now(), outcome.statusCode, failure, outcome.body.size(),
                            outcome.queueWait, outcome.protocol);
    boundByDeadline = attemptBoundByDeadline_;
  }
  if (event) report_.attempt(*event);
  const RetryPolicy& policy = setup_.retryPolicy;
  // The service asks its callers to slow down: every client sharing the limiter does.
  permit_.afterReply(outcome, policy);
  const std::vector<std::string>& secrets = core_->keySecrets();
  ReplyVerdict verdict = classifyReply(outcome, secrets, SuccessBody::leftToDecoder);
  if (verdict.kind == ReplyVerdict::Kind::success) {
    // The parser checks UTF-8 as it reads, so a reply is read once when it decodes; only a
    // failure is looked at again, to tell text that is not UTF-8 from JSON that is wrong.
    Result<BaseResponse> decoded = decodeReply(outcome.body);
    if (!decoded.ok()) {
      ReplyVerdict checked = classifyReply(outcome, secrets, SuccessBody::checked);
      if (checked.error) decoded = Result<BaseResponse>(std::move(*checked.error));
    }
    end(std::move(decoded));
    return;
  }
  const bool timedOut = verdict.kind == ReplyVerdict::Kind::noReply &&
                        verdict.failure == TransportErrorCode::timedOut;
  if (timedOut && (boundByDeadline || Clock::now() >= deadline_.at())) {
    // The transport's time-out of this attempt was the call's deadline: one cause, one code.
    end(deadline_.error());
    return;
  }
  if (!policyRetries(policy, verdict)) {
    end(std::move(*verdict.error));
    return;
  }
  retryOrEnd(std::move(*verdict.error), askedPause(outcome));
}

void CallState::retryOrEnd(Error error, std::optional<std::chrono::nanoseconds> retryAfter) {
  int attempts = 0;
  std::chrono::nanoseconds paused{0};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    attempts = attempts_.current();
    paused = paused_;
  }
  error.userInfo["attempts"] = std::to_string(attempts);
  // Pauses count even where the transport's clock is not the real one (tests on fake time).
  const std::chrono::nanoseconds elapsed =
      std::max<std::chrono::nanoseconds>(Clock::now() - startedAt_, paused);
  const RetryPlan plan =
      planPolicyRetry(setup_.retryPolicy, attempts, paused, elapsed, setup_.deadline, retryAfter);
  if (!plan.pause) {
    if (!plan.detail.empty()) error.userInfo["detail"] = plan.detail;
    end(std::move(error));
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    paused_ += *plan.pause;
  }
  std::weak_ptr<CallState> weak = weak_from_this();
  try {
    // Holds the call weakly: a cancelled call's pause leaves nothing behind but an empty timer.
    transport_->runAfter(*plan.pause, [weak] {
      if (auto call = weak.lock()) call->sendAttempt();
    });
  } catch (const std::exception& problem) {
    error.userInfo["detail"] = std::string("the retry could not be scheduled: ") + problem.what();
    end(std::move(error));
  }
}

void CallState::cancel() { end(makeTransportError(TransportErrorCode::cancelled)); }

void CallState::endWithFailure(const char* what, const std::exception& problem) {
  end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                         std::string(what) + problem.what()));
}

void CallState::end(Result<BaseResponse> result) {
  std::shared_ptr<HttpTransport::Exchange> exchange;
  std::optional<CallObserver::Attempt> cutShort;
  bool heldPlace = false;
  bool wasWaiting = false;
  int attemptsSent = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    ended_ = true;
    exchange = std::move(exchange_);
    heldPlace = std::exchange(holdsPlace_, false);
    wasWaiting = std::exchange(waitingForPlace_, false);
    // An attempt under way when the call ends (cancel, deadline, shutdown) is told once too.
    cutShort = attempts_.close(Clock::now(), 0, codeOfEnd(result), 0, {});
    attemptsSent = attempts_.sent();
  }
  if (exchange) exchange->cancel();
  if (cutShort) report_.attempt(*cutShort);
  if (wasWaiting) core_->admission().forget(this);
  if (heldPlace) core_->admission().release();
  if (tracked_) {
    report_.end(result, attemptsSent, Clock::now() - startedAt_);
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

}  // namespace orvane::site::internal
