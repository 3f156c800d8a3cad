#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "transport/ConnectionAdmission.h"
#include "transport/LoopWaker.h"

namespace orvane::site::transport {

class CurlTransfer;

/// The one library thread "orvane-site-services": a libcurl multi handle, a queue of tasks and
/// a timer heap, served by one loop around curl_multi_poll.
///
/// Made on first use and never destroyed. At process exit it parks the thread before the TLS
/// library and other process-wide state are torn down: at once when the thread is between two
/// steps, else as soon as the task or completion under way returns (exit waits for that at most
/// one second). No further task, timer or completion runs and libcurl is not driven again after
/// that, and OpenSSL's state is never torn down by exit. `stop` ends and joins the thread
/// earlier.
///
/// A child process made by fork() starts a loop of its own, with its own connections, at its
/// first call; the parent's loop and connections are left alone. After `stop` the child's
/// loop stays stopped.
///
/// The loop, not libcurl, decides when a transfer starts (ConnectionAdmission): within the
/// limits of its pool, of its transport, and of the loop (kMaxConnectionsPerHost to one host,
/// kMaxConnectionsInAll in all); the others wait in their pool's queue, where a transfer whose
/// deadline passes ends at once without being sent. A transfer's time-out starts when it starts.
class ServiceLoop {
 public:
  using Task = std::function<void()>;
  using Clock = std::chrono::steady_clock;

  /// Connections of the whole process to one host, and to all hosts together, whatever the
  /// pools' and transports' own limits: a bound on the file descriptors the library holds.
  static constexpr long kMaxConnectionsPerHost = 512;
  static constexpr long kMaxConnectionsInAll = 512;

  /// The loop, started at the first call. Throws std::system_error when the thread cannot
  /// start, or std::runtime_error when libcurl cannot be set up (the next call tries again).
  static ServiceLoop& shared();

  /// The loop if it was started, else null (it is not started by asking). Thread-safe.
  static ServiceLoop* existing() noexcept;

  /// True on the library thread.
  static bool isLoopThread() noexcept;

  /// Runs `task` on the library thread soon, after tasks posted before it. Thread-safe.
  void post(Task task);
  /// Runs `task` on the library thread once `delay` has passed. Thread-safe.
  void postAfter(std::chrono::nanoseconds delay, Task task);

  /// Starts a prepared transfer, or queues it until a connection is free. Library thread only.
  void start(const std::shared_ptr<CurlTransfer>& transfer);
  /// Stops a transfer, queued or running; its completion is dropped. Library thread only.
  void cancel(const std::shared_ptr<CurlTransfer>& transfer);

  /// Ends every transfer still under way with a failure, runs what is queued, then ends the
  /// thread and joins it (unless called on it). Afterwards posted tasks and timers run at once
  /// on a short-lived thread of their own and transfers fail without being sent. Thread-safe.
  void stop();
  /// True once `stop` has begun.
  bool stopped();

  ServiceLoop(const ServiceLoop&) = delete;
  ServiceLoop& operator=(const ServiceLoop&) = delete;

 private:
  struct Timer {
    Clock::time_point deadline;
    std::uint64_t order;
    Task task;
  };
  struct Later {
    bool operator()(const Timer& a, const Timer& b) const {
      return a.deadline != b.deadline ? a.deadline > b.deadline : a.order > b.order;
    }
  };

  ServiceLoop();
  // The process's one loop (LoopInstance.cpp): made on first use, let go in a forked child.
  static void publish(ServiceLoop* loop);
  static void markLoopThread() noexcept;
  static void parkAtExit();
  static void beforeFork();
  static void afterForkInParent();
  static void afterForkInChild();

  void run();
  void drainAtStop();
  void runDueTimers();
  void finishTransfers();
  void admit(const std::shared_ptr<CurlTransfer>& transfer);
  void begin(const std::shared_ptr<CurlTransfer>& transfer);
  void release(const std::shared_ptr<CurlTransfer>& transfer);
  void admitWaiting();
  void expire(const std::weak_ptr<CurlTransfer>& weak);
  int pollTimeoutMilliseconds();
  void parkForever(std::unique_lock<std::mutex>& lock);
  bool exitRequested() const noexcept { return exiting_.load(std::memory_order_acquire); }
  void parkIfExiting();

  LoopWaker waker_;
  CURLM* multi_ = nullptr;

  std::mutex mutex_;
  std::condition_variable parkedChanged_;
  std::deque<Task> tasks_;
  std::priority_queue<Timer, std::vector<Timer>, Later> timers_;
  std::uint64_t nextTimerOrder_ = 0;
  // Set under `mutex_`; read without it between the steps of a pass.
  std::atomic<bool> exiting_{false};
  bool parked_ = false;
  bool stopping_ = false;
  bool stopped_ = false;
  std::thread thread_;
  std::mutex stopMutex_;

  // Library thread only.
  std::unordered_map<CURL*, std::shared_ptr<CurlTransfer>> transfers_;
  ConnectionAdmission admission_{kMaxConnectionsPerHost, kMaxConnectionsInAll};
};

}  // namespace orvane::site::transport
