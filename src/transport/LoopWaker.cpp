#include "transport/LoopWaker.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace orvane::site::transport {

LoopWaker::LoopWaker() : eventFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (eventFd_ < 0) {
    throw std::system_error(errno, std::generic_category(), "the library thread's wake-up");
  }
}

LoopWaker::~LoopWaker() { ::close(eventFd_); }

void LoopWaker::wake() const noexcept {
  // A counter at its limit (EAGAIN) is a wake-up still pending: as good.
  const std::uint64_t one = 1;
  (void)::write(eventFd_, &one, sizeof(one));
}

curl_waitfd LoopWaker::waitFd() const noexcept {
  curl_waitfd fd{};
  fd.fd = eventFd_;
  fd.events = CURL_WAIT_POLLIN;
  return fd;
}

void LoopWaker::drain() const noexcept {
  std::uint64_t count = 0;
  (void)::read(eventFd_, &count, sizeof(count));
}

}  // namespace orvane::site::transport
