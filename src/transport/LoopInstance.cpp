// The process's one ServiceLoop: made on first use, parked at exit, and across fork() left to
// the parent while a child makes a loop of its own.
#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "transport/ServiceLoop.h"

namespace orvane::site::transport {
namespace {

thread_local bool tOnLoopThread = false;
std::atomic<ServiceLoop*> gLoop{nullptr};
// Held while a loop is made, and across fork, so that a child never sees one half made.
std::mutex gMakingLoop;

}  // namespace

ServiceLoop& ServiceLoop::shared() {
  if (ServiceLoop* loop = gLoop.load(std::memory_order_acquire)) return *loop;
  std::lock_guard<std::mutex> making(gMakingLoop);
  if (ServiceLoop* loop = gLoop.load(std::memory_order_acquire)) return *loop;
  return *new ServiceLoop();  // never destroyed; it publishes itself once it runs
}

ServiceLoop* ServiceLoop::existing() noexcept { return gLoop.load(); }

bool ServiceLoop::isLoopThread() noexcept { return tOnLoopThread; }

void ServiceLoop::markLoopThread() noexcept { tOnLoopThread = true; }

void ServiceLoop::publish(ServiceLoop* loop) {
  gLoop.store(loop, std::memory_order_release);
  // Once is enough: the handlers act on whichever loop is current, also in a forked child.
  // Without them (registration failed) exit merely skips the parking: nothing to undo.
  static const bool exitHandled = std::atexit(&ServiceLoop::parkAtExit) == 0;
  static const bool forkHandled =
      pthread_atfork(&ServiceLoop::beforeFork, &ServiceLoop::afterForkInParent,
                     &ServiceLoop::afterForkInChild) == 0;
  (void)exitHandled;
  (void)forkHandled;
}

// The mutexes are taken before fork, so the child's copies are in a state of the parent's
// choosing, never half-way through a change.
void ServiceLoop::beforeFork() {
  gMakingLoop.lock();
  if (ServiceLoop* loop = gLoop.load()) loop->mutex_.lock();
}

void ServiceLoop::afterForkInParent() {
  if (ServiceLoop* loop = gLoop.load()) loop->mutex_.unlock();
  gMakingLoop.unlock();
}

// A child has no library thread. The parent's loop is left to it untouched: its connections
// are the parent's (closing them here would end the parent's TLS sessions), and the transfers
// and timers it holds belong to the parent's calls. The child's first call makes a loop of its
// own. A loop that was stopped stays stopped, as shutdown holds for the whole program.
void ServiceLoop::afterForkInChild() {
  tOnLoopThread = false;  // fork from a handler: the child's one thread is not a library thread
  ServiceLoop* loop = gLoop.load();
  if (loop) {
    const bool stopped = loop->stopping_ || loop->stopped_;
    loop->mutex_.unlock();
    if (!stopped) gLoop.store(nullptr);
  }
  gMakingLoop.unlock();
}

}  // namespace orvane::site::transport
