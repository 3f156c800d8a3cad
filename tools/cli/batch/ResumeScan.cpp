#include "ResumeScan.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "Csv.h"

namespace orvane::site::cli::batch {
namespace {

std::runtime_error damaged(std::uint64_t record, const std::string& why) {
  return std::runtime_error("cannot resume: record " + std::to_string(record) + " of the output " +
                            why);
}

// Counts rows from complete records. With --all-places a row's records share a row number
// and the last row's are dropped, since a kill may have cut them short.
class RowCounter {
 public:
  explicit RowCounter(bool allPlaces) : allPlaces_(allPlaces) {}

  void add(std::uint64_t start, std::uint64_t end, std::optional<std::uint64_t> row) {
    if (!allPlaces_) {
      ++point_.rowsDone;
      point_.keepBytes = end;
      return;
    }
    if (!lastRow_ || *row != *lastRow_) {
      // A new row begins: everything before it is complete.
      point_.keepBytes = start;
      point_.rowsDone = lastRow_ ? *lastRow_ : 0;
      lastRow_ = row;
    }
  }

  ResumePoint& point() { return point_; }

 private:
  bool allPlaces_;
  std::optional<std::uint64_t> lastRow_;
  ResumePoint point_;
};

std::uint64_t rowNumber(const std::string& text, std::uint64_t record) {
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    throw damaged(record, "has no row number");
  }
  return std::stoull(text);
}

ResumePoint scanCsv(std::istream& in, bool allPlaces) {
  CsvReader reader(in);
  std::vector<std::string> fields;
  RowCounter counter(allPlaces);
  if (!reader.next(fields) || !reader.terminated() || reader.openQuote()) {
    return counter.point();  // no complete header: start afresh
  }
  const std::vector<std::string> header = fields;
  counter.point().keepBytes = reader.offset();
  const auto rowColumn = std::find(header.begin(), header.end(), "row");
  if (allPlaces && rowColumn == header.end()) {
    throw std::runtime_error("cannot resume: the output has no \"row\" column (--all-places)");
  }
  std::uint64_t record = 0;
  std::uint64_t start = reader.offset();
  while (reader.next(fields)) {
    ++record;
    if (!reader.terminated() || reader.openQuote()) break;  // torn by a kill: redo it
    if (fields.size() != header.size()) {
      throw damaged(record, "has " + std::to_string(fields.size()) + " fields, the header " +
                                std::to_string(header.size()));
    }
    std::optional<std::uint64_t> row;
    if (allPlaces) row = rowNumber(fields[rowColumn - header.begin()], record);
    counter.add(start, reader.offset(), row);
    start = reader.offset();
  }
  counter.point().header = header;
  return counter.point();
}

ResumePoint scanJsonLines(std::istream& in, bool allPlaces) {
  RowCounter counter(allPlaces);
  std::string line;
  std::uint64_t record = 0;
  std::uint64_t start = 0;
  while (std::getline(in, line)) {
    if (in.eof()) break;  // no line break: torn by a kill, redo it
    ++record;
    const std::uint64_t end = start + line.size() + 1;
    const auto object = nlohmann::json::parse(line, nullptr, false);
    if (!object.is_object()) throw damaged(record, "is not a JSON object");
    std::optional<std::uint64_t> row;
    if (allPlaces) {
      const auto found = object.find("row");
      if (found == object.end() || !found->is_number_unsigned()) {
        throw damaged(record, "has no row number");
      }
      row = found->get<std::uint64_t>();
    }
    counter.add(start, end, row);
    start = end;
  }
  return counter.point();
}

}  // namespace

ResumePoint scanOutput(std::istream& in, OutputFileFormat format, bool allPlaces) {
  return format == OutputFileFormat::csv ? scanCsv(in, allPlaces) : scanJsonLines(in, allPlaces);
}

}  // namespace orvane::site::cli::batch
