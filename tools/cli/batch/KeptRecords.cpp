#include "KeptRecords.h"

#include <algorithm>
#include <optional>

#include "Csv.h"
#include "JobRefused.h"

namespace orvane::site::cli::batch {
namespace {

JobRefused mismatch(std::uint64_t record, std::uint64_t row, const std::string& why) {
  return JobRefused("cannot resume: record " + std::to_string(record) + " of the output " + why +
                    " input row " + std::to_string(row) +
                    " (a record deleted, doubled or moved, or another input); --overwrite "
                    "starts the job over");
}

std::string jsonText(const Cell& value) {
  return value.dump(-1, ' ', false, Cell::error_handler_t::replace);
}

// Walks the input alongside the kept records: each record names (or, one per row, implies)
// its row, which must be the current one or the next.
class RowCursor {
 public:
  RowCursor(InputReader& input, bool allPlaces) : input_(input), allPlaces_(allPlaces) {}

  const InputRow& rowOf(std::uint64_t record, std::optional<std::uint64_t> number) {
    const std::uint64_t expected = current_ ? current_->number + 1 : 1;
    if (!allPlaces_ || !current_ || *number != current_->number) {
      if (allPlaces_ && *number != expected) {
        throw mismatch(record, expected, "belongs to row " + std::to_string(*number) + ", not");
      }
      current_ = input_.next();
      if (!current_) {
        throw JobRefused("cannot resume: the output holds more rows than the input (" +
                         std::to_string(expected - 1) + "); --overwrite starts the job over");
      }
    }
    return *current_;
  }

  std::uint64_t rowsRead() const { return current_ ? current_->number : 0; }

 private:
  InputReader& input_;
  bool allPlaces_;
  std::optional<InputRow> current_;
};

std::optional<std::uint64_t> rowNumberIn(const std::string& text) {
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return std::stoull(text);
}

// Notes a checked record in the plan, if there is one.
void plan(RetryPlan* plan, std::uint64_t begin, std::uint64_t end, bool retryLater,
          const InputRow& row) {
  if (!plan) return;
  if (retryLater) {
    plan->redo(begin, end, row);
  } else {
    plan->keep(begin, end);
  }
}

void checkCsv(RowCursor& rows, std::istream& output, std::size_t resultWidth, bool allPlaces,
              const ResumePoint& point, RetryPlan* retry) {
  // The echoed columns are the header's first ones, as the writer found them.
  const std::size_t echoed = point.header.size() - resultWidth - (allPlaces ? 1 : 0);
  const std::size_t status = point.header.size() - 2;  // before "error"
  CsvReader reader(output);
  std::vector<std::string> fields;
  reader.next(fields);  // the header
  if (retry) retry->keep(0, reader.offset());
  std::uint64_t record = 0;
  std::uint64_t begin = reader.offset();
  while (reader.offset() < point.keepBytes && reader.next(fields)) {
    ++record;
    std::optional<std::uint64_t> number;
    if (allPlaces) number = rowNumberIn(fields[echoed]);
    const InputRow& row = rows.rowOf(record, number);
    for (std::size_t i = 0; i < echoed; ++i) {
      const auto found = row.values.find(point.header[i]);
      const std::string value = found == row.values.end() ? std::string() : cellText(*found);
      if (fields[i] != value) throw mismatch(record, row.number, "does not echo");
    }
    plan(retry, begin, reader.offset(), fields[status] == kRetryLaterStatus, row);
    begin = reader.offset();
  }
}

void checkJsonLines(RowCursor& rows, std::istream& output,
                    const std::vector<std::string>& resultColumns, bool allPlaces,
                    const ResumePoint& point, RetryPlan* retry) {
  std::string line;
  std::uint64_t record = 0;
  std::uint64_t offset = 0;
  while (offset < point.keepBytes && std::getline(output, line)) {
    ++record;
    const std::uint64_t begin = offset;
    offset += line.size() + 1;
    const auto object = Cell::parse(line, nullptr, false);
    std::optional<std::uint64_t> number;
    if (allPlaces) number = object.value("row", std::uint64_t{0});
    const InputRow& row = rows.rowOf(record, number);
    for (const auto& [key, value] : row.values.items()) {
      // The writer's own columns win over input columns of the same name.
      if (key == "error" || key == "status" || (allPlaces && key == "row") ||
          std::find(resultColumns.begin(), resultColumns.end(), key) != resultColumns.end()) {
        continue;
      }
      const auto found = object.find(key);
      if (found == object.end() || jsonText(*found) != jsonText(value)) {
        throw mismatch(record, row.number, "does not echo");
      }
    }
    const auto status = object.find("status");
    plan(retry, begin, offset, status != object.end() && *status == kRetryLaterStatus, row);
  }
}

}  // namespace

void checkKeptRecords(InputReader& input, std::istream& output, OutputFileFormat format,
                      const std::vector<std::string>& resultColumns, bool allPlaces,
                      const ResumePoint& point, RetryPlan* plan) {
  if (point.rowsDone == 0) return;
  RowCursor rows(input, allPlaces);
  if (format == OutputFileFormat::csv) {
    checkCsv(rows, output, outputColumns({}, resultColumns, false).size(), allPlaces, point, plan);
  } else {
    checkJsonLines(rows, output, resultColumns, allPlaces, point, plan);
  }
  // With --all-places the kept part may end inside the rows it names; the cursor is at the last.
  if (rows.rowsRead() != point.rowsDone) {
    throw JobRefused("cannot resume: the output's kept records name " +
                     std::to_string(rows.rowsRead()) + " rows, not " +
                     std::to_string(point.rowsDone) + "; --overwrite starts the job over");
  }
}

}  // namespace orvane::site::cli::batch
