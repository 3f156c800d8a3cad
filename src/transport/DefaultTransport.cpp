#include <memory>
#include <mutex>
#include <utility>

#include "orvane/site/transport/CurlTransport.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site {
namespace {

struct DefaultTransportSlot {
  std::mutex mutex;
  std::shared_ptr<HttpTransport> installed;
  std::shared_ptr<HttpTransport> curl;
};

// Never destroyed: calls may still be under way while static objects are torn down.
DefaultTransportSlot& slot() {
  static auto* const instance = new DefaultTransportSlot();
  return *instance;
}

}  // namespace

std::shared_ptr<HttpTransport> defaultHttpTransport() {
  DefaultTransportSlot& s = slot();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.installed) return s.installed;
  if (!s.curl) s.curl = std::make_shared<CurlTransport>();
  return s.curl;
}

void setDefaultHttpTransport(std::shared_ptr<HttpTransport> transport) {
  DefaultTransportSlot& s = slot();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.installed = std::move(transport);
}

}  // namespace orvane::site
