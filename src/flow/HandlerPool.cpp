#include "orvane/site/HandlerPool.h"

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "internal/ForkGeneration.h"
#include "logging/Logger.h"

namespace orvane::site {
namespace {

constexpr const char* kThreadName = "orvane-handler";

// The pool whose task the current thread is running, if any.
thread_local const void* tCurrentPool = nullptr;

void runGuarded(const std::function<void()>& task) {
  try {
    if (task) task();
  } catch (const std::exception& failure) {
    ORVANE_SITE_LOG("run(task:)",
                    std::string("a task threw, which was discarded: ") + failure.what(),
                    internal::kError);
  } catch (...) {
    ORVANE_SITE_LOG("run(task:)", std::string("a task threw, which was discarded"),
                    internal::kError);
  }
}

}  // namespace

struct HandlerPool::State {
  std::mutex mutex;
  std::condition_variable work;  // a task was queued, or the pool is stopping
  std::condition_variable idle;  // the pool has nothing queued or running
  std::deque<std::function<void()>> tasks;
  std::size_t running = 0;
  bool stopping = false;
  std::vector<std::thread> threads;
  // fork() copies the pool but not its threads: a child runs what it posts as after a stop.
  const std::uint64_t generation = internal::forkGeneration();

  bool forked() const noexcept { return internal::forkGeneration() != generation; }

  void serve() {
    tCurrentPool = this;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      work.wait(lock, [this] { return stopping || !tasks.empty(); });
      if (tasks.empty()) return;  // stopping, and the queue has run dry
      std::function<void()> task = std::move(tasks.front());
      tasks.pop_front();
      ++running;
      lock.unlock();
      runGuarded(task);
      task = nullptr;  // whatever the task held goes before the pool counts it done
      lock.lock();
      --running;
      if (running == 0 && tasks.empty()) idle.notify_all();
    }
  }

  void post(std::function<void()> task) {
    if (!forked()) {
      std::lock_guard<std::mutex> lock(mutex);
      if (!stopping) {
        tasks.push_back(std::move(task));
        work.notify_one();
        return;
      }
    }
    // The pool is gone, yet the task must still run once, and not inside this call.
    std::thread([task = std::move(task)] { runGuarded(task); }).detach();
  }
};

HandlerPool::HandlerPool(std::size_t threads) : state_(std::make_shared<State>()) {
  if (threads == 0) throw std::invalid_argument("HandlerPool: at least one thread is needed");
  state_->threads.reserve(threads);
  try {
    for (std::size_t i = 0; i < threads; ++i) {
      // Each thread holds the state, which a pool destroyed by its own task leaves to them.
      state_->threads.emplace_back([state = state_] {
        pthread_setname_np(pthread_self(), kThreadName);
        state->serve();
      });
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->stopping = true;
    }
    state_->work.notify_all();
    for (std::thread& thread : state_->threads) thread.join();
    throw;
  }
}

HandlerPool::~HandlerPool() {
  if (state_->forked()) {
    // The threads are the parent's: a child can neither join nor detach them. Each holds the
    // state, and in the child none ever lets go, so their std::thread objects are never ended.
    return;
  }
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stopping = true;
  }
  state_->work.notify_all();
  if (tCurrentPool == state_.get()) {
    // A task of this pool destroys it: its own thread cannot be joined. The threads finish the
    // queue and end on their own.
    for (std::thread& thread : state_->threads) thread.detach();
    return;
  }
  for (std::thread& thread : state_->threads) thread.join();
}

Executor HandlerPool::executor() const {
  return [state = state_](std::function<void()> task) { state->post(std::move(task)); };
}

void HandlerPool::post(std::function<void()> task) { state_->post(std::move(task)); }

bool HandlerPool::drain(std::chrono::nanoseconds timeout) {
  if (tCurrentPool == state_.get()) return false;
  if (state_->forked()) return true;  // a child's tasks run on threads of their own
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->idle.wait_for(lock, timeout,
                               [this] { return state_->running == 0 && state_->tasks.empty(); });
}

std::size_t HandlerPool::threadCount() const noexcept { return state_->threads.size(); }

}  // namespace orvane::site
