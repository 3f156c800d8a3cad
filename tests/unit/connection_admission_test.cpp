// Which waiting transfer gets a free connection: within the limits of its pool, its transport
// and the loop, the waiting pool with the fewest running first, the oldest of a pool first.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "orvane/site/transport/ConnectionPool.h"
#include "transport/ConnectionAdmission.h"
#include "transport/CurlSettings.h"
#include "transport/CurlTransfer.h"

namespace orvane::site::transport {
namespace {

using Transfer = std::shared_ptr<CurlTransfer>;

struct Admission {
  explicit Admission(ConnectionLimits transport, long loopInAll = 512) : admission(512, loopInAll) {
    auto curl = std::make_shared<CurlSettings>();
    curl->transportShare = std::make_shared<const ConnectionPool>(transport);
    settings = curl;
  }
  // A transfer of `pool` to `host`: started when there is room, else queued.
  Transfer submit(const std::shared_ptr<const ConnectionPool>& pool, const std::string& host) {
    HttpRequest request;
    request.url = "https://" + host + "/x";
    request.pool = pool;
    auto transfer = std::make_shared<CurlTransfer>(request, settings, [](HttpOutcome) {});
    if (admission.hasRoomFor(*transfer)) {
      admission.began(*transfer);
      running.push_back(transfer);
    } else {
      admission.wait(transfer);
    }
    return transfer;
  }
  // Ends a running transfer and starts what then may run; the transfers started, in order.
  std::vector<Transfer> end(const Transfer& transfer) {
    admission.ended(*transfer);
    std::vector<Transfer> started;
    while (Transfer next = admission.next()) {
      admission.began(*next);
      started.push_back(next);
    }
    return started;
  }

  std::shared_ptr<const CurlSettings> settings;
  ConnectionAdmission admission;
  std::vector<Transfer> running;
};

std::shared_ptr<const ConnectionPool> pool(long perHost = 32, long inAll = 128) {
  return std::make_shared<const ConnectionPool>(ConnectionLimits{perHost, inAll});
}

TEST(ConnectionAdmission, AFreeConnectionGoesToThePoolWithTheFewestRunning) {
  Admission shared(ConnectionLimits{2, 2});
  const auto busy = pool();
  const auto quiet = pool();
  shared.submit(busy, "a");
  shared.submit(busy, "a");
  std::vector<Transfer> queued;
  for (int i = 0; i < 5; ++i) queued.push_back(shared.submit(busy, "a"));
  const Transfer first = shared.submit(quiet, "a");
  EXPECT_EQ(shared.admission.waitingCount(), 6U);
  // The quiet pool's first transfer goes before the five the busy pool queued earlier.
  EXPECT_EQ(shared.end(shared.running[0]), std::vector<Transfer>{first});
  EXPECT_EQ(shared.end(shared.running[1]), std::vector<Transfer>{queued[0]});
  EXPECT_EQ(shared.end(first), std::vector<Transfer>{queued[1]});
}

TEST(ConnectionAdmission, APoolsOwnLimitsHoldOnlyItsTransfers) {
  Admission transport(ConnectionLimits{256, 512});
  const auto small = pool(1, 2);
  const auto other = pool();
  const Transfer a1 = transport.submit(small, "a");
  const Transfer a2 = transport.submit(small, "a");  // beyond 1 per host: waits
  const Transfer b1 = transport.submit(small, "b");  // another host: runs
  const Transfer b2 = transport.submit(small, "b");  // beyond 2 in all: waits
  transport.submit(other, "a");                      // another pool: runs at once
  EXPECT_EQ(transport.running.size(), 3U);
  EXPECT_EQ(transport.admission.waitingCount(), 2U);
  // Oldest first within a pool, skipping one whose host is full: ending b1 lets b2 run, not a2.
  EXPECT_EQ(transport.end(b1), std::vector<Transfer>{b2});
  EXPECT_EQ(transport.end(a1), std::vector<Transfer>{a2});
}

TEST(ConnectionAdmission, ARemovedTransferLeavesItsPlace) {
  Admission loop(ConnectionLimits{256, 512}, 1);
  const auto own = pool();
  const Transfer running = loop.submit(own, "a");
  const Transfer expired = loop.submit(own, "a");
  const Transfer later = loop.submit(own, "a");
  EXPECT_TRUE(loop.admission.remove(*expired));
  EXPECT_FALSE(loop.admission.remove(*expired));
  EXPECT_FALSE(expired->waitingAt().has_value());
  EXPECT_EQ(loop.end(running), std::vector<Transfer>{later});
  EXPECT_EQ(loop.admission.waitingCount(), 0U);
}

TEST(ConnectionAdmission, PoolsRefuseLimitsThatAreNotPositive) {
  EXPECT_THROW(ConnectionPool(ConnectionLimits{0, 1}), std::invalid_argument);
  EXPECT_THROW(ConnectionPool(ConnectionLimits{1, -1}), std::invalid_argument);
}

}  // namespace
}  // namespace orvane::site::transport
