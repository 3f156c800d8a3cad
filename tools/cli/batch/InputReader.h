#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Csv.h"

namespace orvane::site::cli::batch {

/// A row's values by column name, in the input's column order.
using RowValues = nlohmann::ordered_json;

enum class InputFormat { csv, jsonLines, lines };

/// One input row. `problem` is set when the row itself cannot be read (a JSON line that is
/// not an object, a CSV record with a different number of fields than the header).
struct InputRow {
  std::uint64_t number = 0;  // 1 for the first data row
  RowValues values = RowValues::object();
  std::string problem;
};

/// Reads rows from CSV with a header, JSON Lines (one object per line) or plain lines (each
/// line the value of one column). Blank lines are no rows.
class InputReader {
 public:
  /// `lineColumn` names the column of a plain line. Reads the CSV header at once; throws
  /// std::runtime_error when a CSV input has none.
  InputReader(std::istream& in, InputFormat format, std::string lineColumn);

  /// The next row, or nothing at the end of the input.
  std::optional<InputRow> next();

  /// The input's columns: the CSV header, the keys of the first JSON line ("line" when it is
  /// not an object; keys that only later lines have are not columns), or the one column of
  /// plain lines.
  const std::vector<std::string>& columns() const { return columns_; }

 private:
  std::optional<InputRow> nextCsv();
  std::optional<InputRow> nextJsonLine();
  std::optional<InputRow> nextLine();

  std::istream& in_;
  InputFormat format_;
  CsvReader csv_;
  std::vector<std::string> columns_;
  std::vector<std::string> fields_;
  std::string line_;
  std::uint64_t count_ = 0;
};

/// The format a file name's extension implies: .csv, .jsonl/.ndjson, anything else lines.
InputFormat inputFormatForPath(const std::string& path);

}  // namespace orvane::site::cli::batch
