#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "orvane/site/testing/FormerNamespace.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::testkit {

namespace cassette {
class CassetteBook;
class SecretMask;
}  // namespace cassette

/// A transport that answers from a cassette written by RecordingTransport (or by hand), so that
/// tests run recorded calls without the service, its key or the network.
///
/// \code
/// orvane::site::ClientOptions options;
/// options.setApiKey("any").setTransport(
///     std::make_shared<orvane::site::testkit::ReplayTransport>("geocode.jsonl"));
/// orvane::site::SiteClient client(options);
/// \endcode
///
/// A request is answered by a record of the same operation whose "request" is the same JSON
/// as its body (key order and spacing do not matter; the host and the query are not looked
/// at). Identical records are served in turn, and the last of them again once all have been.
/// A request that no record matches fails (HttpOutcome::Failure::otherFailure) with a detail
/// naming the nearest recorded request: the same operation first, then the least different
/// body.
///
/// Faults may be written into records by hand: any "status" (with an optional "reply"),
/// `"delay_ms": N` to answer N milliseconds later, and `"failure": "reset"` or `"timeout"`
/// (also the names a recorder writes: "connectionFailed", "timedOut", "tlsFailure",
/// "otherFailure") for an exchange without a reply.
///
/// Threads: one worker thread of its own runs every completion and task, never inside the call
/// that asked for it; `runAfter` waits its delay for real. All members are thread-safe. The
/// destructor runs everything still waiting at once, then joins the worker.
class ReplayTransport final : public HttpTransport {
 public:
  /// Reads the cassette at `cassettePath`. A request body is matched with `secrets` masked in
  /// it as the recorder masked them, so that a call carrying a key in its body finds its
  /// record. Throws std::invalid_argument naming the line that does not parse,
  /// std::runtime_error when the file cannot be read.
  explicit ReplayTransport(const std::string& cassettePath,
                           const std::vector<std::string>& secrets = {});
  ~ReplayTransport() override;

  ReplayTransport(const ReplayTransport&) = delete;
  ReplayTransport& operator=(const ReplayTransport&) = delete;

  /// Answers `request` from the cassette, after the record's delay.
  void send(HttpRequest request, Completion completion) override;
  /// Runs `task` once `delay` has passed.
  void runAfter(std::chrono::nanoseconds delay, Task task) override;
  /// Runs `task` soon, after the tasks posted before it.
  void post(Task task) override;

 private:
  using Clock = std::chrono::steady_clock;

  void schedule(Clock::time_point due, Task task);
  void work();

  std::unique_ptr<cassette::CassetteBook> book_;
  std::unique_ptr<const cassette::SecretMask> mask_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // Ordered by due time, then by when they were asked for.
  std::map<std::pair<Clock::time_point, std::uint64_t>, Task> tasks_;
  std::uint64_t nextSequence_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace orvane::site::testkit
