#include "transport/ServiceLoop.h"

#include <pthread.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX pthread_sigmask

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include <openssl/crypto.h>
#include <openssl/ssl.h>

#include "internal/AllocationFault.h"
#include "orvane/site/transport/CurlTransport.h"
#include "transport/CurlTransfer.h"

namespace orvane::site::transport {
namespace {

// curl_multi_poll is also woken by every post, so this only bounds an idle wait.
constexpr int kIdlePollMilliseconds = 60 * 1000;
// How long process exit waits for the library thread to reach a safe point.
constexpr auto kParkWait = std::chrono::seconds(1);

void runGuarded(const ServiceLoop::Task& task) {
  try {
    if (task) task();
  } catch (...) {
    // A throwing task must not end the thread that serves every other call.
  }
}

// After stop there is no library thread: work still handed over (the end of a call, a late
// retry) runs at once on a short-lived thread, never inside the call that handed it over.
void runOnOwnThread(ServiceLoop::Task task) {
  try {
    std::thread([task = std::move(task)] { runGuarded(task); }).detach();
  } catch (...) {
    runGuarded(task);  // no thread to be had: answering here beats never
  }
}

HttpOutcome failedOutcome(HttpOutcome::Failure failure, std::string detail) {
  HttpOutcome outcome;
  outcome.failure = failure;
  outcome.failureDetail = std::move(detail);
  return outcome;
}

constexpr const char* kShutDownDetail = "the library was shut down";

void nameThisThread() {
  // Linux keeps at most 15 characters of a thread name.
  const std::string name = std::string(CurlTransport::kLibraryThreadName).substr(0, 15);
  pthread_setname_np(pthread_self(), name.c_str());
}

}  // namespace

ServiceLoop::ServiceLoop() {
  // OpenSSL's own exit handler would free its state while a handler that outlasted exit's wait
  // may still use it; asked first, OpenSSL registers none (an application that set OpenSSL up
  // earlier keeps its own choice).
  (void)OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
  (void)OPENSSL_init_ssl(OPENSSL_INIT_NO_ATEXIT, nullptr);
  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    throw std::runtime_error("libcurl could not be initialised");
  }
  multi_ = curl_multi_init();
  if (!multi_) throw std::runtime_error("libcurl could not create its multi handle");
  // A burst of calls must queue rather than open a connection each: thousands of simultaneous
  // handshakes exhaust file descriptors and memory and make most of them fail. The loop's own
  // queue (see `start`) keeps within these limits, so libcurl never queues a transfer where no
  // time-out of ours would reach it; the limits stay as a backstop.
  curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxConnectionsPerHost);
  curl_multi_setopt(multi_, CURLMOPT_MAX_TOTAL_CONNECTIONS, kMaxConnectionsInAll);
  // Keep every connection the limits allow. libcurl's default keeps 4 per easy handle added at
  // that moment, and handles are added only while their calls are under way: whenever fewer
  // calls ran, it closed idle connections that the next burst of calls had to open again.
  curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, kMaxConnectionsInAll);
  // Transfers to one host share an HTTP/2 connection where the server offers it.
  curl_multi_setopt(multi_, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);

  // The thread starts with every signal blocked, so the application's handlers run on its own
  // threads and a write to a closed connection cannot raise SIGPIPE here.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    thread_ = std::thread([this] { run(); });
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    curl_multi_cleanup(multi_);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);

  // After libcurl set up OpenSSL, so the exit handler runs before OpenSSL's own.
  publish(this);
}

void ServiceLoop::parkAtExit() {
  ServiceLoop* loop = existing();
  // exit() called from a completion on the library thread: that thread runs no further step.
  if (!loop || isLoopThread()) return;
  std::unique_lock<std::mutex> lock(loop->mutex_);
  if (loop->stopped_) return;  // stop() ended the thread already
  loop->exiting_.store(true, std::memory_order_release);
  loop->waker_.wake();
  loop->parkedChanged_.wait_for(lock, kParkWait,
                                [loop] { return loop->parked_ || loop->stopped_; });
}

void ServiceLoop::parkForever(std::unique_lock<std::mutex>& lock) {
  parked_ = true;
  parkedChanged_.notify_all();
  for (;;) parkedChanged_.wait(lock);
}

void ServiceLoop::parkIfExiting() {
  if (!exitRequested()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  parkForever(lock);
}

void ServiceLoop::post(Task task) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopped_) {
    lock.unlock();
    runOnOwnThread(std::move(task));
    return;
  }
  tasks_.push_back(std::move(task));
  lock.unlock();
  // The loop's own thread needs no wake-up: it looks for tasks before it waits.
  if (!isLoopThread()) waker_.wake();
}

void ServiceLoop::postAfter(std::chrono::nanoseconds delay, Task task) {
  const Clock::time_point now = Clock::now();
  Clock::time_point deadline = now;
  if (delay > std::chrono::nanoseconds::zero()) {
    const auto room = Clock::time_point::max() - now;
    deadline = delay >= room ? Clock::time_point::max()
                             : now + std::chrono::duration_cast<Clock::duration>(delay);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopped_) {
    lock.unlock();
    runOnOwnThread(std::move(task));
    return;
  }
  timers_.push(Timer{deadline, nextTimerOrder_++, std::move(task)});
  lock.unlock();
  // The loop's own thread reckons its wait from the timers before it waits.
  if (!isLoopThread()) waker_.wake();
}

void ServiceLoop::start(const std::shared_ptr<CurlTransfer>& transfer) {
  if (transfer->cancelled()) return;
  if (!transfer->handle()) {
    transfer->complete(
        failedOutcome(HttpOutcome::Failure::otherFailure, transfer->preparationFailure()));
    return;
  }
  if (stopped()) {
    transfer->complete(failedOutcome(HttpOutcome::Failure::otherFailure, kShutDownDetail));
    return;
  }
  // Nothing waits while there is room (every release admits what fits), so room for this host
  // means it is not overtaking an earlier transfer to the same host.
  if (admission_.hasRoomFor(*transfer)) {
    begin(transfer);
    return;
  }
  admission_.wait(transfer);
  if (const auto& deadline = transfer->deadline()) {
    std::weak_ptr<CurlTransfer> weak = transfer;
    std::lock_guard<std::mutex> lock(mutex_);
    timers_.push(Timer{*deadline, nextTimerOrder_++, [this, weak] { expire(weak); }});
  }
}

void ServiceLoop::begin(const std::shared_ptr<CurlTransfer>& transfer) {
  const auto now = Clock::now();
  transfer->markSent(now);
  if (!transfer->setTimeoutFrom(now)) {
    transfer->complete(failedOutcome(HttpOutcome::Failure::timedOut,
                                     "the deadline passed before the transfer could start"));
    return;
  }
  CURL* handle = transfer->handle();
  // Registered before libcurl knows the handle: were memory short here, the transfer still ends
  // with its completion and libcurl never holds a handle without its owner.
  std::unordered_map<CURL*, std::shared_ptr<CurlTransfer>>::iterator entry;
  try {
    internal::throwIfAllocationFault(internal::AllocationSite::transferRegistration);
    entry = transfers_.emplace(handle, transfer).first;
  } catch (const std::bad_alloc&) {
    transfer->complete(failedOutcome(HttpOutcome::Failure::otherFailure,
                                     "out of memory while registering the transfer"));
    return;
  }
  const CURLMcode added = curl_multi_add_handle(multi_, handle);
  if (added != CURLM_OK) {
    transfers_.erase(entry);
    transfer->complete(failedOutcome(
        HttpOutcome::Failure::otherFailure,
        std::string("libcurl could not start the transfer: ") + curl_multi_strerror(added)));
    return;
  }
  transfer->setRunning(true);
  admission_.began(*transfer);
}

void ServiceLoop::release(const std::shared_ptr<CurlTransfer>& transfer) {
  if (!transfer->running()) return;
  transfer->setRunning(false);
  transfer->tallyConnections();
  admission_.ended(*transfer);
}

void ServiceLoop::admitWaiting() {
  while (std::shared_ptr<CurlTransfer> transfer = admission_.next()) begin(transfer);
}

void ServiceLoop::expire(const std::weak_ptr<CurlTransfer>& weak) {
  std::shared_ptr<CurlTransfer> transfer = weak.lock();
  if (!transfer || !admission_.remove(*transfer)) return;
  transfer->complete(
      failedOutcome(HttpOutcome::Failure::timedOut, "no connection was free before the deadline"));
}

void ServiceLoop::cancel(const std::shared_ptr<CurlTransfer>& transfer) {
  if (stopped()) return;
  if (admission_.remove(*transfer)) return;
  if (!transfer->running()) return;
  // Removing a transfer under way closes its HTTP/1.1 connection (or, between two exchanges,
  // returns it to the pool); on HTTP/2 libcurl resets the transfer's stream alone and keeps the
  // connection for the others. Either way the slot serves the next transfer at once.
  curl_multi_remove_handle(multi_, transfer->handle());
  transfers_.erase(transfer->handle());
  release(transfer);
  admitWaiting();
}

bool ServiceLoop::stopped() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_ || stopped_;
}

void ServiceLoop::stop() {
  std::lock_guard<std::mutex> stopLock(stopMutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || stopped_) return;
    stopping_ = true;
  }
  waker_.wake();
  // On the library thread itself (shutdown from a handler) the loop ends after this pass.
  if (!isLoopThread() && thread_.joinable()) thread_.join();
}

void ServiceLoop::drainAtStop() {
  // Every transfer ends with its completion; what those post or schedule runs too (timers at
  // once), a bounded number of rounds, so that each call still ends exactly once.
  for (int round = 0; round < 100; ++round) {
    std::vector<std::shared_ptr<CurlTransfer>> ending;
    for (auto& waiting : admission_.takeAll()) ending.push_back(std::move(waiting));
    for (auto& [handle, transfer] : transfers_) {
      curl_multi_remove_handle(multi_, handle);
      release(transfer);
      ending.push_back(std::move(transfer));
    }
    transfers_.clear();
    std::deque<Task> tasks;
    std::vector<Task> timers;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks.swap(tasks_);
      while (!timers_.empty()) {
        timers.push_back(std::move(const_cast<Timer&>(timers_.top()).task));
        timers_.pop();
      }
    }
    if (ending.empty() && tasks.empty() && timers.empty()) break;
    for (auto& transfer : ending) {
      runGuarded([&] {
        transfer->complete(failedOutcome(HttpOutcome::Failure::otherFailure, kShutDownDetail));
      });
    }
    for (const Task& task : tasks) runGuarded(task);
    for (const Task& task : timers) runGuarded(task);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    parkedChanged_.notify_all();
  }
  // No one uses the handle any more: wake-ups go to the loop's own eventfd.
  curl_multi_cleanup(multi_);
  multi_ = nullptr;
}

void ServiceLoop::run() {
  markLoopThread();
  nameThisThread();
  std::deque<Task> tasks;
  curl_waitfd wakeFd = waker_.waitFd();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (exitRequested()) parkForever(lock);
      if (stopping_) break;
      tasks.swap(tasks_);
    }
    // Several wake-ups can merge into one, so every pass takes all queued tasks. Exit may begin
    // during any of them: what follows it would meet the application's state torn down.
    for (const Task& task : tasks) {
      parkIfExiting();
      runGuarded(task);
    }
    tasks.clear();
    runDueTimers();

    parkIfExiting();
    int running = 0;
    curl_multi_perform(multi_, &running);
    finishTransfers();

    parkIfExiting();
    // Work the pass itself left (a call's next step, a handler to run, a transfer libcurl
    // wants driven at once) is taken up without asking the kernel whether anything else came.
    const int wait = pollTimeoutMilliseconds();
    if (wait == 0) continue;
    wakeFd.revents = 0;
    curl_multi_poll(multi_, &wakeFd, 1, wait, nullptr);
    if (wakeFd.revents != 0) waker_.drain();
  }
  drainAtStop();
}

void ServiceLoop::runDueTimers() {
  std::vector<Task> due;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const Clock::time_point now = Clock::now();
    while (!timers_.empty() && timers_.top().deadline <= now) {
      // priority_queue only hands out const references; the task is moved out before pop.
      due.push_back(std::move(const_cast<Timer&>(timers_.top()).task));
      timers_.pop();
    }
  }
  for (const Task& task : due) {
    parkIfExiting();
    runGuarded(task);
  }
}

void ServiceLoop::finishTransfers() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    parkIfExiting();
    CURL* handle = message->easy_handle;
    const CURLcode result = message->data.result;
    curl_multi_remove_handle(multi_, handle);
    auto found = transfers_.find(handle);
    if (found == transfers_.end()) continue;
    std::shared_ptr<CurlTransfer> transfer = std::move(found->second);
    transfers_.erase(found);
    release(transfer);
    HttpOutcome outcome = transfer->outcome(result);
    parkIfExiting();
    runGuarded([&] { transfer->complete(std::move(outcome)); });
  }
  admitWaiting();
}

int ServiceLoop::pollTimeoutMilliseconds() {
  long curlTimeout = -1;
  curl_multi_timeout(multi_, &curlTimeout);
  long wait =
      curlTimeout < 0 ? kIdlePollMilliseconds : std::min<long>(curlTimeout, kIdlePollMilliseconds);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!tasks_.empty() || exitRequested() || stopping_) return 0;
  if (!timers_.empty()) {
    const auto untilTimer = timers_.top().deadline - Clock::now();
    if (untilTimer <= Clock::duration::zero()) return 0;
    // Rounded up, so a timer is never found not yet due right after the wait.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(untilTimer).count();
    if (ms < wait) wait = static_cast<long>(ms);
  }
  return static_cast<int>(wait);
}

}  // namespace orvane::site::transport
