#include "orvane/site/ApiContext.h"

#include <string>
#include <utility>

#include "logging/Logger.h"
#include "text/NumberText.h"

namespace orvane::site {
namespace {

// The defaults are spelled here rather than read from ClientConfig, whose values may not be
// initialised yet when a context is made during static initialisation of an application.
constexpr const char* kDefaultScheme = "https";
constexpr const char* kDefaultHost = "site-api.orvane.com";
constexpr std::int64_t kDefaultMaxRetry = 3;
constexpr double kDefaultRetryInterval = 1.0;
constexpr double kDefaultTimeoutInterval = 60.0;

void logChange(const char* field, const std::string& message) {
  ORVANE_SITE_LOG(field, message, internal::kInfo);
}

}  // namespace

ApiContext::ApiContext()
    : apiScheme_(kDefaultScheme),
      baseUrl_(kDefaultHost),
      maxRetry_(kDefaultMaxRetry),
      retryInterval_(kDefaultRetryInterval),
      timeoutInterval_(kDefaultTimeoutInterval) {}

ApiContext::ApiContext(const ApiContext& other) : ApiContext() { *this = other; }

ApiContext& ApiContext::operator=(const ApiContext& other) {
  if (this == &other) return *this;
  std::scoped_lock lock(mutex_, other.mutex_);
  apiScheme_ = other.apiScheme_;
  baseUrl_ = other.baseUrl_;
  maxRetry_ = other.maxRetry_;
  retryInterval_ = other.retryInterval_;
  timeoutInterval_ = other.timeoutInterval_;
  apiKey_ = other.apiKey_;
  return *this;
}

std::shared_ptr<ApiContext> ApiContext::builderContext() {
  // Never destroyed: contexts handed out by build() stay valid until the process ends.
  static auto* instance = new std::shared_ptr<ApiContext>(std::make_shared<ApiContext>());
  return *instance;
}

ApiContext& ApiContext::setApiScheme(const std::string& apiScheme) {
  auto target = builderContext();
  {
    std::lock_guard<std::mutex> lock(target->mutex_);
    target->apiScheme_ = apiScheme;
  }
  // The value is only stored: calls always use https (RequestUrl.cpp), since the key is part of
  // the address. The line still says what was set, as applications may look for it.
  logChange("apiScheme", "Api Scheme changed to: " + apiScheme);
  return *this;
}

ApiContext& ApiContext::setApiKey(const std::string& apiKey) {
  auto target = builderContext();
  std::lock_guard<std::mutex> lock(target->mutex_);
  target->apiKey_ = apiKey;
  return *this;
}

ApiContext& ApiContext::setBaseUrl(const std::string& baseUrl) {
  auto target = builderContext();
  {
    std::lock_guard<std::mutex> lock(target->mutex_);
    target->baseUrl_ = baseUrl;
  }
  logChange("baseUrl", "Api Host changed to: " + baseUrl);
  return *this;
}

ApiContext& ApiContext::setMaxRetry(std::int64_t maxRetry) {
  auto target = builderContext();
  {
    std::lock_guard<std::mutex> lock(target->mutex_);
    target->maxRetry_ = maxRetry;
  }
  logChange("maxRetry", "Max Retry changed to: " + std::to_string(maxRetry));
  return *this;
}

ApiContext& ApiContext::setRetryInterval(double retryInterval) {
  auto target = builderContext();
  {
    std::lock_guard<std::mutex> lock(target->mutex_);
    target->retryInterval_ = retryInterval;
  }
  logChange("retryInterval", "Retry Interval changed to: " + internal::numberText(retryInterval));
  return *this;
}

ApiContext& ApiContext::setTimeoutInterval(double timeoutInterval) {
  auto target = builderContext();
  {
    std::lock_guard<std::mutex> lock(target->mutex_);
    target->timeoutInterval_ = timeoutInterval;
  }
  logChange("timeoutInterval",
            "Timeout Interval changed to: " + internal::numberText(timeoutInterval));
  return *this;
}

std::shared_ptr<ApiContext> ApiContext::build() { return builderContext(); }

std::string ApiContext::apiScheme() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return apiScheme_;
}

std::string ApiContext::baseUrl() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return baseUrl_;
}

std::int64_t ApiContext::maxRetry() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return maxRetry_;
}

double ApiContext::retryInterval() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return retryInterval_;
}

double ApiContext::timeoutInterval() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return timeoutInterval_;
}

std::string ApiContext::apiKey() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return apiKey_;
}

}  // namespace orvane::site
