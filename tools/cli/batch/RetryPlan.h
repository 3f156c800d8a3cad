#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "InputReader.h"

namespace orvane::site::cli::batch {

/// A stretch of a kept output, in input order: records copied as they are, or the one record
/// of a row marked retry-later, which is called again.
struct KeptStep {
  std::uint64_t begin = 0;  // the stretch's bytes in the kept output: [begin, end)
  std::uint64_t end = 0;
  std::optional<InputRow> redo;
};

/// What --retry-failed does with the kept part of an output: its steps tile the kept bytes
/// from the first (the CSV header) to the last; stretches of rows kept as they are are merged,
/// so the plan holds only the rows to redo.
struct RetryPlan {
  std::vector<KeptStep> steps;
  std::uint64_t redoRows = 0;

  /// Adds records kept as they are.
  void keep(std::uint64_t begin, std::uint64_t end);
  /// Adds the record of a row to call again.
  void redo(std::uint64_t begin, std::uint64_t end, const InputRow& row);
  /// Where the steps from `step` on begin, or `keptEnd` when none is left.
  std::uint64_t offsetOfStep(std::size_t step, std::uint64_t keptEnd) const;
};

/// The status that marks a row --retry-failed redoes.
inline constexpr const char* kRetryLaterStatus = "retry-later";

}  // namespace orvane::site::cli::batch
