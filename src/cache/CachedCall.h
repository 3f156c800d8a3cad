#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "call/CallLife.h"
#include "orvane/site/Result.h"
#include "orvane/site/responses/BaseResponse.h"
#include "pipeline/CallDeadline.h"

namespace orvane::site::internal {

class ClientCore;
class Flight;

/// One caller's call on a client with a response cache: answered from an entry, or by the one
/// request it shares with identical calls (a Flight). It keeps its own deadline, its own
/// cancellation and its own delivery, with the same rules as a call of the pipeline: its handler
/// runs once, on the client's handler executor (else the library thread), never inside the
/// operation call. Thread-safe.
class CachedCall : public CallLife, public std::enable_shared_from_this<CachedCall> {
 public:
  CachedCall(std::shared_ptr<ClientCore> core, std::chrono::nanoseconds deadline);
  ~CachedCall() override = default;
  CachedCall(const CachedCall&) = delete;
  CachedCall& operator=(const CachedCall&) = delete;

  /// Counts the call as under way (shutdown waits for it).
  void begin();
  /// Waits on `flight` until it answers, the caller cancels or the deadline passes.
  void join(std::shared_ptr<Flight> flight);
  /// Ends the call with `result` (an entry, or its flight's outcome); the caller gets a copy
  /// of the response of its own.
  void answer(const Result<BaseResponse>& result);

  void cancel() override;
  bool done() const override;
  Result<BaseResponse> get() override;
  std::optional<Result<BaseResponse>> waitFor(std::chrono::nanoseconds wait) override;

 protected:
  /// A copy of `response` as the operation's own response type.
  virtual std::shared_ptr<BaseResponse> ownCopy(const BaseResponse& response) const = 0;
  /// Runs the caller's handler, if there is one, with `result`; called once.
  virtual void runHandler(const Result<BaseResponse>& result) = 0;

 private:
  // `leave`: the call ends before its flight does, so the flight must forget it.
  void end(Result<BaseResponse> result, bool leave);
  void handOver();
  void deliver();

  const std::shared_ptr<ClientCore> core_;
  CallDeadline deadline_;
  mutable std::mutex mutex_;
  std::condition_variable delivered_;
  std::shared_ptr<Flight> flight_;
  std::optional<Result<BaseResponse>> result_;
  bool counted_ = false;
  bool ended_ = false;
  bool deliveryStarted_ = false;
  bool finished_ = false;
};

}  // namespace orvane::site::internal
