#pragma once

#include <istream>
#include <string>
#include <vector>

#include "InputReader.h"
#include "OutputWriter.h"
#include "ResumeScan.h"
#include "RetryPlan.h"

namespace orvane::site::cli::batch {

/// Reads the first `point.rowsDone` rows of `input` (which a resumed job passes over) and
/// checks that the kept records of `output` echo them one by one, in order: a record deleted,
/// doubled or swapped by hand, or an input that changed, would otherwise leave one row lost
/// and another twice. Throws JobRefused naming the first record that does not match. With a
/// `plan` (--retry-failed), also notes which kept rows are marked retry-later, and where.
void checkKeptRecords(InputReader& input, std::istream& output, OutputFileFormat format,
                      const std::vector<std::string>& resultColumns, bool allPlaces,
                      const ResumePoint& point, RetryPlan* plan = nullptr);

}  // namespace orvane::site::cli::batch
