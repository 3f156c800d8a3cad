#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <orvane/site/records/Coordinate.h>

#include "InputReader.h"

namespace orvane::site::cli::batch {

/// Thrown for a row whose fields cannot make a request; its message goes to the error column.
class BadRow : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Which input column holds each of an operation's fields: by default the column named like
/// the field, otherwise as `--column FIELD=NAME` says.
class ColumnMap {
 public:
  /// Adds "FIELD=NAME"; throws std::invalid_argument when the text is not of that form or the
  /// field is not one of `known`.
  void add(const std::string& assignment, const std::vector<std::string>& known);

  const std::string& column(const std::string& field) const;

 private:
  std::map<std::string, std::string> columns_;
};

/// Reads an operation's fields out of one row.
class RowFields {
 public:
  RowFields(const RowValues& values, const ColumnMap& columns)
      : values_(values), columns_(columns) {}

  /// The field's text; nothing when its column is missing, null or empty.
  std::optional<std::string> text(const std::string& field) const;
  /// Throws BadRow when the field is missing.
  std::string requiredText(const std::string& field) const;
  /// A finite number; throws BadRow when present but not one.
  std::optional<double> number(const std::string& field) const;
  /// A whole number; throws BadRow when present but not one.
  std::optional<std::int64_t> integer(const std::string& field) const;
  /// The position from the lat and lng fields, or else from a "position" field holding
  /// "LAT,LNG"; throws BadRow when missing or out of range.
  Coordinate position() const;
  /// Like position(), but nothing when neither form is present.
  std::optional<Coordinate> optionalPosition() const;

 private:
  const RowValues& values_;
  const ColumnMap& columns_;
};

}  // namespace orvane::site::cli::batch
