#include "https/CurlThreadDriver.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace orvane::site::bench {

namespace {

constexpr int kIdlePollMilliseconds = 1000;

}  // namespace

CurlThreadDriver::CurlThreadDriver(const CurlRequestShape& request, int inFlight)
    : multi_(CurlRequestShape::makeMulti()),
      wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      bodies_(static_cast<std::size_t>(inFlight)) {
  handles_ = request.makeHandles(bodies_);
  idle_ = handles_;
  thread_ = std::thread([this] { serve(); });
}

CurlThreadDriver::~CurlThreadDriver() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  const std::uint64_t one = 1;
  (void)write(wakeFd_, &one, sizeof(one));
  thread_.join();
  for (CURL* handle : handles_) {
    curl_multi_remove_handle(multi_, handle);
    curl_easy_cleanup(handle);
  }
  curl_multi_cleanup(multi_);
  close(wakeFd_);
}

std::size_t CurlThreadDriver::run(std::size_t calls) {
  std::unique_lock<std::mutex> lock(mutex_);
  failed_ = 0;
  for (std::size_t i = 0; i < calls; ++i) {
    changed_.wait(lock, [this] { return active_ < handles_.size(); });
    ++active_;
    ++handedOver_;
    lock.unlock();
    const std::uint64_t one = 1;
    (void)write(wakeFd_, &one, sizeof(one));
    lock.lock();
  }
  changed_.wait(lock, [this] { return active_ == 0; });
  return failed_;
}

void CurlThreadDriver::serve() {
  curl_waitfd wake{};
  wake.fd = wakeFd_;
  wake.events = CURL_WAIT_POLLIN;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
    }
    startHandedOver();
    int running = 0;
    curl_multi_perform(multi_, &running);
    finishDone();
    wake.revents = 0;
    curl_multi_poll(multi_, &wake, 1, kIdlePollMilliseconds, nullptr);
    if (wake.revents != 0) {
      std::uint64_t count = 0;
      (void)read(wakeFd_, &count, sizeof(count));
    }
  }
}

void CurlThreadDriver::startHandedOver() {
  std::size_t starting = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    starting = handedOver_;
    handedOver_ = 0;
  }
  for (; starting > 0 && !idle_.empty(); --starting) {
    CURL* handle = idle_.back();
    idle_.pop_back();
    void* body = nullptr;
    curl_easy_getinfo(handle, CURLINFO_PRIVATE, &body);
    static_cast<std::string*>(body)->clear();
    curl_multi_add_handle(multi_, handle);
  }
}

void CurlThreadDriver::finishDone() {
  std::size_t ended = 0;
  std::size_t failed = 0;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    CURL* handle = message->easy_handle;
    if (!CurlRequestShape::succeeded(handle, message->data.result)) ++failed;
    curl_multi_remove_handle(multi_, handle);
    idle_.push_back(handle);
    ++ended;
  }
  if (ended == 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    active_ -= ended;
    failed_ += failed;
  }
  changed_.notify_all();
}

}  // namespace orvane::site::bench
