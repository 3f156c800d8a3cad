#pragma once

#include <memory>

#include "orvane/site/Executor.h"
#include "orvane/site/SiteConnection.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::internal {

/// What a type-ahead helper runs on, taken from its SiteClient: the connection its calls go
/// through, the transport whose timers pace them, and the executor its handlers run on (empty:
/// the transport's delivery thread, as the client's own handlers).
struct TypeAheadSeams {
  std::shared_ptr<SiteConnection> connection;
  std::shared_ptr<HttpTransport> timers;
  Executor executor;
};

}  // namespace orvane::site::internal
