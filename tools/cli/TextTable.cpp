#include "TextTable.h"

#include <algorithm>
#include <utility>

namespace orvane::site::cli {
namespace {

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string padded(const std::string& text, std::size_t width) {
  std::string out = text;
  out.append(width - std::min(width, displayWidth(text)), ' ');
  return out;
}

}  // namespace

std::size_t displayWidth(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return !isContinuationByte(c); }));
}

std::string truncateToWidth(const std::string& text, std::size_t width) {
  if (displayWidth(text) <= width) return text;
  if (width == 0) return {};
  std::size_t kept = 0;
  std::size_t end = 0;
  // Keep whole code points only: stop at the start of the code point that would not fit.
  for (; end < text.size(); ++end) {
    if (!isContinuationByte(text[end])) {
      if (kept == width - 1) break;
      ++kept;
    }
  }
  return text.substr(0, end) + "\xE2\x80\xA6";
}

TextTable::TextTable(std::vector<std::string> headers, std::size_t maxCellWidth)
    : headers_(std::move(headers)), maxCellWidth_(maxCellWidth) {}

void TextTable::addRow(std::vector<std::string> cells) {
  cells.resize(headers_.size());
  for (auto& cell : cells) {
    // Line breaks would tear the table apart.
    std::replace(cell.begin(), cell.end(), '\n', ' ');
    cell = truncateToWidth(cell, maxCellWidth_);
  }
  rows_.push_back(std::move(cells));
}

std::string TextTable::render() const {
  std::vector<std::size_t> widths(headers_.size());
  for (std::size_t i = 0; i < headers_.size(); ++i) {
    widths[i] = displayWidth(headers_[i]);
    for (const auto& row : rows_) widths[i] = std::max(widths[i], displayWidth(row[i]));
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const bool last = i + 1 == cells.size();
      out += last ? cells[i] : padded(cells[i], widths[i]) + "  ";
    }
    out += '\n';
    return out;
  };
  std::string out = line(headers_);
  std::vector<std::string> rule;
  for (std::size_t width : widths) rule.emplace_back(width, '-');
  out += line(rule);
  for (const auto& row : rows_) out += line(row);
  return out;
}

}  // namespace orvane::site::cli
