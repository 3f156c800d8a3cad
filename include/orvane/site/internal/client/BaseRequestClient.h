#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include <nlohmann/json_fwd.hpp>

#include "orvane/site/Error.h"
#include "orvane/site/Export.h"
#include "orvane/site/Result.h"
#include "orvane/site/decode.h"
#include "orvane/site/internal/RequestMode.h"
#include "orvane/site/internal/SiteRequestManager.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site {

class ApiContext;

/// The base of the eight request clients: holds the state of a call (completion callback and
/// optional per-call ApiContext), defines the hooks each operation fills in (path, method, body)
/// and implements what all operations share: configuring one SiteRequestManager per call,
/// writing the body as JSON, decoding the reply and delivering it.
///
/// Thread-safety: every member may be called from any thread. The fields (and the request of a
/// derived client) are guarded by one recursive lock, and building a manager reads them under
/// that lock, so a call always sees one consistent set of values. Each call started with `call`
/// carries the completion that was set when it started, so overlapping calls never swap
/// results. Completions run on the library thread ("orvane-site-services"), never inside the
/// call that started them, and never under the lock.
///
/// The library keeps one client per operation for the whole process (see SiteClient);
/// applications normally have no need to make their own.
class ORVANE_SITE_EXPORT BaseRequestClient
    : public std::enable_shared_from_this<BaseRequestClient> {
 public:
  /// Receives the decoded response record (a subclass of BaseResponse) or an Error; exactly
  /// one of the two is present.
  using Completion = std::function<void(std::shared_ptr<BaseResponse>, std::optional<Error>)>;

  BaseRequestClient() = default;
  BaseRequestClient(const BaseRequestClient&) = delete;
  BaseRequestClient& operator=(const BaseRequestClient&) = delete;
  virtual ~BaseRequestClient() = default;

  /// Where the result of the next call goes (empty: the result is dropped).
  Completion completion() const;
  /// Replaces the callback of the current call.
  void completion(Completion value);

  /// The per-call context; nullptr means the process-wide ContextDataCache applies.
  std::shared_ptr<ApiContext> _apiContext() const;
  /// Replaces the per-call context of the current call (nullptr: the process-wide values).
  void _apiContext(std::shared_ptr<ApiContext> value);

  /// Builds a manager from the current `_apiContext()` and starts it. When the reply arrives,
  /// it is decoded into `T` and handed to the completion that was set when `call` was made.
  /// Returns at once. Keeps this client alive until the completion has run when the client is
  /// owned by a std::shared_ptr.
  template <class T>
  void call() {
    start<T>(nullptr);
  }

  /// The key sent as the "key" query parameter: the context's key when a context with a
  /// non-empty key is set, else the key of ContextDataCache::shared().
  std::string apiKey() const;

  /// The address the next call would go to ("Optional(https://host/path?key=...)"), formed by
  /// building (and discarding) a manager, with the same side effects (the body log line). The
  /// text holds the API key: show it to nobody else.
  std::string url();

  /// The body dictionary as compact JSON text (nlohmann::json::dump), or an empty text when the
  /// client sends no body.
  std::string bodyParameters() const;

  /// A new, fully configured manager for one call; nothing is sent. Stores `apiContext` in
  /// `_apiContext`. Host: the context's, or the cached one when `apiContext` is null. Query:
  /// `parameters()`. Method: `requestMode()`. Retry values: copied from the context when one is
  /// given, else the manager's own. Body and the "Content-Type"/"Accept" headers
  /// ("application/json") only when `bodyDataToJson` yields data.
  std::shared_ptr<SiteRequestManager> createRequestManager(std::shared_ptr<ApiContext> apiContext);

  /// Writes a body dictionary as compact JSON. Logs "Called body parameters: " with the
  /// dictionary's text (or "nil") at "INFO". Returns nothing for an absent dictionary, and for
  /// one that JSON cannot carry (not an object or array, a non-finite number, text that is not
  /// UTF-8), which is logged as two "ERROR" lines: such a call is then sent without a body.
  std::optional<std::string> bodyDataToJson(const std::optional<nlohmann::json>& body) const;

  /// The HTTP method; `get` unless an operation overrides it.
  virtual RequestMode requestMode() const;

  /// Delivers a reply to the completion currently set: an error is passed on unchanged; data is
  /// decoded into `T` (a decoding failure becomes the error); no data and no error becomes a
  /// transport error (TransportErrorCode::emptyReply). Dropped when no completion is set.
  template <class T>
  void result(std::optional<std::string> data, std::optional<Error> error) {
    deliver<T>(data, error, completion());
  }

  /// The body dictionary, or nothing when the client sends no body. Request clients return
  /// their never-absent dictionary here.
  std::optional<nlohmann::json> createBodyParameters() const;

  /// The query parameters: {"key": apiKey()}.
  virtual std::map<std::string, std::string> parameters() const;

  /// The operation's path relative to the host, without a leading "/"; empty by default.
  virtual std::string path() const;

 protected:
  /// The hook behind `createBodyParameters()`; absent (no body) by default.
  virtual std::optional<nlohmann::json> createOptionalBodyParameters() const;

  /// The lock that guards the fields of this client and of its subclasses.
  std::recursive_mutex& fieldsMutex() const noexcept { return mutex_; }

  /// Runs `storeCall` (which may set fields), snapshots the completion and builds the manager,
  /// all under the lock; then starts the manager outside it.
  template <class T>
  void start(const std::function<void()>& storeCall) {
    static_assert(std::is_base_of<BaseResponse, T>::value,
                  "a call decodes into a subclass of BaseResponse");
    std::shared_ptr<SiteRequestManager> manager;
    Completion callCompletion;
    {
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      if (storeCall) storeCall();
      callCompletion = completion_;
      manager = createRequestManager(apiContext_);
    }
    std::shared_ptr<BaseRequestClient> self = weak_from_this().lock();
    manager->build(
        [self, callCompletion](std::optional<Error> error, std::optional<std::string> body) {
          (void)self;  // keeps the client alive until its call has ended
          deliver<T>(body, error, callCompletion);
        });
  }

 private:
  template <class T>
  static void deliver(const std::optional<std::string>& data, const std::optional<Error>& error,
                      const Completion& completion) {
    if (!completion) return;
    if (error) {
      invoke(completion, nullptr, error);
    } else if (!data) {
      invoke(completion, nullptr, emptyReplyError());
    } else {
      Result<T> decoded = decode<T>(*data);
      if (decoded.ok()) {
        invoke(completion, std::move(decoded).value(), std::nullopt);
      } else {
        invoke(completion, nullptr, std::move(decoded).error());
      }
    }
  }

  /// Calls the completion; an exception it throws is logged and goes no further.
  static void invoke(const Completion& completion, std::shared_ptr<BaseResponse> value,
                     std::optional<Error> error);
  static Error emptyReplyError();

  mutable std::recursive_mutex mutex_;
  Completion completion_;
  std::shared_ptr<ApiContext> apiContext_;
};

}  // namespace orvane::site
