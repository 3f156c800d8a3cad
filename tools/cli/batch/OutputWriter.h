#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "InputReader.h"
#include "RowOutcome.h"

namespace orvane::site::cli::batch {

enum class OutputFileFormat { csv, jsonLines };

/// The format a file name's extension implies: .jsonl/.ndjson JSON Lines, anything else CSV.
OutputFileFormat outputFormatForPath(const std::string& path);

/// The output's columns: the input's, then "row" with --all-places (the input row a record
/// belongs to, so that a resumed job knows where each row ends), the result's, "status" (statusOf)
/// and "error".
std::vector<std::string> outputColumns(const std::vector<std::string>& inputColumns,
                                       const std::vector<std::string>& resultColumns,
                                       bool allPlaces);

/// Writes finished rows to a file descriptor, each row's records with one write, so that a
/// row is either in the file or (after a kill) at most torn at its end, which a resumed job
/// repairs.
class OutputWriter {
 public:
  /// `writeHeader`: a CSV output starts with the header (not when appending to a resumed one).
  OutputWriter(int fd, OutputFileFormat format, std::vector<std::string> resultColumns,
               bool allPlaces, bool writeHeader);

  /// Writes the row's records (one with empty results when it has none); the input columns
  /// are those of the CSV header. Throws std::runtime_error when the write fails.
  void write(const InputRow& row, const RowOutcome& outcome,
             const std::vector<std::string>& inputColumns);

  /// Writes the header of a CSV output that got no row.
  void finish(const std::vector<std::string>& inputColumns);

  /// Writes bytes [begin, end) of the file `from` as they are (records a rewrite keeps).
  void copy(int from, std::uint64_t begin, std::uint64_t end);

 private:
  void appendCsv(const InputRow& row, const std::vector<Cell>* record, const RowOutcome& outcome,
                 const std::vector<std::string>& inputColumns);
  void appendJson(const InputRow& row, const std::vector<Cell>* record, const RowOutcome& outcome);
  void flush();

  int fd_;
  OutputFileFormat format_;
  std::vector<std::string> resultColumns_;
  bool allPlaces_;
  bool headerPending_;
  std::string buffer_;
  std::vector<std::string> fields_;
};

/// Appends bytes [begin, end) of the file `from` to `to` at its position, in pieces. Throws
/// std::runtime_error when either fails or `from` ends before `end`.
void copyBytes(int from, std::uint64_t begin, std::uint64_t end, int to);

/// The text of one value in a CSV field: strings as they are, null empty, others as JSON.
std::string cellText(const Cell& value);

}  // namespace orvane::site::cli::batch
