#pragma once

#include "orvane/site/Export.h"

namespace orvane::site {

/// How many connections may be in use at once: to one host ("host:port") and to all hosts
/// together. A request beyond them waits for one to be free (its deadline still holds).
struct ORVANE_SITE_EXPORT ConnectionLimits {
  /// Connections in use to one host at once.
  long perHost = 32;
  /// Connections in use to all hosts together.
  long inAll = 128;
};

}  // namespace orvane::site
