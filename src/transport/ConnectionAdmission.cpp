#include "transport/ConnectionAdmission.h"

#include <utility>

#include "orvane/site/transport/ConnectionPool.h"
#include "transport/CurlTransfer.h"

namespace orvane::site::transport {

ConnectionAdmission::ConnectionAdmission(long loopPerHost, long loopInAll)
    : loopPerHost_(loopPerHost), loopInAll_(loopInAll) {}

const ConnectionAdmission::Usage* ConnectionAdmission::find(const UsageBy& usage,
                                                            const ConnectionPool* key) {
  const auto found = usage.find(key);
  return found == usage.end() ? nullptr : &found->second;
}

bool ConnectionAdmission::roomIn(const Usage* usage, const std::string& host, long perHost,
                                 long inAll) {
  if (!usage) return true;
  if (usage->inAll >= inAll) return false;
  const auto found = usage->perHost.find(host);
  return found == usage->perHost.end() || found->second < perHost;
}

void ConnectionAdmission::count(UsageBy& usage, const ConnectionPool* key, const std::string& host,
                                long by) {
  Usage& entry = usage[key];
  entry.inAll += by;
  if ((entry.perHost[host] += by) <= 0) entry.perHost.erase(host);
  if (entry.inAll <= 0) usage.erase(key);
}

bool ConnectionAdmission::hasRoomFor(const CurlTransfer& transfer) const {
  const std::string& host = transfer.hostKey();
  const ConnectionLimits& pool = transfer.pool()->limits();
  const ConnectionLimits& transport = transfer.transportShare()->limits();
  return roomIn(&loop_, host, loopPerHost_, loopInAll_) &&
         roomIn(find(byTransport_, transfer.transportShare()), host, transport.perHost,
                transport.inAll) &&
         roomIn(find(byPool_, transfer.pool()), host, pool.perHost, pool.inAll);
}

void ConnectionAdmission::began(const CurlTransfer& transfer) {
  const std::string& host = transfer.hostKey();
  loop_.inAll += 1;
  loop_.perHost[host] += 1;
  count(byTransport_, transfer.transportShare(), host, 1);
  count(byPool_, transfer.pool(), host, 1);
}

void ConnectionAdmission::ended(const CurlTransfer& transfer) {
  const std::string& host = transfer.hostKey();
  loop_.inAll -= 1;
  if (--loop_.perHost[host] <= 0) loop_.perHost.erase(host);
  count(byTransport_, transfer.transportShare(), host, -1);
  count(byPool_, transfer.pool(), host, -1);
}

void ConnectionAdmission::wait(const Transfer& transfer) {
  const ConnectionPool* pool = transfer->pool();
  auto found = queues_.find(pool);
  if (found == queues_.end()) {
    found = queues_.emplace(pool, Queue()).first;
    found->second.turn = turns_.insert(turns_.end(), pool);
  }
  std::list<Transfer>& transfers = found->second.transfers;
  transfer->setWaitingAt(transfers.insert(transfers.end(), transfer));
  ++waitingCount_;
}

bool ConnectionAdmission::remove(const CurlTransfer& transfer) {
  if (!transfer.waitingAt()) return false;
  const auto found = queues_.find(transfer.pool());
  if (found == queues_.end()) return false;
  const auto place = *transfer.waitingAt();
  // The queue holds the transfer: it must not be destroyed while this function still uses it.
  const Transfer keep = *place;
  keep->setWaitingAt(std::nullopt);
  found->second.transfers.erase(place);
  --waitingCount_;
  if (found->second.transfers.empty()) {
    turns_.erase(found->second.turn);
    queues_.erase(found);
  }
  return true;
}

ConnectionAdmission::Transfer ConnectionAdmission::next() {
  if (loop_.inAll >= loopInAll_) return nullptr;
  // Among the pools with a transfer that may run, the one with the fewest running goes first;
  // between equals, the one served longest ago.
  auto chosen = turns_.end();
  const Transfer* candidate = nullptr;
  long fewest = 0;
  for (auto turn = turns_.begin(); turn != turns_.end(); ++turn) {
    const Usage* usage = find(byPool_, *turn);
    const long running = usage ? usage->inAll : 0;
    if (candidate && running >= fewest) continue;
    if (running >= (*turn)->limits().inAll) continue;
    for (const Transfer& transfer : queues_.at(*turn).transfers) {
      if (!hasRoomFor(*transfer)) continue;
      chosen = turn;
      candidate = &transfer;
      fewest = running;
      break;
    }
    if (candidate && fewest == 0) break;
  }
  if (!candidate) return nullptr;
  Transfer taken = *candidate;
  turns_.splice(turns_.end(), turns_, chosen);
  remove(*taken);
  return taken;
}

std::list<ConnectionAdmission::Transfer> ConnectionAdmission::takeAll() {
  std::list<Transfer> all;
  for (const ConnectionPool* pool : turns_) {
    for (const Transfer& transfer : queues_.at(pool).transfers) {
      transfer->setWaitingAt(std::nullopt);
      all.push_back(transfer);
    }
  }
  queues_.clear();
  turns_.clear();
  waitingCount_ = 0;
  return all;
}

}  // namespace orvane::site::transport
