#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <optional>
#include <string>

#include "orvane/site/transport/HttpTransport.h"
#include "transport/CurlSettings.h"

namespace orvane::site::transport {

/// One request as a libcurl easy handle: its options, its reply buffer and its completion.
///
/// Prepared on any thread; started, finished and destroyed on the library thread only.
class CurlTransfer {
 public:
  CurlTransfer(HttpRequest request, std::shared_ptr<const CurlSettings> settings,
               HttpTransport::Completion completion);
  ~CurlTransfer();

  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  /// The prepared handle, or null when preparing failed (see `preparationFailure`).
  CURL* handle() const noexcept { return handle_; }
  /// Why the handle could not be prepared.
  const std::string& preparationFailure() const noexcept { return preparationFailure_; }

  /// "host[:port]" of the request's URL: the key of the per-host connection limit.
  const std::string& hostKey() const noexcept { return hostKey_; }
  /// The pool the transfer draws on: the request's, else the transport's own.
  const ConnectionPool* pool() const noexcept {
    return request_.pool ? request_.pool.get() : settings_->defaultPool.get();
  }
  /// The connections of the whole transport.
  const ConnectionPool* transportShare() const noexcept { return settings_->transportShare.get(); }
  /// The request's deadline, if any.
  const std::optional<std::chrono::steady_clock::time_point>& deadline() const noexcept {
    return request_.deadline;
  }

  /// Sets the time-out the transfer gets when it starts at `now`: the request's time-out,
  /// bounded by what is left of its deadline. False when the deadline has already passed.
  bool setTimeoutFrom(std::chrono::steady_clock::time_point now);

  /// Marks the transfer cancelled; true for the first call only. Thread-safe.
  bool markCancelled() noexcept { return !cancelled_.exchange(true); }
  bool cancelled() const noexcept { return cancelled_.load(); }

  using WaitingPlace = std::list<std::shared_ptr<CurlTransfer>>::iterator;
  /// Its place in the loop's queue of transfers waiting for a connection (library thread only).
  const std::optional<WaitingPlace>& waitingAt() const noexcept { return waitingAt_; }
  void setWaitingAt(std::optional<WaitingPlace> place) noexcept { waitingAt_ = place; }
  /// True while libcurl runs it (library thread only).
  bool running() const noexcept { return running_; }
  void setRunning(bool value) noexcept { running_ = value; }
  /// The transfer was handed to libcurl at `now`: what came before is its queue wait.
  void markSent(std::chrono::steady_clock::time_point now) noexcept { sentAt_ = now; }

  /// Adds the connections the transfer opened to its transport's tally, once; the transfer has
  /// ended or was stopped (library thread only).
  void tallyConnections() noexcept;

  /// The outcome of the finished transfer, given libcurl's result for it.
  HttpOutcome outcome(CURLcode result);

  /// Calls the completion once with `outcome`.
  void complete(HttpOutcome outcome);

 private:
  static std::size_t onData(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
  void prepare();
  bool keep(const char* data, std::size_t bytes);
  void giveBackBudget() noexcept;
  CURLcode prepareMethodAndBody();
  CURLcode prepareHeaders();
  CURLcode prepareTrust();

  HttpRequest request_;
  std::shared_ptr<const CurlSettings> settings_;
  // Held while libcurl may call into it: the system store can be replaced meanwhile.
  std::shared_ptr<const SharedTrustStore> trustStore_;
  HttpTransport::Completion completion_;
  CURL* handle_ = nullptr;
  curl_slist* headers_ = nullptr;
  std::string body_;
  bool bodyTooLarge_ = false;
  bool budgetExceeded_ = false;
  // Bytes of `body_` taken from the transport's reply budget, given back once they are handed on.
  std::size_t budgetTaken_ = 0;
  std::string preparationFailure_;
  std::string hostKey_;
  std::optional<std::chrono::seconds> retryAfter_;
  std::atomic<bool> cancelled_{false};
  std::optional<WaitingPlace> waitingAt_;
  bool running_ = false;
  bool tallied_ = false;
  const std::chrono::steady_clock::time_point createdAt_ = std::chrono::steady_clock::now();
  std::optional<std::chrono::steady_clock::time_point> sentAt_;
  char errorBuffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace orvane::site::transport
