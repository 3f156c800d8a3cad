#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CallMemo.h"
#include "RowFields.h"
#include "RowOutcome.h"
#include "RowRunner.h"

namespace orvane::site::cli::batch {

/// One operation a batch can run: which fields it reads, which columns it adds, and how it
/// turns a row into a call and the call's outcome into result records.
class BatchOperation {
 public:
  using Done = std::function<void(RowOutcome)>;

  virtual ~BatchOperation() = default;

  /// The fields it reads, for --column and the help.
  virtual std::vector<std::string> fields() const = 0;
  /// The column a plain input line fills.
  virtual std::string lineField() const = 0;
  /// The columns of one result record.
  virtual std::vector<std::string> resultColumns() const = 0;

  /// Builds the row's request and starts it through `runner`, sharing the call through `memo`
  /// (may be null) with rows of the same request; `done` runs exactly once, on the library's
  /// thread (on the caller's when the memo has the outcome). Throws BadRow (before starting
  /// anything) when the row cannot make a request.
  virtual RowRunner::Cancel start(const RowFields& row, RowRunner& runner, bool allPlaces,
                                  CallMemo* memo, Done done) const = 0;
};

/// The operation of that command-line name, or nullptr: geocode, reverse-geocode,
/// text-search, timezone.
std::unique_ptr<BatchOperation> makeBatchOperation(const std::string& name);

/// The names makeBatchOperation knows.
std::vector<std::string> batchOperationNames();

}  // namespace orvane::site::cli::batch
