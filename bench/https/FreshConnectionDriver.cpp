#include "https/FreshConnectionDriver.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace orvane::site::bench {

FreshConnectionDriver::FreshConnectionDriver(const CurlRequestShape& request, int inFlight)
    : request_(request), inFlight_(inFlight) {}

std::size_t FreshConnectionDriver::run(std::size_t calls) {
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> failed{0};
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(inFlight_));
  for (int i = 0; i < inFlight_; ++i) {
    threads.emplace_back([&] {
      std::string body;
      while (next.fetch_add(1) < calls) {
        CURL* handle = curl_easy_init();
        body.clear();
        request_.configure(handle, &body);
        if (!CurlRequestShape::succeeded(handle, curl_easy_perform(handle))) ++failed;
        curl_easy_cleanup(handle);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  return failed.load();
}

}  // namespace orvane::site::bench
