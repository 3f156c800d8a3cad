#include "CallMemo.h"

#include <atomic>
#include <list>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orvane::site::cli::batch {
namespace {

// An outcome that rows sending the same request later may take.
bool keptForLaterRows(const RowOutcome& outcome) {
  return outcome.failure == FailureKind::none || outcome.refusalIsFinal;
}

}  // namespace

// The calls in flight by key, and the memo, most recently used first.
class CallMemo::Calls : public std::enable_shared_from_this<Calls> {
 public:
  explicit Calls(std::size_t capacity) : capacity_(capacity) {}

  RowRunner::Cancel run(const std::string& key, Done done, const Start& start) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (const auto found = memo_.find(key); found != memo_.end()) {
      outcomes_.splice(outcomes_.begin(), outcomes_, found->second);
      RowOutcome outcome = found->second->second;
      lock.unlock();
      ++saved_;
      done(std::move(outcome));
      return [] {};  // answered already: nothing to cancel
    }
    if (const auto found = inFlight_.find(key); found != inFlight_.end()) {
      found->second->waiters.push_back(std::move(done));
      ++saved_;
      return cancelOf(found->second);
    }
    auto flight = std::make_shared<Flight>();
    flight->waiters.push_back(std::move(done));
    inFlight_.emplace(key, flight);
    lock.unlock();
    try {
      flight->cancel = start([self = shared_from_this(), key](RowOutcome outcome) {
        self->finish(key, std::move(outcome));
      });
    } catch (...) {
      std::lock_guard<std::mutex> relock(mutex_);
      inFlight_.erase(key);
      throw;
    }
    return cancelOf(flight);
  }

  std::uint64_t saved() const { return saved_.load(); }

 private:
  struct Flight {
    std::vector<Done> waiters;
    RowRunner::Cancel cancel;  // set on the caller's thread, the only one that cancels
  };
  using Outcomes = std::list<std::pair<std::string, RowOutcome>>;

  static RowRunner::Cancel cancelOf(const std::shared_ptr<Flight>& flight) {
    if (!flight->cancel) return {};
    return [flight] { flight->cancel(); };
  }

  void finish(const std::string& key, RowOutcome outcome) {
    std::vector<Done> waiters;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = inFlight_.find(key);
      if (found == inFlight_.end()) return;
      waiters = std::move(found->second->waiters);
      inFlight_.erase(found);
      if (keptForLaterRows(outcome) && capacity_ > 0) {
        outcomes_.emplace_front(key, outcome);
        memo_[key] = outcomes_.begin();
        if (outcomes_.size() > capacity_) {
          memo_.erase(outcomes_.back().first);
          outcomes_.pop_back();
        }
      }
    }
    for (std::size_t i = 0; i + 1 < waiters.size(); ++i) waiters[i](outcome);
    waiters.back()(std::move(outcome));
  }

  const std::size_t capacity_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Flight>> inFlight_;
  Outcomes outcomes_;
  std::unordered_map<std::string, Outcomes::iterator> memo_;
  std::atomic<std::uint64_t> saved_{0};
};

CallMemo::CallMemo(std::size_t capacity) : calls_(std::make_shared<Calls>(capacity)) {}

CallMemo::~CallMemo() = default;

RowRunner::Cancel CallMemo::run(const std::string& key, Done done, const Start& start) {
  return calls_->run(key, std::move(done), start);
}

std::uint64_t CallMemo::callsSaved() const { return calls_->saved(); }

RowRunner::Cancel shareCall(CallMemo* memo, const std::string& key, CallMemo::Done done,
                            const CallMemo::Start& start) {
  if (!memo) return start(std::move(done));
  return memo->run(key, std::move(done), start);
}

}  // namespace orvane::site::cli::batch
