#pragma once

#include <curl/curl.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "https/CurlRequestShape.h"

namespace orvane::site::bench {

/// Raw libcurl multi as CurlMultiDriver drives it, but on a thread of its own: the calling
/// thread hands each call over (a queue and an eventfd that wakes the poll) and waits for its
/// end (a condition variable the transfer thread signals). It does nothing with the replies.
///
/// The least any client that runs its transfers on a thread of its own and tells the caller
/// pays: the same two thread hand-overs per call as the library, and nothing else of it.
class CurlThreadDriver {
 public:
  CurlThreadDriver(const CurlRequestShape& request, int inFlight);
  ~CurlThreadDriver();
  CurlThreadDriver(const CurlThreadDriver&) = delete;
  CurlThreadDriver& operator=(const CurlThreadDriver&) = delete;

  /// Makes `calls` transfers; returns how many failed (anything but an HTTP 200 reply).
  std::size_t run(std::size_t calls);

 private:
  void serve();
  void startHandedOver();
  void finishDone();

  CURLM* multi_;
  int wakeFd_;
  std::vector<CURL*> handles_;
  std::vector<std::string> bodies_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t handedOver_ = 0;  // calls the transfer thread has yet to start
  std::size_t active_ = 0;      // calls handed over and not yet ended
  std::size_t failed_ = 0;
  bool stopping_ = false;

  std::vector<CURL*> idle_;  // transfer thread only
  std::thread thread_;
};

}  // namespace orvane::site::bench
