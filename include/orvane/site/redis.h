#pragma once

// The Redis component of orvane-site (CMake target OrvaneSite::Redis, pkg-config
// orvane-site-redis): a rate limiter that many processes share through one Redis server.

#include "orvane/site/RedisRateLimiter.h"
