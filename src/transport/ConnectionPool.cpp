#include "orvane/site/transport/ConnectionPool.h"

#include <stdexcept>

namespace orvane::site {

ConnectionPool::ConnectionPool(ConnectionLimits limits) : limits_(limits) {
  if (limits_.perHost <= 0 || limits_.inAll <= 0) {
    throw std::invalid_argument("ConnectionPool: the limits per host and in all must be positive");
  }
}

}  // namespace orvane::site
