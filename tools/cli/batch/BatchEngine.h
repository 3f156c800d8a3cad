#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <orvane/site/RateLimiter.h>

#include "BatchOperation.h"
#include "InputReader.h"
#include "OutputWriter.h"
#include "Progress.h"
#include "RetryPlan.h"
#include "RowFields.h"
#include "RowRunner.h"

namespace orvane::site::cli::batch {

struct EngineSettings {
  /// Calls in flight at most; results wait for earlier rows in a window of twice as many.
  std::size_t concurrency = 8;
  /// Paces the calls (a local bucket or a quota shared through Redis); may be empty. Each call
  /// waits for its permit before it starts.
  std::shared_ptr<RateLimiter> limiter;
  bool allPlaces = false;
  /// Input rows already in the output (--resume): read and passed over.
  std::uint64_t skipRows = 0;
  /// --retry-failed: the kept output's steps, done before the input's further rows: kept
  /// records are copied from `keptFd` as they are, rows marked retry-later called again.
  const RetryPlan* retry = nullptr;
  int keptFd = -1;
  /// Shares calls among rows of the same request; none: every row calls.
  CallMemo* memo = nullptr;
};

enum class JobEnd {
  finished,     // every row written
  interrupted,  // stopped issuing on request; every call started was waited for
  abandoned,    // asked again: stopped waiting for calls in flight
  stopped,      // a failure that every further row would share (refused key, host unreachable)
};

struct JobResult {
  JobEnd end = JobEnd::finished;
  std::string message;  // why a stopped job stopped
  JobCounts counts;
  std::chrono::steady_clock::duration elapsed{};
  /// The retry plan's steps written, in order; a rewrite copies the rest as they were.
  std::size_t retryStepsWritten = 0;
};

/// Runs a batch: reads rows, starts at most `concurrency` calls at a time (and each only once
/// the rate limiter allows), and writes each row's outcome in input order as soon as every earlier
/// row's is written. Memory stays within the window, whatever the input's size.
///
/// `interrupts` tells how often the user asked to stop: once stops issuing, twice cancels
/// (or, where the client cannot cancel, stops waiting for) the calls in flight, three times
/// stops waiting for cancelled calls. A row is
/// written whole or not at all, so a resumed job carries on exactly where this one ended.
class BatchEngine {
 public:
  BatchEngine(InputReader& input, OutputWriter& output, const BatchOperation& operation,
              RowRunner& runner, const ColumnMap& columns, EngineSettings settings,
              ProgressBar& progress, std::function<int()> interrupts);

  /// Throws std::runtime_error when the input cannot be read or the output written.
  JobResult run();

 private:
  InputReader& input_;
  OutputWriter& output_;
  const BatchOperation& operation_;
  RowRunner& runner_;
  const ColumnMap& columns_;
  EngineSettings settings_;
  ProgressBar& progress_;
  std::function<int()> interrupts_;
};

}  // namespace orvane::site::cli::batch
