#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "OutputWriter.h"

namespace orvane::site::cli::batch {

/// Where a resumed job carries on: the output is cut to `keepBytes` (dropping a record torn
/// by a kill and, with --all-places, the last row's records, which may be incomplete), and
/// the first `rowsDone` input rows are skipped.
struct ResumePoint {
  std::uint64_t rowsDone = 0;
  std::uint64_t keepBytes = 0;
  /// The CSV header as found; empty when the output holds no complete header.
  std::vector<std::string> header;
};

/// Reads an output written before. Throws std::runtime_error when a complete record in it is
/// damaged (another number of fields than the header, a line that is not JSON, no row
/// number with --all-places), since carrying on could not be exact.
ResumePoint scanOutput(std::istream& in, OutputFileFormat format, bool allPlaces);

}  // namespace orvane::site::cli::batch
