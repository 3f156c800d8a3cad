#include "OutputWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "Csv.h"

namespace orvane::site::cli::batch {
namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

OutputFileFormat outputFormatForPath(const std::string& path) {
  if (endsWith(path, ".jsonl") || endsWith(path, ".ndjson")) return OutputFileFormat::jsonLines;
  return OutputFileFormat::csv;
}

std::vector<std::string> outputColumns(const std::vector<std::string>& inputColumns,
                                       const std::vector<std::string>& resultColumns,
                                       bool allPlaces) {
  std::vector<std::string> columns = inputColumns;
  if (allPlaces) columns.emplace_back("row");
  columns.insert(columns.end(), resultColumns.begin(), resultColumns.end());
  columns.emplace_back("status");
  columns.emplace_back("error");
  return columns;
}

std::string cellText(const Cell& value) {
  if (value.is_null()) return {};
  if (value.is_string()) return value.get<std::string>();
  return value.dump(-1, ' ', false, Cell::error_handler_t::replace);
}

OutputWriter::OutputWriter(int fd, OutputFileFormat format, std::vector<std::string> resultColumns,
                           bool allPlaces, bool writeHeader)
    : fd_(fd),
      format_(format),
      resultColumns_(std::move(resultColumns)),
      allPlaces_(allPlaces),
      headerPending_(writeHeader && format == OutputFileFormat::csv) {}

void OutputWriter::write(const InputRow& row, const RowOutcome& outcome,
                         const std::vector<std::string>& inputColumns) {
  if (headerPending_) {
    appendCsvRecord(buffer_, outputColumns(inputColumns, resultColumns_, allPlaces_));
    headerPending_ = false;
  }
  if (outcome.records.empty()) {
    if (format_ == OutputFileFormat::csv) {
      appendCsv(row, nullptr, outcome, inputColumns);
    } else {
      appendJson(row, nullptr, outcome);
    }
  }
  for (const auto& record : outcome.records) {
    if (format_ == OutputFileFormat::csv) {
      appendCsv(row, &record, outcome, inputColumns);
    } else {
      appendJson(row, &record, outcome);
    }
  }
  flush();
}

void OutputWriter::finish(const std::vector<std::string>& inputColumns) {
  if (!headerPending_) return;
  appendCsvRecord(buffer_, outputColumns(inputColumns, resultColumns_, allPlaces_));
  headerPending_ = false;
  flush();
}

void OutputWriter::appendCsv(const InputRow& row, const std::vector<Cell>* record,
                             const RowOutcome& outcome,
                             const std::vector<std::string>& inputColumns) {
  fields_.clear();
  for (const auto& column : inputColumns) {
    const auto found = row.values.find(column);
    fields_.push_back(found == row.values.end() ? std::string() : cellText(*found));
  }
  if (allPlaces_) fields_.push_back(std::to_string(row.number));
  for (std::size_t i = 0; i < resultColumns_.size(); ++i) {
    fields_.push_back(record && i < record->size() ? cellText((*record)[i]) : std::string());
  }
  fields_.emplace_back(statusOf(outcome));
  fields_.push_back(outcome.error);
  appendCsvRecord(buffer_, fields_);
}

void OutputWriter::appendJson(const InputRow& row, const std::vector<Cell>* record,
                              const RowOutcome& outcome) {
  Cell object = row.values;
  if (allPlaces_) object["row"] = row.number;
  for (std::size_t i = 0; i < resultColumns_.size(); ++i) {
    object[resultColumns_[i]] = record && i < record->size() ? (*record)[i] : Cell();
  }
  object["status"] = statusOf(outcome);
  object["error"] = outcome.error.empty() ? Cell() : Cell(outcome.error);
  buffer_ += object.dump(-1, ' ', false, Cell::error_handler_t::replace);
  buffer_ += '\n';
}

void OutputWriter::flush() {
  std::size_t written = 0;
  while (written < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + written, buffer_.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      buffer_.clear();
      throw std::runtime_error(std::string("cannot write the output: ") + std::strerror(errno));
    }
    written += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

}  // namespace orvane::site::cli::batch
