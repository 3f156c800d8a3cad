#include "orvane/site/CallObserver.h"

namespace orvane::site {

// Observers override what they need; the rest is ignored.
void CallObserver::onCallStart(const CallStart& /*event*/) {}
void CallObserver::onAttempt(const Attempt& /*event*/) {}
void CallObserver::onCallEnd(const CallEnd& /*event*/) {}
void CallObserver::onLimiterChange(const LimiterChange& /*event*/) {}
void CallObserver::onCacheEvent(const CacheEvent& /*event*/) {}

}  // namespace orvane::site
