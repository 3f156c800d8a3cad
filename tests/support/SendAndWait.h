#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <utility>

#include "orvane/site/internal/CurlTransport.h"

namespace orvane::site::testkit {

/// The outcome of `method` to `url` (a POST carries `body`) through `transport`; fails the test
/// and returns an empty outcome when none comes within 30 s.
inline HttpOutcome sendAndWait(HttpTransport& transport, const std::string& url,
                               const std::string& method = "GET", const std::string& body = "") {
  HttpRequest request;
  request.method = method;
  request.url = url;
  if (!body.empty()) request.body = body;
  request.timeoutSeconds = 20;
  auto done = std::make_shared<std::promise<HttpOutcome>>();
  auto outcome = done->get_future();
  transport.send(request, [done](HttpOutcome result) { done->set_value(std::move(result)); });
  if (outcome.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    ADD_FAILURE() << "no outcome from " << url;
    return HttpOutcome{};
  }
  return outcome.get();
}

}  // namespace orvane::site::testkit
