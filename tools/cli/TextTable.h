#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvane::site::cli {

/// A plain-text table with aligned columns, for `--format table`.
///
/// Widths count Unicode code points, so names with accents stay aligned; cells longer than
/// `maxCellWidth` are cut and end with "…".
class TextTable {
 public:
  explicit TextTable(std::vector<std::string> headers, std::size_t maxCellWidth = 40);

  /// Adds one row; missing cells are left blank, extra cells are dropped.
  void addRow(std::vector<std::string> cells);

  bool empty() const noexcept { return rows_.empty(); }

  /// The header line, a rule and one line per row, each ending with a line feed.
  std::string render() const;

 private:
  std::vector<std::string> headers_;
  std::vector<std::vector<std::string>> rows_;
  std::size_t maxCellWidth_;
};

/// The number of code points of a UTF-8 text.
std::size_t displayWidth(const std::string& text);

/// `text` cut to at most `width` code points, the last one "…" when anything was cut.
std::string truncateToWidth(const std::string& text, std::size_t width);

}  // namespace orvane::site::cli
