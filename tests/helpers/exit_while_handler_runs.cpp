// Returns from main while a task on the library thread runs longer than exit waits for it.
// The tasks queued behind it read state that exit destroys meanwhile: none of them may run.
// Prints "late task ran" (or, under AddressSanitizer, fails with a use-after-free) if one does.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/internal/CurlTransport.h"

namespace {

using std::chrono::milliseconds;

// Destroyed last: keeps the process alive after exit tore `gState` down, while the first task
// still runs and the library thread could go on to the next ones.
struct SlowTeardown {
  SlowTeardown() = default;
  SlowTeardown(const SlowTeardown&) = delete;
  SlowTeardown& operator=(const SlowTeardown&) = delete;
  ~SlowTeardown() { std::this_thread::sleep_for(milliseconds(1500)); }
} gSlowTeardown;

std::atomic<bool> gStateAlive{false};

// The application's state that handlers read.
struct State {
  State() : names(16, std::string(64, 'x')) { gStateAlive = true; }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() { gStateAlive = false; }
  std::vector<std::string> names;
} gState;

void readState() {
  if (!gStateAlive) {
    static const char kLate[] = "late task ran\n";
    (void)::write(2, kLate, sizeof kLate - 1);
  }
  volatile char first = gState.names[0][0];
  (void)first;
}

}  // namespace

int main() {
  auto transport = std::make_shared<orvane::site::CurlTransport>();
  auto started = std::make_shared<std::promise<void>>();
  std::future<void> running = started->get_future();
  // Longer than exit's wait of one second.
  transport->post([started] {
    started->set_value();
    std::this_thread::sleep_for(milliseconds(1500));
  });
  for (int i = 0; i < 8; ++i) transport->post(&readState);
  transport->runAfter(std::chrono::nanoseconds(0), &readState);
  running.wait();
  return 0;
}
