#pragma once

#include <cstdint>
#include <istream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::site::cli::batch {

/// Reads CSV records one at a time: fields separated by commas, records by LF or CR LF, fields
/// in double quotes may hold commas, line breaks and doubled quotes. Lenient where the format
/// is broken in harmless ways: a quote inside an unquoted field, or text after a closing quote,
/// is kept as written.
class CsvReader {
 public:
  explicit CsvReader(std::istream& in) : in_(*in.rdbuf()) {}

  /// Reads the next record into `fields`. Returns false when no byte is left.
  bool next(std::vector<std::string>& fields);

  /// Whether the record just read ended with a line break (the last one of a file may not).
  bool terminated() const { return terminated_; }
  /// Whether the input ended inside a quoted field.
  bool openQuote() const { return openQuote_; }
  /// Bytes consumed so far: the start of the next record.
  std::uint64_t offset() const { return offset_; }

 private:
  std::streambuf& in_;
  std::uint64_t offset_ = 0;
  bool terminated_ = false;
  bool openQuote_ = false;
};

/// A record read from a blank line.
inline bool isBlankRecord(const std::vector<std::string>& fields) {
  return fields.size() == 1 && fields.front().empty();
}

/// Appends one field, quoted when it holds a comma, a quote or a line break.
void appendCsvField(std::string& out, std::string_view field);

/// Appends the fields as one record ending with CR LF.
void appendCsvRecord(std::string& out, const std::vector<std::string>& fields);

}  // namespace orvane::site::cli::batch
