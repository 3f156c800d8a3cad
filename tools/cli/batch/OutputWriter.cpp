#include "OutputWriter.h"

#include <unistd.h>

#include <algorithm>
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

constexpr std::uint64_t kCopyPiece = 1 << 16;

void writeAll(int fd, const char* data, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd, data + written, size - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      throw std::runtime_error(std::string("cannot write the output: ") + std::strerror(errno));
    }
    written += static_cast<std::size_t>(n);
  }
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

void OutputWriter::copy(int from, std::uint64_t begin, std::uint64_t end) {
  if (headerPending_) throw std::logic_error("a copy comes after the header, not before");
  copyBytes(from, begin, end, fd_);
}

void copyBytes(int from, std::uint64_t begin, std::uint64_t end, int to) {
  std::string piece(std::min<std::uint64_t>(end - begin, kCopyPiece), '\0');
  while (begin < end) {
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(end - begin, kCopyPiece));
    const ssize_t n = ::pread(from, piece.data(), wanted, static_cast<off_t>(begin));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      throw std::runtime_error(std::string("cannot read the kept output: ") +
                               (n == 0 ? "it is shorter than it was" : std::strerror(errno)));
    }
    writeAll(to, piece.data(), static_cast<std::size_t>(n));
    begin += static_cast<std::uint64_t>(n);
  }
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
  std::string pending;
  pending.swap(buffer_);
  writeAll(fd_, pending.data(), pending.size());
  // The buffer's capacity is kept for the next row.
  pending.clear();
  buffer_.swap(pending);
}

}  // namespace orvane::site::cli::batch
