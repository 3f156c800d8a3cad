#include "QuotaScript.h"

namespace orvane::site::redis {

const std::string& quotaScript() {
  // Numbers stay whole microseconds (below 2^53), so Lua's doubles hold them exactly;
  // %.0f writes them back without an exponent.
  static const std::string script = R"lua(
local interval = tonumber(ARGV[1])
local tolerance = tonumber(ARGV[2])
local pause = tonumber(ARGV[3])
local permits = tonumber(ARGV[4])
local clock = redis.call('TIME')
local now = tonumber(clock[1]) * 1000000 + tonumber(clock[2])
local stored = tonumber(redis.call('GET', KEYS[1]))
-- This script always writes the key with an expiry; a value without one was written by
-- something else and could hold every permit back for ever: start afresh instead.
if stored ~= nil and redis.call('PTTL', KEYS[1]) < 0 then stored = nil end
local slot = now
if stored ~= nil and stored > now then slot = stored end
if pause > 0 and slot < now + pause + tolerance then slot = now + pause + tolerance end
local wait = slot - tolerance - now
if wait < 0 then wait = 0 end
local next = slot + permits * interval
if next > now then
  redis.call('SET', KEYS[1], string.format('%.0f', next), 'PX',
             math.floor((next - now) / 1000) + 1)
end
return wait
)lua";
  return script;
}

std::vector<std::string> quotaArguments(long long intervalMicros, long long toleranceMicros,
                                        const QuotaRequest& request) {
  return {std::to_string(intervalMicros), std::to_string(toleranceMicros),
          std::to_string(request.pauseMicros), std::to_string(request.permits)};
}

}  // namespace orvane::site::redis
