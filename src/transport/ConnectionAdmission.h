#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

namespace orvane::site {
class ConnectionPool;
}

namespace orvane::site::transport {

class CurlTransfer;

/// Decides which transfers of the library thread may run: each within the limits of its pool,
/// of its transport and of the loop. Transfers beyond them wait in their pool's queue, in
/// arrival order. A free connection goes to the waiting pool with the fewest transfers running
/// (between equals, the one served longest ago), so that one pool's long queue never delays
/// another pool's first transfer.
///
/// Library thread only.
class ConnectionAdmission {
 public:
  using Transfer = std::shared_ptr<CurlTransfer>;

  /// The loop's own limits over every transfer, whatever its pool or transport.
  ConnectionAdmission(long loopPerHost, long loopInAll);

  /// Whether `transfer` may run now.
  bool hasRoomFor(const CurlTransfer& transfer) const;
  /// Counts a transfer that began running, and forgets it again when it ends.
  void began(const CurlTransfer& transfer);
  void ended(const CurlTransfer& transfer);

  /// Queues a transfer behind the waiting ones of its pool.
  void wait(const Transfer& transfer);
  /// Takes a waiting transfer out of its queue; false when it was not waiting.
  bool remove(const CurlTransfer& transfer);
  /// The next waiting transfer that may run, taken out of its queue, or null: the oldest with
  /// room of the pool chosen as above.
  Transfer next();
  /// Takes every waiting transfer out, oldest first within each pool.
  std::list<Transfer> takeAll();

  std::size_t waitingCount() const noexcept { return waitingCount_; }

 private:
  struct Usage {
    long inAll = 0;
    std::unordered_map<std::string, long> perHost;
  };
  struct Queue {
    std::list<Transfer> transfers;
    std::list<const ConnectionPool*>::iterator turn;
  };

  using UsageBy = std::unordered_map<const ConnectionPool*, Usage>;
  static const Usage* find(const UsageBy& usage, const ConnectionPool* key);
  static bool roomIn(const Usage* usage, const std::string& host, long perHost, long inAll);
  static void count(UsageBy& usage, const ConnectionPool* key, const std::string& host, long by);

  long loopPerHost_;
  long loopInAll_;
  // Running transfers by pool, by transport, and in the whole loop.
  UsageBy byPool_;
  UsageBy byTransport_;
  Usage loop_;
  std::unordered_map<const ConnectionPool*, Queue> queues_;
  // Pools with waiting transfers, the next to be served first.
  std::list<const ConnectionPool*> turns_;
  std::size_t waitingCount_ = 0;
};

}  // namespace orvane::site::transport
