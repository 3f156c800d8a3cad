#include "call/DeliveryScope.h"

#include "orvane/site/transport/CurlTransport.h"

namespace orvane::site::internal {
namespace {
thread_local int tDepth = 0;
}  // namespace

DeliveryScope::DeliveryScope() noexcept { ++tDepth; }
DeliveryScope::~DeliveryScope() { --tDepth; }

bool DeliveryScope::active() noexcept { return tDepth > 0 || CurlTransport::isLibraryThread(); }

}  // namespace orvane::site::internal
