#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "orvane/site/ClientOptions.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/standin/standin_server.h"

namespace orvane::site::testkit {

/// A transport that trusts `server`'s own authority.
inline std::shared_ptr<CurlTransport> transportTrusting(const standin::StandinServer& server) {
  CurlTransportOptions trust;
  trust.caInfoPem = server.certificate().caPem();
  return std::make_shared<CurlTransport>(trust);
}

/// Options of a client of `server` with `key`: one attempt, a deadline of `deadline`.
inline ClientOptions standinClientOptions(
    const standin::StandinServer& server,
    const std::string& key = standin::StandinOptions::kDemoKey,
    std::shared_ptr<HttpTransport> transport = nullptr,
    std::chrono::seconds deadline = std::chrono::seconds(30)) {
  return ClientOptions()
      .setApiKey(key)
      .setHost(server.host())
      .setTransport(transport ? std::move(transport) : transportTrusting(server))
      .setRetryPolicy(RetryPolicy().setMaxAttempts(1))
      .setDeadline(deadline);
}

}  // namespace orvane::site::testkit
