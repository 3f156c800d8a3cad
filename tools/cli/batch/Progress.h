#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "RowOutcome.h"

namespace orvane::site::cli::batch {

/// The counts a job's progress and summary show.
struct JobCounts {
  std::uint64_t rowsDone = 0;  // written this run
  std::uint64_t found = 0;     // with a result
  std::uint64_t notFound = 0;  // answered, with nothing found
  std::uint64_t failures = 0;
  std::map<FailureKind, std::uint64_t> failuresByKind;
  std::uint64_t callsDone = 0;   // rows whose call ended, theirs or one they shared
  std::uint64_t callsSaved = 0;  // rows answered by another row's call (the memo)
  std::size_t inFlight = 0;
  std::chrono::nanoseconds latencyP50{0};
  std::chrono::nanoseconds latencyP99{0};
};

/// A one-line progress bar on standard error, redrawn at most ten times a second, when that
/// is a terminal; nothing otherwise.
class ProgressBar {
 public:
  /// `total`: the rows this run will write, when known.
  ProgressBar(bool enabled, std::optional<std::uint64_t> total);

  void update(const JobCounts& counts, bool force = false);
  /// Clears the bar's line so that the summary starts on a clean one.
  void clear();

 private:
  bool enabled_;
  std::optional<std::uint64_t> total_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point lastDrawn_;
  bool drawn_ = false;
};

/// "batch geocode: 5000 rows, 4990 found, 7 not found, 3 failed (2 bad row, 1 refused), 4.2 s,
/// 1190 calls/s, latency p50 12.1 ms p99 40.3 ms", then ", 120 calls saved" when rows shared
/// calls, plus how the job ended when not by finishing.
std::string summaryLine(const std::string& operation, const JobCounts& counts,
                        std::chrono::steady_clock::duration elapsed, const std::string& ending);

/// "h:mm:ss" or "m:ss".
std::string clockText(double seconds);

}  // namespace orvane::site::cli::batch
