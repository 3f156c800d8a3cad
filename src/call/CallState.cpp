#include "call/CallState.h"

#include <simdjson.h>

#include <algorithm>
#include <exception>
#include <utility>

#include "call/ClientCore.h"
#include "call/DeliveryScope.h"
#include "call/Lifecycle.h"
#include "internal/ReplyErrors.h"
#include "orvane/site/TransportErrorCode.h"

namespace orvane::site::internal {
namespace {

constexpr const char* kJsonMediaType = "application/json";

TransportErrorCode codeOf(HttpOutcome::Failure failure) {
  switch (failure) {
    case HttpOutcome::Failure::connectionFailed:
      return TransportErrorCode::connectionFailed;
    case HttpOutcome::Failure::timedOut:
      return TransportErrorCode::timedOut;
    case HttpOutcome::Failure::tlsFailure:
      return TransportErrorCode::tlsFailure;
    case HttpOutcome::Failure::none:
    case HttpOutcome::Failure::otherFailure:
      break;
  }
  return TransportErrorCode::otherFailure;
}

std::string millisecondsText(std::chrono::nanoseconds time) {
  return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(time).count()) +
         " ms";
}

}  // namespace

CallState::CallState(std::shared_ptr<ClientCore> core, Setup setup)
    : core_(std::move(core)), transport_(core_->transport()), setup_(std::move(setup)) {}

std::shared_ptr<CallState> CallState::start(std::shared_ptr<ClientCore> core, Setup setup,
                                            std::optional<Error> failure) {
  auto call = std::make_shared<CallState>(std::move(core), std::move(setup));
  call->startedAt_ = Clock::now();
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
    }
  }
  if (failure) {
    call->end(std::move(*failure));
    return call;
  }
  try {
    call->transport_->post([call] { call->begin(); });
  } catch (const std::exception& problem) {
    call->end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                                 std::string("the call could not be started: ") + problem.what()));
  }
  return call;
}

void CallState::begin() {
  if (ended()) return;
  // The deadline holds whatever the transport does: a timer of the call's own ends it.
  std::weak_ptr<CallState> weak = weak_from_this();
  const auto left = setup_.deadline - (Clock::now() - startedAt_);
  try {
    transport_->runAfter(left, [weak] {
      if (auto call = weak.lock()) {
        call->end(makeTransportError(
            TransportErrorCode::deadlineExceeded, std::nullopt,
            "the call's deadline of " + millisecondsText(call->setup_.deadline) + " passed"));
      }
    });
  } catch (const std::exception& problem) {
    end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                           std::string("the deadline could not be set: ") + problem.what()));
    return;
  }
  sendAttempt();
}

void CallState::sendAttempt() {
  int attempt = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    attempt = ++attempts_;
  }
  HttpRequest request;
  request.method = "POST";
  request.url = setup_.url;
  request.headers = {{"Content-Type", kJsonMediaType}, {"Accept", kJsonMediaType}};
  request.body = setup_.body;
  request.timeoutSeconds = std::chrono::duration<double>(setup_.attemptTimeout).count();
  request.deadline = startedAt_ + std::chrono::duration_cast<Clock::duration>(setup_.deadline);
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
  const RetryPolicy& policy = setup_.retryPolicy;
  const long status = outcome.statusCode;
  if (outcome.failure != HttpOutcome::Failure::none) {
    const TransportErrorCode code = codeOf(outcome.failure);
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
  if (!simdjson::validate_utf8(outcome.body.data(), outcome.body.size())) {
    end(makeTransportError(TransportErrorCode::bodyNotUtf8, status));
    return;
  }
  if (status == 200) {
    end(setup_.decode(outcome.body));
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
  Error error = errorOfReply(status, outcome.body, notAnEnvelope);
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    ended_ = true;
    exchange = std::move(exchange_);
  }
  if (exchange) exchange->cancel();
  auto self = shared_from_this();
  if (tracked_) {
    core_->untrack(this);
    Lifecycle::instance().callEnded();
  }
  try {
    transport_->post([self, result]() mutable { self->deliver(std::move(result)); });
  } catch (...) {
    deliver(std::move(result));  // no delivery thread could be reached: answering late beats never
  }
}

void CallState::deliver(Result<BaseResponse> result) {
  Handler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_ = result;
    handler = std::move(setup_.handler);
    setup_.handler = nullptr;
  }
  delivered_.notify_all();
  if (!handler) return;
  DeliveryScope scope;
  try {
    handler(std::move(result));
  } catch (...) {
    // A handler's exception goes no further: the library thread serves every other call.
  }
}

bool CallState::ended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

bool CallState::done() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return result_.has_value();
}

Result<BaseResponse> CallState::get() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (result_) return *result_;
  if (DeliveryScope::active()) {
    return makeTransportError(TransportErrorCode::calledOnLibraryThread, std::nullopt,
                              "waiting here would keep the call from ever ending");
  }
  delivered_.wait(lock, [this] { return result_.has_value(); });
  return *result_;
}

std::optional<Result<BaseResponse>> CallState::waitFor(std::chrono::nanoseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (result_) return *result_;
  if (DeliveryScope::active()) {
    return Result<BaseResponse>(
        makeTransportError(TransportErrorCode::calledOnLibraryThread, std::nullopt,
                           "waiting here would keep the call from ever ending"));
  }
  if (!delivered_.wait_for(lock, wait, [this] { return result_.has_value(); })) {
    return std::nullopt;
  }
  return *result_;
}

std::string CallState::redacted(std::string text) const {
  const std::string& secret = setup_.secret;
  if (secret.empty()) return text;
  for (std::size_t at = text.find(secret); at != std::string::npos;
       at = text.find(secret, at + 3)) {
    text.replace(at, secret.size(), "***");
  }
  return text;
}

}  // namespace orvane::site::internal
