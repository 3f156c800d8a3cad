#pragma once

#include <string>

#include "orvane/site/Error.h"

namespace orvane::site {

/// The library's own error kinds. Only `apiError` is produced by the library: the service
/// answered with an error reply carrying `returnCode` and `returnDesc`. The two other kinds are
/// offered to applications. A plain value, safe to copy across threads.
class ErrorType {
 public:
  /// The case of the error; its value is the `code` of the converted Error.
  enum class Kind { argError = 0, apiError = 1, jsonError = 2 };

  static ErrorType argError(std::string field, std::string message);
  static ErrorType apiError(std::string returnCode, std::string returnDescription);
  static ErrorType jsonError(std::string message);

  Kind kind() const noexcept { return kind_; }

  /// Carried values. Each is empty for the cases that do not carry it: `field` and `message`
  /// belong to argError, `returnCode` and `returnDescription` to apiError, `message` to jsonError.
  const std::string& field() const noexcept { return first_; }
  const std::string& message() const noexcept {
    return kind_ == Kind::jsonError ? first_ : second_;
  }
  const std::string& returnCode() const noexcept { return first_; }
  const std::string& returnDescription() const noexcept { return second_; }

  /// "Argument Error", "API Error" or the jsonError's message, translated through the installed
  /// LocalizedStringLookup (see Localization.h).
  std::string errorDescription() const;

  /// Domain "OrvaneSite.ErrorType", the case index as code and errorDescription() as
  /// localizedDescription; no userInfo.
  Error toError() const;

 private:
  ErrorType(Kind kind, std::string first, std::string second);

  Kind kind_;
  std::string first_;
  std::string second_;
};

}  // namespace orvane::site
