#pragma once

#include <chrono>
#include <memory>

namespace orvane::site::internal {

class ClientCore;

/// What the process knows of all option clients, for shutdown(): whether calls are still
/// accepted, how many are under way, and the clients whose calls may need cancelling.
/// Thread-safe; never destroyed.
class Lifecycle {
 public:
  static Lifecycle& instance();

  /// False once shutdown began.
  bool accepting() const;
  void registerClient(const std::weak_ptr<ClientCore>& client);

  void callStarted();
  void callEnded();

  /// Stops accepting, waits up to `grace` for calls under way, cancels the rest.
  void shutDownCalls(std::chrono::nanoseconds grace);

 private:
  Lifecycle() = default;
  struct State;
  State& state() const;
};

}  // namespace orvane::site::internal
