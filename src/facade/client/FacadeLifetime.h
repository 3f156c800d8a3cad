#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace orvane::site::internal {

/// Tracks whether a SiteClient still exists and which of its handlers are running, so that
/// handlers of a destroyed facade are skipped and its destructor can wait for running ones.
///
/// Handler wrappers hold it weakly and bracket each handler with an Entry; the facade calls
/// `end()` from its destructor. Thread-safe.
class FacadeLifetime {
 public:
  /// Admits one handler run while the facade exists; test it before running the handler.
  class Entry {
   public:
    explicit Entry(FacadeLifetime& lifetime);
    ~Entry();
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    explicit operator bool() const noexcept { return admitted_; }

   private:
    FacadeLifetime& lifetime_;
    bool admitted_;
  };

  /// Refuses every later Entry, then waits until handlers admitted on other threads have
  /// returned. Handlers running on the calling thread (a handler that destroys its own facade)
  /// are not waited for, since they are further up this very stack.
  void end();

 private:
  bool enter();
  void leave();
  bool othersRunning() const;

  std::mutex mutex_;
  std::condition_variable idle_;
  bool ended_ = false;
  std::vector<std::thread::id> running_;
};

}  // namespace orvane::site::internal
