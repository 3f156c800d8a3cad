#pragma once

#include <string>
#include <vector>

namespace orvane::site::redis {

/// The server-side script that keeps one quota's bucket. It reads Redis's own clock, takes the
/// requested permits (0 or 1) and answers the wait of the permit in microseconds.
///
/// KEYS[1]: the bucket's key. ARGV: interval between permits (us), tolerance ((burst - 1)
/// intervals, us), a pause that nobody's permits may precede (us from now, 0 for none), permits.
/// The key holds the next permit's slot (us since the epoch) and expires when the bucket is full
/// again, so a lost key means a full bucket, nothing worse; a value without an expiry (not the
/// script's) is ignored.
const std::string& quotaScript();

/// What one request asks of the script.
struct QuotaRequest {
  long long pauseMicros = 0;
  int permits = 1;
};

/// The script's arguments after KEYS[1] for one request.
std::vector<std::string> quotaArguments(long long intervalMicros, long long toleranceMicros,
                                        const QuotaRequest& request);

}  // namespace orvane::site::redis
