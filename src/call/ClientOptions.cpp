#include "orvane/site/ClientOptions.h"

#include <utility>

#include "orvane/site/CallOptions.h"
#include "orvane/site/ClientConfig.h"
#include "orvane/site/ResponseCache.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site {

ClientOptions::ClientOptions() : host_(ClientConfig::BaseUrl) {}

ClientOptions& ClientOptions::setApiKey(std::string value) {
  apiKey_ = std::move(value);
  return *this;
}

ClientOptions& ClientOptions::setHost(std::string value) {
  host_ = std::move(value);
  return *this;
}

ClientOptions& ClientOptions::setAttemptTimeout(std::chrono::nanoseconds value) {
  attemptTimeout_ = value;
  return *this;
}

ClientOptions& ClientOptions::setDeadline(std::chrono::nanoseconds value) {
  deadline_ = value;
  return *this;
}

ClientOptions& ClientOptions::setRetryPolicy(RetryPolicy value) {
  retryPolicy_ = std::move(value);
  return *this;
}

ClientOptions& ClientOptions::setTransport(std::shared_ptr<HttpTransport> value) {
  transport_ = std::move(value);
  return *this;
}

ClientOptions& ClientOptions::setConnectionPool(std::shared_ptr<const ConnectionPool> value) {
  connectionPool_ = std::move(value);
  return *this;
}

ClientOptions& ClientOptions::setMaxInFlight(std::size_t value) {
  maxInFlight_ = value;
  return *this;
}

ClientOptions& ClientOptions::setMaxQueuedCalls(std::size_t value) {
  maxQueuedCalls_ = value;
  return *this;
}

ClientOptions& ClientOptions::setRateLimiter(std::shared_ptr<RateLimiter> value) {
  rateLimiter_ = std::move(value);
  return *this;
}

ClientOptions& ClientOptions::setHandlerExecutor(Executor value) {
  handlerExecutor_ = std::move(value);
  return *this;
}

ClientOptions& ClientOptions::setHandlerThreads(std::size_t value) {
  handlerThreads_ = value;
  return *this;
}

ClientOptions& ClientOptions::setObserver(std::shared_ptr<CallObserver> value) {
  observer_ = std::move(value);
  return *this;
}

ClientOptions& ClientOptions::setResponseCache(std::shared_ptr<ResponseCache> value) {
  responseCache_ = std::move(value);
  return *this;
}

CallOptions& CallOptions::setDeadline(std::chrono::nanoseconds value) {
  deadline_ = value;
  return *this;
}

CallOptions& CallOptions::setAttemptTimeout(std::chrono::nanoseconds value) {
  attemptTimeout_ = value;
  return *this;
}

CallOptions& CallOptions::setRetryPolicy(RetryPolicy value) {
  retryPolicy_ = std::move(value);
  return *this;
}

}  // namespace orvane::site
