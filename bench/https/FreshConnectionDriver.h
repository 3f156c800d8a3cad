#pragma once

#include <cstddef>

#include "https/CurlRequestShape.h"

namespace orvane::site::bench {

/// What a naive client does: `inFlight` threads, each making its calls one after the other with
/// curl_easy_perform on a fresh easy handle, so every call opens (and closes) its own TCP and
/// TLS connection.
class FreshConnectionDriver {
 public:
  FreshConnectionDriver(const CurlRequestShape& request, int inFlight);

  /// Makes `calls` calls; returns how many failed (anything but an HTTP 200 reply).
  std::size_t run(std::size_t calls);

 private:
  const CurlRequestShape& request_;
  int inFlight_;
};

}  // namespace orvane::site::bench
