#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "orvane/site/ClientOptions.h"
#include "orvane/site/SiteClient.h"

namespace orvane::site::python {

/// The native side of orvane_site.Client: one option client, closed explicitly or when the
/// Python object goes. Calls under way when it closes end with TransportErrorCode::cancelled.
class PyClient {
 public:
  explicit PyClient(ClientOptions options)
      : client_(std::make_shared<SiteClient>(std::move(options))) {}
  ~PyClient() { close(); }
  PyClient(const PyClient&) = delete;
  PyClient& operator=(const PyClient&) = delete;

  /// The client, kept alive by the caller while it starts a call. Throws once closed.
  std::shared_ptr<SiteClient> client() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!client_) throw std::runtime_error("the orvane_site client is closed");
    return client_;
  }

  /// Ends the client. The GIL must not be held: the handlers it ends take it.
  void close() {
    std::shared_ptr<SiteClient> ending;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ending = std::move(client_);
    }
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<SiteClient> client_;
};

/// What Python holds of a call started with a callback: cancelling it, asking whether it ended.
struct CallControl {
  std::function<void()> cancel;
  std::function<bool()> done;
};

}  // namespace orvane::site::python
