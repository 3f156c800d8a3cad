#include "orvane/site/internal/SiteRequestManager.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "internal/AllocationFault.h"
#include "logging/Logger.h"
#include "orvane/site/ApiContext.h"
#include "orvane/site/ErrorType.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/decode.h"
#include "pipeline/ReplyRules.h"
#include "pipeline/RetryStep.h"
#include "transport/RequestUrl.h"
#include "transport/SecretMask.h"

namespace orvane::site {
namespace {

constexpr std::string_view kGenerateSession = "generateSession(_:)";

// Exactly 1.0 stands for the request default; values that cannot be a time-out fall back to it,
// and very long ones are bounded so that every call ends.
double effectiveTimeout(double seconds) {
  if (seconds == 1.0 || std::isnan(seconds) || seconds <= 0) {
    return SiteRequestManager::kDefaultTimeoutSeconds;
  }
  return std::min(seconds, SiteRequestManager::kLongestTimeoutSeconds);
}

bool isTokenChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::optional<std::string> headerProblem(const std::string& name, const std::string& value) {
  if (name.empty()) return std::string("a header field has an empty name");
  for (char c : name) {
    if (!isTokenChar(c)) return "the name of header field \"" + name + "\" is not an HTTP token";
  }
  for (char c : value) {
    if (c == '\r' || c == '\n' || c == '\0') {
      return "the value of header field \"" + name + "\" holds a line break or NUL";
    }
  }
  return std::nullopt;
}

}  // namespace

std::shared_ptr<SiteRequestManager> SiteRequestManager::create(
    std::string baseUrl, std::string path, std::shared_ptr<ApiContext> apiContext) {
  return std::shared_ptr<SiteRequestManager>(
      new SiteRequestManager(std::move(baseUrl), std::move(path), std::move(apiContext)));
}

SiteRequestManager::SiteRequestManager(std::string baseUrl, std::string path,
                                       std::shared_ptr<ApiContext> apiContext)
    : apiContext_(std::move(apiContext)),
      path_(std::move(path)),
      baseUrl_(std::move(baseUrl)),
      transport_(defaultHttpTransport()) {}

std::shared_ptr<ApiContext> SiteRequestManager::apiContext() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return apiContext_;
}

void SiteRequestManager::setApiContext(std::shared_ptr<ApiContext> apiContext) {
  std::int64_t maxRetry = 0;
  double retryInterval = 0;
  double timeoutInterval = 0;
  if (apiContext) {
    maxRetry = apiContext->maxRetry();
    retryInterval = apiContext->retryInterval();
    timeoutInterval = apiContext->timeoutInterval();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (apiContext) {
    maxRetry_ = maxRetry;
    retryInterval_ = retryInterval;
    timeoutInterval_ = timeoutInterval;
  }
  apiContext_ = std::move(apiContext);
}

std::int64_t SiteRequestManager::maxRetry() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return maxRetry_;
}

void SiteRequestManager::setMaxRetry(std::int64_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  maxRetry_ = value;
}

double SiteRequestManager::retryInterval() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return retryInterval_;
}

void SiteRequestManager::setRetryInterval(double value) {
  std::lock_guard<std::mutex> lock(mutex_);
  retryInterval_ = value;
}

double SiteRequestManager::timeoutInterval() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return timeoutInterval_;
}

void SiteRequestManager::setTimeoutInterval(double value) {
  std::lock_guard<std::mutex> lock(mutex_);
  timeoutInterval_ = value;
}

std::string SiteRequestManager::calledUrl() const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto formed = transport::formRequestUrl(url_, baseUrl_, path_, params_);
  if (auto* address = std::get_if<transport::RequestUrl>(&formed)) {
    return "Optional(" + address->url + ")";
  }
  return "nil";
}

void SiteRequestManager::setParams(std::optional<std::map<std::string, std::string>> params) {
  std::lock_guard<std::mutex> lock(mutex_);
  params_ = std::move(params);
}

void SiteRequestManager::setMode(RequestMode mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  mode_ = mode;
}

void SiteRequestManager::setUrl(std::optional<std::string> url) {
  std::lock_guard<std::mutex> lock(mutex_);
  url_ = std::move(url);
}

void SiteRequestManager::setHeaderValue(const std::string& field, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  headerValues_[field] = value;
}

void SiteRequestManager::setBodyData(std::optional<std::string> body) {
  std::lock_guard<std::mutex> lock(mutex_);
  bodyData_ = std::move(body);
}

void SiteRequestManager::setTransport(std::shared_ptr<HttpTransport> transport) {
  if (!transport) transport = defaultHttpTransport();
  std::lock_guard<std::mutex> lock(mutex_);
  transport_ = std::move(transport);
}

std::string SiteRequestManager::baseUrl() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return baseUrl_;
}

std::string SiteRequestManager::path() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return path_;
}

std::optional<std::map<std::string, std::string>> SiteRequestManager::params() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return params_;
}

RequestMode SiteRequestManager::mode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return mode_;
}

std::optional<std::string> SiteRequestManager::url() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return url_;
}

std::map<std::string, std::string> SiteRequestManager::headerValues() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return headerValues_;
}

std::optional<std::string> SiteRequestManager::bodyData() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bodyData_;
}

std::shared_ptr<HttpTransport> SiteRequestManager::transport() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return transport_;
}

void SiteRequestManager::build(CompletionHandler completion) {
  std::shared_ptr<HttpTransport> transport;
  std::variant<transport::RequestUrl, Error> formed;
  bool startedBefore = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    transport = transport_;
    startedBefore = started_;
    if (!startedBefore) {
      started_ = true;
      completionHandler_ = std::move(completion);
      formed = transport::formRequestUrl(url_, baseUrl_, path_, params_);
      if (params_) {
        if (auto key = params_->find("key"); key != params_->end()) {
          // Every form the key can come back in, worked out once for every mask of this call.
          secrets_ = transport::keySecrets(key->second);
        }
      }
    }
  }
  if (startedBefore) {
    // Moved from only on a first start, never on this path.
    if (!completion) return;  // NOLINT(bugprone-use-after-move)
    // A second start: its own completion learns why, and the call under way goes on.
    Error error = makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                                     "this request manager was already started");
    auto deliver = [completion = std::move(completion), error]() { completion(error, {}); };
    try {
      transport->post(deliver);
    } catch (...) {
      deliver();  // no delivery thread could be reached: answering late beats never
    }
    return;
  }
  if (auto* error = std::get_if<Error>(&formed)) {
    finishLater(std::move(*error));
    return;
  }
  const auto& address = std::get<transport::RequestUrl>(formed);
  generateSession(address.url, address.maskedUrl);
}

void SiteRequestManager::generateSession(const std::string& url, const std::string& maskedUrl) {
  HttpRequest request;
  std::shared_ptr<HttpTransport> transport;
  std::optional<std::string> problem;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    request.method = std::string(rawValue(mode_));
    request.url = url;
    for (const auto& [name, value] : headerValues_) {
      if (!problem) problem = headerProblem(name, value);
      request.headers.emplace_back(name, value);
    }
    request.body = bodyData_;
    request.timeoutSeconds = effectiveTimeout(timeoutInterval_);
    // The time-out counts the wait for a connection too: the exchange ends by this moment,
    // queued or not.
    request.deadline = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(request.timeoutSeconds));
    transport = transport_;
  }
  if (problem) {
    finishLater(makeTransportError(TransportErrorCode::invalidHeader, std::nullopt, *problem));
    return;
  }
  ORVANE_SITE_LOG(kGenerateSession, "Called Url: " + maskedUrl, internal::kInfo);
  auto self = shared_from_this();
  try {
    transport->send(std::move(request), [self, url, maskedUrl](HttpOutcome outcome) {
      self->handleReply(url, maskedUrl, std::move(outcome));
    });
  } catch (const std::exception& failure) {
    finishLater(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                                   std::string("the transport could not send: ") + failure.what()));
  }
}

void SiteRequestManager::handleReply(const std::string& url, const std::string& maskedUrl,
                                     HttpOutcome outcome) {
  // Memory may run short anywhere below (the log line, the error envelope): the call still ends,
  // with a transport error, rather than losing its handler.
  try {
    handleOutcome(url, maskedUrl, std::move(outcome));
  } catch (const std::exception& failure) {
    finish(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                              std::string("the reply could not be handled: ") + failure.what()),
           std::nullopt);
  }
}

void SiteRequestManager::handleOutcome(const std::string& url, const std::string& maskedUrl,
                                       HttpOutcome outcome) {
  std::vector<std::string> secrets;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    secrets = secrets_;
  }
  internal::ReplyVerdict verdict =
      internal::classifyReply(outcome, secrets, internal::SuccessBody::checked);
  using Kind = internal::ReplyVerdict::Kind;
  if (verdict.kind == Kind::noReply || verdict.kind == Kind::notUtf8) {
    finish(std::move(verdict.error), std::nullopt);
    return;
  }
  logResponse(outcome.body);
  if (verdict.kind == Kind::success) {
    finish(std::nullopt, std::move(outcome.body));
  } else if (verdict.kind == Kind::serverError) {
    retryOrEnd(url, maskedUrl, outcome.statusCode);
  } else {
    if (verdict.notAnEnvelope) {
      ORVANE_SITE_LOG(kGenerateSession,
                      "httpResponse StatusCode: " + std::to_string(outcome.statusCode),
                      internal::kError);
    }
    finish(std::move(verdict.error), std::nullopt);
  }
}

void SiteRequestManager::retryOrEnd(const std::string& url, const std::string& maskedUrl,
                                    long statusCode) {
  internal::RetryPlan plan;
  std::shared_ptr<HttpTransport> transport;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    transport = transport_;
    plan = internal::planManagerRetry(internal::ManagerSchedule{
        maxRetry_, retriesMade_, retryInterval_, kMaxRetries, kLongestRetryPauseSeconds});
  }
  if (!plan.pause) {
    finish(makeTransportError(TransportErrorCode::serverErrorAfterRetries, statusCode, plan.detail),
           std::nullopt);
    return;
  }
  auto self = shared_from_this();
  auto retry = [self, url, maskedUrl] {
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      --self->maxRetry_;
      self->retryInterval_ *= 1.5;
      ++self->retriesMade_;
    }
    self->generateSession(url, maskedUrl);
  };
  try {
    transport->runAfter(*plan.pause, std::move(retry));
  } catch (const std::exception& failure) {
    finish(makeTransportError(TransportErrorCode::serverErrorAfterRetries, statusCode,
                              std::string("the retry could not be scheduled: ") + failure.what()),
           std::nullopt);
  }
}

void SiteRequestManager::finish(std::optional<Error> error, std::optional<std::string> body) {
  CompletionHandler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    ended_ = true;
    handler = std::move(completionHandler_);
    completionHandler_ = nullptr;
  }
  if (handler) handler(std::move(error), std::move(body));
}

void SiteRequestManager::finishLater(Error error) {
  std::shared_ptr<HttpTransport> transport;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    transport = transport_;
  }
  auto self = shared_from_this();
  auto deliver = [self, error = std::move(error)] { self->finish(error, std::nullopt); };
  try {
    transport->post(deliver);
  } catch (...) {
    deliver();  // no delivery thread could be reached: answering late beats never
  }
}

void SiteRequestManager::logResponse(const std::string& body) const {
  // Nothing of the reply is copied for a line that would not be written.
  if (!internal::Logger::enabled(internal::kInfo)) return;
  internal::throwIfAllocationFault(internal::AllocationSite::replyLog);
  // The line shows the start of a large reply only, so that logging never copies a whole reply
  // (replies run to megabytes). The key is masked in the body, as before.
  static constexpr std::string_view kPrefix = "Called Response: ";
  static constexpr std::size_t kLoggedBodyBytes = std::size_t{64} * 1024;
  std::vector<std::string> secrets;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    secrets = secrets_;
  }
  const std::size_t shown = std::min(body.size(), kLoggedBodyBytes);
  std::string message;
  message.reserve(kPrefix.size() + shown + 32);
  message.append(kPrefix);
  transport::appendMasked(message, body, shown, secrets);
  if (shown < body.size()) {
    message.append(" ... (").append(std::to_string(body.size() - shown)).append(" more bytes)");
  }
  ORVANE_SITE_LOG(kGenerateSession, std::move(message), internal::kInfo);
}

}  // namespace orvane::site
