#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "https/CurlRequestShape.h"

namespace orvane::site::bench {

/// The limit: raw libcurl multi on one thread, keeping `inFlight` transfers of the same request
/// going, each easy handle reused for the next transfer so connections are kept alive, with
/// CurlTransport's connection limits (so beyond 32 in flight, transfers queue for a connection as
/// the library's do). It does nothing with the replies.
class CurlMultiDriver {
 public:
  CurlMultiDriver(const CurlRequestShape& request, int inFlight);
  ~CurlMultiDriver();
  CurlMultiDriver(const CurlMultiDriver&) = delete;
  CurlMultiDriver& operator=(const CurlMultiDriver&) = delete;

  /// Makes `calls` transfers; returns how many failed (anything but an HTTP 200 reply).
  std::size_t run(std::size_t calls);

 private:
  CURLM* multi_;
  std::vector<CURL*> handles_;
  std::vector<std::string> bodies_;
};

}  // namespace orvane::site::bench
