#include "transport/ServiceLoop.h"

#include <pthread.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX pthread_sigmask

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include <openssl/crypto.h>
#include <openssl/ssl.h>

#include "internal/AllocationFault.h"
#include "orvane/site/internal/CurlTransport.h"
#include "transport/CurlTransfer.h"

namespace orvane::site::transport {
namespace {

thread_local bool tOnLoopThread = false;
std::atomic<ServiceLoop*> gLoop{nullptr};

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

void nameThisThread() {
  // Linux keeps at most 15 characters of a thread name.
  const std::string name = std::string(CurlTransport::kLibraryThreadName).substr(0, 15);
  pthread_setname_np(pthread_self(), name.c_str());
}

}  // namespace

ServiceLoop& ServiceLoop::shared() {
  static auto* const instance = new ServiceLoop();  // never destroyed
  return *instance;
}

bool ServiceLoop::isLoopThread() noexcept { return tOnLoopThread; }

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
  // handshakes exhaust file descriptors and memory and make most of them fail. Queued transfers
  // start as connections free up; their time-out counts the wait.
  curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxConnectionsPerHost);
  curl_multi_setopt(multi_, CURLMOPT_MAX_TOTAL_CONNECTIONS, kMaxConnectionsInAll);
  // Keep every connection the limits allow. libcurl's default keeps 4 per easy handle added at
  // that moment, and handles are added only while their calls are under way: whenever fewer
  // calls ran, it closed idle connections that the next burst of calls had to open again.
  curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, kMaxConnectionsInAll);

  // The thread starts with every signal blocked, so the application's handlers run on its own
  // threads and a write to a closed connection cannot raise SIGPIPE here.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    std::thread([this] { run(); }).detach();
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    curl_multi_cleanup(multi_);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);

  gLoop.store(this);
  // Registered after libcurl set up OpenSSL, so it runs before OpenSSL's own exit handler.
  // Without the handler (registration failed) exit merely skips the parking: nothing to undo.
  (void)std::atexit(&ServiceLoop::parkAtExit);
}

void ServiceLoop::parkAtExit() {
  ServiceLoop* loop = gLoop.load();
  // exit() called from a completion on the library thread: that thread runs no further step.
  if (!loop || tOnLoopThread) return;
  std::unique_lock<std::mutex> lock(loop->mutex_);
  loop->exiting_.store(true, std::memory_order_release);
  loop->waker_.wake(loop->multi_);
  loop->parkedChanged_.wait_for(lock, kParkWait, [loop] { return loop->parked_; });
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  waker_.wake(multi_);
}

void ServiceLoop::postAfter(std::chrono::nanoseconds delay, Task task) {
  const Clock::time_point now = Clock::now();
  Clock::time_point deadline = now;
  if (delay > std::chrono::nanoseconds::zero()) {
    const auto room = Clock::time_point::max() - now;
    deadline = delay >= room ? Clock::time_point::max()
                             : now + std::chrono::duration_cast<Clock::duration>(delay);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    timers_.push(Timer{deadline, nextTimerOrder_++, std::move(task)});
  }
  waker_.wake(multi_);
}

void ServiceLoop::start(std::shared_ptr<CurlTransfer> transfer) {
  CURL* handle = transfer->handle();
  if (!handle) {
    failToStart(*transfer, transfer->preparationFailure());
    return;
  }
  // Registered before libcurl knows the handle: were memory short here, the transfer still ends
  // with its completion and libcurl never holds a handle without its owner.
  // (The table's node is allocated before the pointer moves into it, so a failure leaves it.)
  std::unordered_map<CURL*, std::shared_ptr<CurlTransfer>>::iterator entry;
  try {
    internal::throwIfAllocationFault(internal::AllocationSite::transferRegistration);
    entry = transfers_.emplace(handle, std::move(transfer)).first;
  } catch (const std::bad_alloc&) {
    failToStart(*transfer, "out of memory while registering the transfer");
    return;
  }
  const CURLMcode added = curl_multi_add_handle(multi_, handle);
  if (added != CURLM_OK) {
    const std::shared_ptr<CurlTransfer> failed = std::move(entry->second);
    transfers_.erase(entry);
    failToStart(*failed,
                std::string("libcurl could not start the transfer: ") + curl_multi_strerror(added));
  }
}

void ServiceLoop::failToStart(CurlTransfer& transfer, std::string detail) {
  HttpOutcome failed;
  failed.failure = HttpOutcome::Failure::otherFailure;
  failed.failureDetail = std::move(detail);
  transfer.complete(std::move(failed));
}

void ServiceLoop::run() {
  tOnLoopThread = true;
  nameThisThread();
  std::deque<Task> tasks;
  curl_waitfd wakeFd = waker_.waitFd();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (exitRequested()) parkForever(lock);
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
    curl_multi_poll(multi_, &wakeFd, 1, pollTimeoutMilliseconds(), nullptr);
    waker_.drain();
  }
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
    HttpOutcome outcome = transfer->outcome(result);
    parkIfExiting();
    runGuarded([&] { transfer->complete(std::move(outcome)); });
  }
}

int ServiceLoop::pollTimeoutMilliseconds() {
  long curlTimeout = -1;
  curl_multi_timeout(multi_, &curlTimeout);
  long wait =
      curlTimeout < 0 ? kIdlePollMilliseconds : std::min<long>(curlTimeout, kIdlePollMilliseconds);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!tasks_.empty() || exitRequested()) return 0;
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
