#include "call/Lifecycle.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "call/ClientCore.h"
#include "orvane/site/LogSink.h"
#include "orvane/site/Shutdown.h"
#include "transport/ServiceLoop.h"

namespace orvane::site {
namespace internal {

struct Lifecycle::State {
  std::mutex mutex;
  std::condition_variable idle;
  bool accepting = true;
  std::size_t running = 0;
  std::vector<std::weak_ptr<ClientCore>> clients;
};

Lifecycle& Lifecycle::instance() {
  static auto* const lifecycle = new Lifecycle();  // never destroyed
  return *lifecycle;
}

Lifecycle::State& Lifecycle::state() const {
  static auto* const state = new State();
  return *state;
}

bool Lifecycle::accepting() const {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.accepting;
}

void Lifecycle::registerClient(const std::weak_ptr<ClientCore>& client) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  // Forget clients that are gone, so that making many clients does not grow the list.
  if (s.clients.size() >= 64 && s.clients.size() % 64 == 0) {
    std::vector<std::weak_ptr<ClientCore>> alive;
    for (auto& entry : s.clients) {
      if (!entry.expired()) alive.push_back(std::move(entry));
    }
    s.clients.swap(alive);
  }
  s.clients.push_back(client);
}

void Lifecycle::callStarted() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  ++s.running;
}

void Lifecycle::callEnded() {
  State& s = state();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.running > 0) --s.running;
  }
  s.idle.notify_all();
}

void Lifecycle::shutDownCalls(std::chrono::nanoseconds grace) {
  State& s = state();
  std::vector<std::shared_ptr<ClientCore>> clients;
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    s.accepting = false;
    s.idle.wait_for(lock, grace, [&s] { return s.running == 0; });
    for (const auto& entry : s.clients) {
      if (auto client = entry.lock()) clients.push_back(std::move(client));
    }
  }
  for (const auto& client : clients) client->cancelAll(true);
  // The cancelled calls' handlers go to the clients' own pools too: shutdown waits for them.
  const auto until = std::chrono::steady_clock::now() + grace;
  for (const auto& client : clients) {
    client->drainHandlers(std::max(std::chrono::nanoseconds::zero(),
                                   std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       until - std::chrono::steady_clock::now())));
  }
}

}  // namespace internal

void shutdown(std::chrono::nanoseconds grace) {
  internal::Lifecycle::instance().shutDownCalls(grace);
  // Cancelled calls have posted their handlers; stopping the loop runs them before its thread
  // ends. A loop that never started is made and stopped now, so that every later call fails
  // alike whether or not the library had started (a loop made afterwards would serve calls).
  transport::ServiceLoop::shared().stop();
  // The last lines, the shutdown's own included, reach the application's sink before it returns.
  (void)flushLogs(std::chrono::seconds(1));
}

}  // namespace orvane::site
