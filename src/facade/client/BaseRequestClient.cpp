#include "orvane/site/internal/client/BaseRequestClient.h"

#include <exception>
#include <utility>

#include <nlohmann/json.hpp>

#include "facade/client/JsonBodyCheck.h"
#include "logging/Logger.h"
#include "orvane/site/ApiContext.h"
#include "orvane/site/ContextDataCache.h"
#include "orvane/site/TransportErrorCode.h"

namespace orvane::site {
namespace {

constexpr const char* kBodyDataToJson = "bodyDataToJson(_:)";
constexpr const char* kJsonMediaType = "application/json";

// The text form of a body dictionary in logs and bodyParameters(): compact JSON. Bytes that are
// not UTF-8 are shown as U+FFFD here only; the body itself is never altered.
std::string textForm(const nlohmann::json& body) {
  return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

BaseRequestClient::Completion BaseRequestClient::completion() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return completion_;
}

void BaseRequestClient::completion(Completion value) {
  Completion previous;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    previous = std::exchange(completion_, std::move(value));
  }
  // The previous callback is released outside the lock: whatever it holds may run code when
  // it goes.
}

std::shared_ptr<ApiContext> BaseRequestClient::_apiContext() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return apiContext_;
}

void BaseRequestClient::_apiContext(std::shared_ptr<ApiContext> value) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  apiContext_ = std::move(value);
}

std::string BaseRequestClient::apiKey() const {
  const std::shared_ptr<ApiContext> context = _apiContext();
  if (context) {
    std::string key = context->apiKey();
    if (!key.empty()) return key;
  }
  return ContextDataCache::shared()->apiKey();
}

std::string BaseRequestClient::url() {
  std::shared_ptr<SiteRequestManager> manager;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    manager = createRequestManager(apiContext_);
  }
  return manager->calledUrl();
}

std::string BaseRequestClient::bodyParameters() const {
  const std::optional<nlohmann::json> body = createBodyParameters();
  return body ? textForm(*body) : std::string();
}

std::shared_ptr<SiteRequestManager> BaseRequestClient::createRequestManager(
    std::shared_ptr<ApiContext> apiContext) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  apiContext_ = apiContext;
  const std::string operationPath = path();
  std::string host = apiContext ? apiContext->baseUrl() : ContextDataCache::shared()->baseUrl();
  auto manager = SiteRequestManager::create(std::move(host), operationPath, apiContext);
  manager->setParams(parameters());
  manager->setMode(requestMode());
  // Assigning the context again is what copies its retry count, pause and time-out.
  if (apiContext) manager->setApiContext(std::move(apiContext));
  std::optional<std::string> body = bodyDataToJson(createBodyParameters());
  if (body) {
    manager->setHeaderValue("Content-Type", kJsonMediaType);
    manager->setHeaderValue("Accept", kJsonMediaType);
    manager->setBodyData(std::move(body));
  }
  return manager;
}

std::optional<std::string> BaseRequestClient::bodyDataToJson(
    const std::optional<nlohmann::json>& body) const {
  ORVANE_SITE_LOG(kBodyDataToJson,
                  "Called body parameters: " + (body ? textForm(*body) : std::string("nil")),
                  internal::kInfo);
  if (!body) return std::nullopt;
  // nlohmann would write a non-finite number as null and throw on text that is not UTF-8:
  // both are refused here, before anything is written.
  if (std::optional<std::string> problem = internal::findUnwritableJson(*body)) {
    ORVANE_SITE_LOG(kBodyDataToJson, std::string("body param is not a valid json object."),
                    internal::kError);
    ORVANE_SITE_LOG(kBodyDataToJson, "body param to json convert error: " + *problem,
                    internal::kError);
    return std::nullopt;
  }
  try {
    return body->dump();
  } catch (const std::exception& failure) {
    ORVANE_SITE_LOG(kBodyDataToJson,
                    std::string("body param to json convert error: ") + failure.what(),
                    internal::kError);
    return std::nullopt;
  }
}

RequestMode BaseRequestClient::requestMode() const { return RequestMode::get; }

std::optional<nlohmann::json> BaseRequestClient::createBodyParameters() const {
  return createOptionalBodyParameters();
}

std::optional<nlohmann::json> BaseRequestClient::createOptionalBodyParameters() const {
  return std::nullopt;
}

std::map<std::string, std::string> BaseRequestClient::parameters() const {
  return {{"key", apiKey()}};
}

std::string BaseRequestClient::path() const { return std::string(); }

void BaseRequestClient::invoke(const Completion& completion, std::shared_ptr<BaseResponse> value,
                               std::optional<Error> error) {
  try {
    completion(std::move(value), std::move(error));
  } catch (const std::exception& failure) {
    ORVANE_SITE_LOG(
        "result(data:error:type:)",
        std::string("completion threw an exception, which was discarded: ") + failure.what(),
        internal::kError);
  } catch (...) {
    ORVANE_SITE_LOG("result(data:error:type:)",
                    std::string("completion threw an exception, which was discarded"),
                    internal::kError);
  }
}

Error BaseRequestClient::emptyReplyError() {
  return makeTransportError(TransportErrorCode::emptyReply);
}

}  // namespace orvane::site
