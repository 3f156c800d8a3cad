#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvane::site::cli::batch {

/// One output value; null where the result has nothing.
using Cell = nlohmann::ordered_json;

/// Why a row has no result. Counted apart in the summary.
enum class FailureKind { none, badRow, refused, transport, decoding };

const char* failureName(FailureKind kind);

struct RowOutcome;

/// The output's status column: "found", "not-found" (the call succeeded and found nothing),
/// "failed", or "retry-later" (failed for a reason that may pass).
const char* statusOf(const RowOutcome& outcome);

/// What became of one row: its result records (one per place with --all-places; none when
/// the call found nothing) or its error.
struct RowOutcome {
  std::vector<std::vector<Cell>> records;
  FailureKind failure = FailureKind::none;
  std::string error;
  /// The job cannot go on (the key was refused, no address can be formed): the row is not
  /// written and no further row is issued.
  bool fatal = false;
  /// The host could not be reached; the engine decides whether that ends the job.
  bool unreachable = false;
  /// The failure may pass if the row is tried again later (a time-out, a busy or failing
  /// server); --retry-failed redoes such rows.
  bool mayPassLater = false;
  /// The service refused the request itself (not a 429, not a failing server): the same
  /// request would be refused again, so rows that send it later may share this outcome.
  bool refusalIsFinal = false;

  static RowOutcome badRow(std::string message) {
    RowOutcome outcome;
    outcome.failure = FailureKind::badRow;
    outcome.error = std::move(message);
    return outcome;
  }
};

}  // namespace orvane::site::cli::batch
