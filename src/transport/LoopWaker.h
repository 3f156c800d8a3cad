#pragma once

#include <curl/curl.h>

namespace orvane::site::transport {

/// Wakes a loop that waits in curl_multi_poll, through an eventfd of its own that the loop polls
/// beside libcurl's sockets. (libcurl's own wake-up needs its socket pair, which it may have
/// failed to make, and its handle, which a late caller could find already cleaned up; the
/// eventfd lives as long as the loop, so a wake-up is safe from any thread at any time, and it
/// is sent after the caller has let go of the loop's lock, so the loop never wakes only to wait
/// for that lock.)
///
/// `wake` is thread-safe; `waitFd` and `drain` belong to the loop's thread.
class LoopWaker {
 public:
  /// Throws std::system_error when the eventfd cannot be made.
  LoopWaker();
  ~LoopWaker();

  LoopWaker(const LoopWaker&) = delete;
  LoopWaker& operator=(const LoopWaker&) = delete;

  /// Makes the current or next curl_multi_poll return soon.
  void wake() const noexcept;

  /// The descriptor to pass to curl_multi_poll as an extra one.
  curl_waitfd waitFd() const noexcept;

  /// Takes back the wake-ups once the poll has found the descriptor readable.
  void drain() const noexcept;

 private:
  int eventFd_ = -1;
};

}  // namespace orvane::site::transport
