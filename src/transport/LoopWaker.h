#pragma once

#include <curl/curl.h>

namespace orvane::site::transport {

/// Wakes a loop that waits in curl_multi_poll. libcurl's own wake-up needs a socket pair that
/// libcurl makes when the multi handle is created; when it could not (file descriptors ran out
/// at that moment), curl_multi_wakeup fails every time. The loop then is woken through an
/// eventfd of this object's own, which it polls beside libcurl's sockets.
///
/// `wake` is thread-safe; `waitFd` and `drain` belong to the loop's thread.
class LoopWaker {
 public:
  /// Throws std::system_error when the eventfd cannot be made.
  LoopWaker();
  ~LoopWaker();

  LoopWaker(const LoopWaker&) = delete;
  LoopWaker& operator=(const LoopWaker&) = delete;

  /// Makes the current or next curl_multi_poll of `multi` return soon.
  void wake(CURLM* multi) const noexcept;

  /// The descriptor to pass to curl_multi_poll as an extra one.
  curl_waitfd waitFd() const noexcept;

  /// Takes back a wake-up through the eventfd once the poll has returned.
  void drain() const noexcept;

  /// Test seam: when true, libcurl's wake-up is taken as failed without being tried.
  static void failLibcurlWakeupForTesting(bool fail) noexcept;

 private:
  int eventFd_ = -1;
};

}  // namespace orvane::site::transport
