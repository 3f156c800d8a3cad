#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "orvane/site/Error.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/requests/TextSearchRequest.h"
#include "orvane/site/responses/TextSearchResponse.h"

namespace orvane::site::bench {

/// Calls through the library as an application would: SiteClient::shared().textSearch (or, given
/// an option client, its callback form) from this thread, at most `inFlight` calls outstanding,
/// each handler (on the library thread) freeing a place for the next call. Make it with
/// std::make_shared: each call holds it until its handler has run, so a handler that comes late
/// (after `run` gave up) finds it alive.
class LibraryDriver : public std::enable_shared_from_this<LibraryDriver> {
 public:
  LibraryDriver(TextSearchRequest request, int inFlight,
                std::shared_ptr<SiteClient> optionClient = nullptr)
      : request_(std::move(request)),
        inFlight_(static_cast<std::size_t>(inFlight)),
        optionClient_(std::move(optionClient)) {}

  /// Makes `calls` calls and waits for their handlers; returns how many got no response. Gives
  /// up (counting the outstanding calls as failed) when no handler runs for 90 seconds, which
  /// only lost handlers explain: every call times out after 60 seconds.
  std::size_t run(std::size_t calls);

  /// The most threads this process had while a run was going on.
  int peakThreads() const { return peakThreads_; }

  /// What the first failed call reported ("" when none failed).
  std::string firstFailure();

 private:
  bool waitUntil(std::unique_lock<std::mutex>& lock, const std::function<bool()>& done);
  // `error` is null when the call succeeded.
  void finished(const std::shared_ptr<TextSearchResponse>& response, const Error* error);

  void startCall();

  const TextSearchRequest request_;
  const std::size_t inFlight_;
  const std::shared_ptr<SiteClient> optionClient_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t active_ = 0;
  std::size_t failed_ = 0;
  std::size_t completed_ = 0;
  int peakThreads_ = 0;
  std::string firstFailure_;
};

}  // namespace orvane::site::bench
