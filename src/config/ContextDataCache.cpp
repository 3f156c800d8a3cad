#include "orvane/site/ContextDataCache.h"

#include <utility>

#include "orvane/site/ApiContext.h"
#include "orvane/site/ClientConfig.h"

namespace orvane::site {
namespace {

struct SharedSlot {
  std::mutex mutex;
  std::shared_ptr<ContextDataCache> cache;
};

// Never destroyed, so that calls still in flight at exit can read the cache.
SharedSlot& sharedSlot() {
  static auto* instance = new SharedSlot{{}, std::make_shared<ContextDataCache>()};
  return *instance;
}

}  // namespace

ContextDataCache::ContextDataCache()
    : baseUrl_(ClientConfig::BaseUrl),
      apiPath_(ClientConfig::ApiPath),
      apiScheme_(ClientConfig::ApiScheme),
      maxRetry_(ClientConfig::maxRetry),
      retryInterval_(ClientConfig::retryInterval),
      timeoutInterval_(ClientConfig::timeoutInterval) {}

std::shared_ptr<ContextDataCache> ContextDataCache::shared() {
  std::lock_guard<std::mutex> lock(sharedSlot().mutex);
  return sharedSlot().cache;
}

void ContextDataCache::setShared(std::shared_ptr<ContextDataCache> cache) {
  if (!cache) return;
  std::lock_guard<std::mutex> lock(sharedSlot().mutex);
  sharedSlot().cache = std::move(cache);
}

void ContextDataCache::set(const std::shared_ptr<ApiContext>& apiContext) {
  if (!apiContext) return;
  shared()->update(*apiContext);
}

void ContextDataCache::update(const ApiContext& context) {
  // Read the context first: its lock and ours are never held together.
  const std::string key = context.apiKey();
  const std::string scheme = context.apiScheme();
  const std::string host = context.baseUrl();
  const std::int64_t retries = context.maxRetry();
  const double pause = context.retryInterval();
  const double timeout = context.timeoutInterval();

  std::lock_guard<std::mutex> lock(mutex_);
  if (!key.empty()) apiKey_ = key;
  apiScheme_ = scheme.empty() ? ClientConfig::ApiScheme : scheme;
  baseUrl_ = host.empty() ? ClientConfig::BaseUrl : host;
  apiPath_ = ClientConfig::ApiPath;
  maxRetry_ = retries;
  retryInterval_ = pause;
  timeoutInterval_ = timeout;
}

std::string ContextDataCache::apiKey() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return apiKey_;
}

std::string ContextDataCache::baseUrl() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return baseUrl_;
}

std::string ContextDataCache::apiPath() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return apiPath_;
}

std::string ContextDataCache::apiScheme() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return apiScheme_;
}

std::int64_t ContextDataCache::maxRetry() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return maxRetry_;
}

void ContextDataCache::setMaxRetry(std::int64_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  maxRetry_ = value;
}

double ContextDataCache::retryInterval() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return retryInterval_;
}

void ContextDataCache::setRetryInterval(double value) {
  std::lock_guard<std::mutex> lock(mutex_);
  retryInterval_ = value;
}

double ContextDataCache::timeoutInterval() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return timeoutInterval_;
}

void ContextDataCache::setTimeoutInterval(double value) {
  std::lock_guard<std::mutex> lock(mutex_);
  timeoutInterval_ = value;
}

}  // namespace orvane::site
