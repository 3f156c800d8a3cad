#include "https/CurlMultiDriver.h"

#include <algorithm>

namespace orvane::site::bench {

CurlMultiDriver::CurlMultiDriver(const CurlRequestShape& request, int inFlight)
    : multi_(CurlRequestShape::makeMulti()), bodies_(static_cast<std::size_t>(inFlight)) {
  handles_ = request.makeHandles(bodies_);
}

CurlMultiDriver::~CurlMultiDriver() {
  for (CURL* handle : handles_) curl_easy_cleanup(handle);
  curl_multi_cleanup(multi_);
}

std::size_t CurlMultiDriver::run(std::size_t calls) {
  std::size_t started = 0;
  std::size_t finished = 0;
  std::size_t failed = 0;
  for (std::size_t i = 0; i < std::min(calls, handles_.size()); ++i) {
    bodies_[i].clear();
    curl_multi_add_handle(multi_, handles_[i]);
    ++started;
  }
  while (finished < calls) {
    int running = 0;
    curl_multi_perform(multi_, &running);
    int queued = 0;
    bool progressed = false;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      CURL* handle = message->easy_handle;
      const CURLcode result = message->data.result;
      progressed = true;
      ++finished;
      if (!CurlRequestShape::succeeded(handle, result)) ++failed;
      curl_multi_remove_handle(multi_, handle);
      if (started < calls) {
        void* body = nullptr;
        curl_easy_getinfo(handle, CURLINFO_PRIVATE, &body);
        static_cast<std::string*>(body)->clear();
        curl_multi_add_handle(multi_, handle);
        ++started;
      }
    }
    if (!progressed && finished < calls) curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
  }
  return failed;
}

}  // namespace orvane::site::bench
