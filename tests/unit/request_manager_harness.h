#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/Error.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/internal/SiteRequestManager.h"
#include "orvane/site/testing/FakeTransport.h"

namespace orvane::site::testkit {

/// One manager on a fake transport, with every callback it makes recorded.
struct ManagerCall {
  struct Outcome {
    std::optional<Error> error;
    std::optional<std::string> body;
  };

  std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
  std::shared_ptr<SiteRequestManager> manager;
  std::vector<Outcome> outcomes;

  explicit ManagerCall(std::string key = "KEY", std::string host = "site-api.orvane.com",
                       std::string path = "mapApi/v1/siteService/geocode") {
    manager = SiteRequestManager::create(std::move(host), std::move(path), nullptr);
    manager->setTransport(transport);
    manager->setParams(std::map<std::string, std::string>{{"key", std::move(key)}});
    manager->setMode(RequestMode::post);
  }

  ~ManagerCall() { transport->dropPending(); }
  ManagerCall(const ManagerCall&) = delete;
  ManagerCall& operator=(const ManagerCall&) = delete;

  void start() {
    manager->build([this](std::optional<Error> error, std::optional<std::string> body) {
      outcomes.push_back(Outcome{std::move(error), std::move(body)});
    });
  }

  /// The only outcome; fails the test unless exactly one callback was made.
  const Outcome& only() const {
    EXPECT_EQ(outcomes.size(), 1u);
    static const Outcome kNone;
    return outcomes.empty() ? kNone : outcomes.front();
  }
};

inline bool isTransportError(const ManagerCall::Outcome& outcome, TransportErrorCode code) {
  return outcome.error && !outcome.body && outcome.error->domain == "OrvaneSite.TransportError" &&
         outcome.error->code == static_cast<std::int64_t>(code);
}

}  // namespace orvane::site::testkit
