#include "RetryPlan.h"

namespace orvane::site::cli::batch {

void RetryPlan::keep(std::uint64_t begin, std::uint64_t end) {
  if (begin == end) return;
  if (!steps.empty() && !steps.back().redo && steps.back().end == begin) {
    steps.back().end = end;
    return;
  }
  steps.push_back(KeptStep{begin, end, std::nullopt});
}

void RetryPlan::redo(std::uint64_t begin, std::uint64_t end, const InputRow& row) {
  steps.push_back(KeptStep{begin, end, row});
  ++redoRows;
}

std::uint64_t RetryPlan::offsetOfStep(std::size_t step, std::uint64_t keptEnd) const {
  return step < steps.size() ? steps[step].begin : keptEnd;
}

}  // namespace orvane::site::cli::batch
