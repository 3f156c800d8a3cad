#include "InputReader.h"

#include <stdexcept>
#include <utility>

namespace orvane::site::cli::batch {
namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

}  // namespace

InputReader::InputReader(std::istream& in, InputFormat format, std::string lineColumn)
    : in_(in), format_(format), csv_(in) {
  if (format_ == InputFormat::lines) {
    columns_.push_back(std::move(lineColumn));
  } else if (format_ == InputFormat::csv) {
    while (csv_.next(fields_)) {
      if (isBlankRecord(fields_)) continue;
      columns_ = fields_;
      // A byte-order mark would otherwise become part of the first column's name.
      if (!columns_.empty() && columns_.front().rfind("\xEF\xBB\xBF", 0) == 0) {
        columns_.front().erase(0, 3);
      }
      return;
    }
    throw std::runtime_error("the CSV input has no header row");
  }
}

std::optional<InputRow> InputReader::next() {
  switch (format_) {
    case InputFormat::csv:
      return nextCsv();
    case InputFormat::jsonLines:
      return nextJsonLine();
    case InputFormat::lines:
      return nextLine();
  }
  return std::nullopt;
}

std::optional<InputRow> InputReader::nextCsv() {
  while (csv_.next(fields_)) {
    if (isBlankRecord(fields_)) continue;
    if (csv_.openQuote()) throw std::runtime_error("the CSV input ends inside a quoted field");
    InputRow row;
    row.number = ++count_;
    for (std::size_t i = 0; i < columns_.size() && i < fields_.size(); ++i) {
      row.values[columns_[i]] = std::move(fields_[i]);
    }
    if (fields_.size() != columns_.size()) {
      row.problem = "the row has " + std::to_string(fields_.size()) + " fields, the header " +
                    std::to_string(columns_.size());
    }
    return row;
  }
  return std::nullopt;
}

std::optional<InputRow> InputReader::nextJsonLine() {
  while (std::getline(in_, line_)) {
    if (isBlank(line_)) continue;
    InputRow row;
    row.number = ++count_;
    RowValues parsed = RowValues::parse(line_, nullptr, false);
    if (parsed.is_object()) {
      row.values = std::move(parsed);
    } else {
      row.problem = "the line is not a JSON object";
      row.values["line"] = line_;
    }
    // The first row alone names the columns, whatever it holds: a CSV output's header is
    // written with its row, so columns found later would make records wider than the header.
    if (count_ == 1) {
      for (const auto& item : row.values.items()) columns_.push_back(item.key());
    }
    return row;
  }
  return std::nullopt;
}

std::optional<InputRow> InputReader::nextLine() {
  while (std::getline(in_, line_)) {
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    if (isBlank(line_)) continue;
    InputRow row;
    row.number = ++count_;
    row.values[columns_.front()] = line_;
    return row;
  }
  return std::nullopt;
}

InputFormat inputFormatForPath(const std::string& path) {
  if (endsWith(path, ".csv")) return InputFormat::csv;
  if (endsWith(path, ".jsonl") || endsWith(path, ".ndjson")) return InputFormat::jsonLines;
  return InputFormat::lines;
}

}  // namespace orvane::site::cli::batch
