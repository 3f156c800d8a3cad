#include "orvane/site/RedisRateLimiter.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "LocalBucket.h"
#include "OptionChecks.h"
#include "QuotaScript.h"
#include "RedisConnection.h"
#include "orvane/site/LogSink.h"

namespace orvane::site {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// Permits requested while one round trip is under way go together in the next one, up to this.
constexpr std::size_t kMaxBatch = 1024;
void deliver(const RateLimiter::Grant& grant, nanoseconds wait) {
  // A grant that throws has nowhere to report to; the limiter carries on.
  try {
    grant(wait);
  } catch (...) {  // NOLINT(bugprone-empty-catch)
  }
}

// The wait is counted when the grant is called, so that a grant called late (after slow grants
// before it, or a busy machine) does not push its permit later still.
void deliverAt(const RateLimiter::Grant& grant, Clock::time_point useAt) {
  deliver(grant, std::max(useAt - Clock::now(), nanoseconds::zero()));
}

}  // namespace

class RedisRateLimiter::Impl : public std::enable_shared_from_this<RedisRateLimiter::Impl> {
 public:
  explicit Impl(Options options)
      : options_(std::move(options)),
        key_(options_.keyPrefix + options_.quotaName),
        intervalMicros_(std::max(1LL, std::llround(1e6 / options_.permitsPerSecond))),
        toleranceMicros_(intervalMicros_ * static_cast<long long>(options_.burst - 1)),
        fallback_(options_.fallbackPermitsPerSecond, options_.fallbackBurst),
        jitter_(std::random_device{}()) {
    settings_.host = options_.host;
    settings_.port = options_.port;
    settings_.unixSocket = options_.unixSocket;
    settings_.user = options_.user;
    settings_.password = options_.password;
    settings_.database = options_.database;
    settings_.connectTimeout = options_.connectTimeout;
  }

  ~Impl() = default;

  // Starts the limiter's thread, which keeps the Impl alive until it ends: the limiter may be
  // destroyed on that very thread (a grant holding its last reference).
  void start() {
    // The thread starts with every signal blocked: a write to a connection Redis closed must
    // not raise SIGPIPE, and the application's handlers belong on its own threads.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
      thread_ = std::thread([self = shared_from_this()] { self->run(); });
    } catch (...) {
      pthread_sigmask(SIG_SETMASK, &previous, nullptr);
      throw;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }

  // Ends the limiter's thread and grants what still waits from the local bucket.
  void stop() {
    if (forked()) {
      // The thread and what waits for it are the parent's. The thread holds this Impl, and in
      // the child it never lets go, so thread_ is never ended unjoined.
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.get_id() == std::this_thread::get_id()) {
      // Called from a grant on the limiter's own thread: it ends once that grant returns.
      thread_.detach();
    } else {
      thread_.join();
    }
    grantWaitingLocally();
  }

  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  Impl(Impl&&) = delete;
  Impl& operator=(Impl&&) = delete;

  void acquire(Grant grant) {
    if (!grant) redis::refuse("acquire needs a grant function");
    std::unique_lock<std::mutex> lock(mutex_);
    if (mode_ == Mode::fallback || stopping_ || forked()) {
      const nanoseconds wait = localWait(Clock::now());
      lock.unlock();
      deliver(grant, wait);
      return;
    }
    waiting_.push_back(std::move(grant));
    lock.unlock();
    wake_.notify_one();
  }

  void slowDown(nanoseconds pause) {
    pause = std::min<nanoseconds>(pause, options_.longestSlowDown);
    if (pause <= nanoseconds::zero()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const Clock::time_point until = Clock::now() + pause;
      pausedUntil_ = std::max(pausedUntil_, until);
      fallback_.holdUntil(until);
      if (mode_ == Mode::fallback) return;
      pauseToSend_ = true;
    }
    wake_.notify_one();
  }

  bool usingFallback() const noexcept { return !shared_.load() || forked(); }

 private:
  enum class Mode { connecting, shared, fallback };

  void run() {
    pthread_setname_np(pthread_self(), "orvane-redis");
    milliseconds backoff = options_.reconnectBackoff;
    for (;;) {
      Mode mode = Mode::connecting;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopping_) break;
        mode = mode_;
        if (mode == Mode::fallback) {
          wake_.wait_for(lock, jittered(backoff), [this] { return stopping_; });
          if (stopping_) break;
        }
      }
      if (mode != Mode::shared) {
        std::string error;
        if (reachRedis(error)) {
          enterShared();
          backoff = options_.reconnectBackoff;
        } else {
          enterFallback(error);
          if (mode == Mode::fallback) backoff = std::min(backoff * 2, options_.reconnectBackoffMax);
        }
        continue;
      }
      serveBatch();
    }
    connection_.close();
  }

  // Connects when needed, loads the script and checks that the quota's key can be used.
  bool reachRedis(std::string& error) {
    if (!connection_.isOpen()) {
      if (!openAndLoad(settings_, error)) return false;
      // A connection that breaks while permits wait is made again to this address: hiredis
      // looks names up without a time-out, and those permits must not wait for a resolver.
      lastAddress_ = settings_;
      const std::string address = connection_.peerAddress();
      if (!address.empty()) lastAddress_.host = address;
    }
    std::vector<long long> waits;
    return runScript({redis::QuotaRequest{0, 0}}, waits, error);
  }

  bool openAndLoad(const redis::ConnectionSettings& settings, std::string& error) {
    if (!connection_.open(settings, error)) return false;
    std::vector<redis::Reply> replies;
    if (!connection_.pipeline({{"SCRIPT", "LOAD", redis::quotaScript()}}, options_.requestTimeout,
                              replies, error)) {
      return false;
    }
    if (replies.front().kind != redis::Reply::Kind::text) {
      error = "cannot load the script: " + replies.front().text;
      connection_.close();
      return false;
    }
    scriptSha_ = replies.front().text;
    return true;
  }

  // One pipelined round trip for every permit waiting now (and a pending slow-down).
  void serveBatch() {
    std::vector<Grant> batch;
    std::vector<redis::QuotaRequest> requests;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || pauseToSend_ || !waiting_.empty(); });
      if (stopping_) return;
      if (pauseToSend_) {
        pauseToSend_ = false;
        const auto left = std::chrono::ceil<microseconds>(pausedUntil_ - Clock::now());
        if (left.count() > 0) requests.push_back(redis::QuotaRequest{left.count(), 0});
      }
      const std::size_t count = std::min(waiting_.size(), kMaxBatch);
      batch.reserve(count);
      for (std::size_t i = 0; i < count; ++i) {
        batch.push_back(std::move(waiting_.front()));
        waiting_.pop_front();
      }
    }
    const std::size_t firstPermit = requests.size();
    requests.resize(firstPermit + batch.size(), redis::QuotaRequest{0, 1});

    std::vector<long long> waits;
    std::string error;
    bool answered = runScript(requests, waits, error);
    if (!answered && !connection_.isOpen() && !connection_.timedOut()) {
      // A connection closed while it was idle (Redis restarted, or its idle time-out): one
      // fresh connection before falling back. Scripts the old one ran only make permits scarcer.
      answered = openAndLoad(lastAddress_, error) && runScript(requests, waits, error);
    }
    if (!answered) {
      enterFallback(error);
      grantLocally(batch);
      return;
    }
    std::vector<Clock::time_point> useAt(batch.size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const Clock::time_point answered = Clock::now();
      for (std::size_t i = 0; i < batch.size(); ++i) {
        useAt[i] = answered + microseconds(waits[firstPermit + i]);
        lastSharedUse_ = std::max(lastSharedUse_, useAt[i]);
        useAt[i] = std::max(useAt[i], pausedUntil_);
      }
    }
    for (std::size_t i = 0; i < batch.size(); ++i) deliverAt(batch[i], useAt[i]);
  }

  // Runs the script once per request (EVALSHA; EVAL where Redis no longer has the script).
  bool runScript(const std::vector<redis::QuotaRequest>& requests, std::vector<long long>& waits,
                 std::string& error) {
    std::vector<std::vector<std::string>> commands;
    commands.reserve(requests.size());
    for (const redis::QuotaRequest& request : requests) {
      commands.push_back(command("EVALSHA", scriptSha_, request));
    }
    std::vector<redis::Reply> replies;
    if (!connection_.pipeline(commands, options_.requestTimeout, replies, error)) return false;

    std::vector<std::size_t> lost;
    for (std::size_t i = 0; i < replies.size(); ++i) {
      if (replies[i].kind == redis::Reply::Kind::error &&
          replies[i].text.compare(0, 8, "NOSCRIPT") == 0) {
        lost.push_back(i);
      }
    }
    if (!lost.empty()) {
      // EVAL also stores the script again, so the next batch's EVALSHA finds it.
      commands.clear();
      for (std::size_t i : lost)
        commands.push_back(command("EVAL", redis::quotaScript(), requests[i]));
      std::vector<redis::Reply> again;
      if (!connection_.pipeline(commands, options_.requestTimeout, again, error)) return false;
      for (std::size_t j = 0; j < lost.size(); ++j) replies[lost[j]] = std::move(again[j]);
    }

    waits.clear();
    for (const redis::Reply& reply : replies) {
      if (reply.kind == redis::Reply::Kind::error) {
        error = "script failed: " + reply.text;
        return false;
      }
      if (reply.kind != redis::Reply::Kind::integer || reply.integer < 0) {
        error = "unexpected reply from the script";
        return false;
      }
      waits.push_back(reply.integer);
    }
    return true;
  }

  std::vector<std::string> command(const char* verb, const std::string& script,
                                   const redis::QuotaRequest& request) const {
    std::vector<std::string> words{verb, script, "1", key_};
    for (std::string& argument :
         redis::quotaArguments(intervalMicros_, toleranceMicros_, request)) {
      words.push_back(std::move(argument));
    }
    return words;
  }

  void enterShared() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const Mode was = mode_;
      mode_ = Mode::shared;
      shared_ = true;
      if (was != Mode::fallback) return;
    }
    report(false, "Redis answers again",
           "Quota \"" + options_.quotaName +
               "\": Redis answers again; permits come from the "
               "shared bucket",
           LogLevel::info);
  }

  void enterFallback(const std::string& reason) {
    bool changed = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      changed = mode_ != Mode::fallback;
      if (changed) {
        mode_ = Mode::fallback;
        shared_ = false;
        // Permits this process already holds from the shared bucket come first.
        fallback_.holdUntil(lastSharedUse_ + fallback_.interval());
      }
    }
    grantWaitingLocally();
    if (changed) {
      report(true, reason,
             "Quota \"" + options_.quotaName + "\": Redis unavailable (" + reason +
                 "); permits come from a local bucket at " +
                 redis::number(options_.fallbackPermitsPerSecond) + " per second",
             LogLevel::error);
    }
  }

  void report(bool fallback, const std::string& reason, const std::string& line, LogLevel level) {
    writeLog(level, __FILE__, "RedisRateLimiter", line);
    if (!options_.observer) return;
    // An observer that throws is dropped, as everywhere in the library.
    try {
      options_.observer->onLimiterChange(
          CallObserver::LimiterChange{options_.quotaName, fallback, reason});
    } catch (...) {  // NOLINT(bugprone-empty-catch)
    }
  }

  void grantWaitingLocally() {
    std::vector<Grant> batch;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      batch.reserve(waiting_.size());
      for (Grant& grant : waiting_) batch.push_back(std::move(grant));
      waiting_.clear();
    }
    grantLocally(batch);
  }

  void grantLocally(const std::vector<Grant>& batch) {
    if (batch.empty()) return;
    std::vector<Clock::time_point> useAt(batch.size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const Clock::time_point now = Clock::now();
      for (Clock::time_point& slot : useAt) slot = now + localWait(now);
    }
    for (std::size_t i = 0; i < batch.size(); ++i) deliverAt(batch[i], useAt[i]);
  }

  // Called with the lock held.
  nanoseconds localWait(Clock::time_point now) {
    return std::max(fallback_.reserve(now), pausedUntil_ - now);
  }

  // Up to a fifth shorter or longer, so that a fleet does not reconnect in step.
  milliseconds jittered(milliseconds base) {
    std::uniform_real_distribution<double> spread(0.8, 1.2);
    return milliseconds(std::llround(static_cast<double>(base.count()) * spread(jitter_)));
  }

  const Options options_;
  const std::string key_;
  const long long intervalMicros_;
  const long long toleranceMicros_;
  redis::ConnectionSettings settings_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Grant> waiting_;
  Mode mode_ = Mode::connecting;
  // mode_ == Mode::shared, readable without the lock.
  std::atomic<bool> shared_{false};
  bool stopping_ = false;
  bool pauseToSend_ = false;
  Clock::time_point pausedUntil_{};
  Clock::time_point lastSharedUse_{};
  redis::LocalBucket fallback_;

  // Used by the limiter's thread only.
  redis::RedisConnection connection_;
  redis::ConnectionSettings lastAddress_;
  std::string scriptSha_;
  std::minstd_rand jitter_;

  std::thread thread_;
  // fork() copies the limiter but neither its thread nor its own use of the connection, which
  // stays the parent's: a child draws on the local bucket.
  const pid_t owner_ = getpid();

  bool forked() const noexcept { return getpid() != owner_; }
};

RedisRateLimiter::RedisRateLimiter(Options options) {
  redis::checkOptions(options);
  impl_ = std::make_shared<Impl>(std::move(options));
  impl_->start();
}

RedisRateLimiter::~RedisRateLimiter() { impl_->stop(); }

void RedisRateLimiter::acquire(Grant grant) { impl_->acquire(std::move(grant)); }

void RedisRateLimiter::slowDown(nanoseconds pause) { impl_->slowDown(pause); }

bool RedisRateLimiter::usingFallback() const noexcept { return impl_->usingFallback(); }

}  // namespace orvane::site
