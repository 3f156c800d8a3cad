#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "orvane/site/internal/client/BaseRequestClient.h"

namespace orvane::site {

/// What the eight request clients share beyond BaseRequestClient: the stored request of their
/// operation (`_request`), the method `post`, and the facade's way of starting a call.
///
/// `Request` is the operation's request record and `Response` the record its replies decode
/// into. Thread-safe like BaseRequestClient: `_request` is guarded by the same lock.
template <class Request, class Response>
class OperationRequestClient : public BaseRequestClient {
 public:
  /// The operation's request record.
  using RequestType = Request;
  /// The operation's response record.
  using ResponseType = Response;

  /// The request of the latest call (absent until the first one).
  std::optional<Request> _request() const {
    std::lock_guard<std::recursive_mutex> lock(fieldsMutex());
    return request_;
  }
  /// Replaces the request record of the current call.
  void _request(std::optional<Request> value) {
    std::lock_guard<std::recursive_mutex> lock(fieldsMutex());
    request_ = std::move(value);
  }

  /// Every operation is sent with POST.
  RequestMode requestMode() const override { return RequestMode::post; }

  /// Stores the request, the context and the completion, builds the manager from them and
  /// starts it; the storing and building happen as one step under the lock, so a call made at
  /// the same time from another thread cannot mix its values into this one. The completion
  /// receives a `Response` (as BaseResponse) or an Error, later, on the library thread.
  void callWith(Request request, std::shared_ptr<ApiContext> apiContext, Completion completion) {
    this->template start<Response>([&] {
      request_ = std::move(request);
      this->_apiContext(std::move(apiContext));
      this->completion(std::move(completion));
    });
  }

 private:
  std::optional<Request> request_;
};

}  // namespace orvane::site
