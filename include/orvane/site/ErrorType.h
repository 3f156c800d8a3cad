#pragma once

#include <string>

#include "orvane/site/Error.h"
#include "orvane/site/Export.h"

namespace orvane::site {

/// The library's own error kinds. Only `apiError` is produced by the library: the service
/// answered with an error reply carrying `returnCode` and `returnDesc`. The two other kinds are
/// offered to applications. A plain value, safe to copy across threads.
class ORVANE_SITE_EXPORT ErrorType {
 public:
  /// The case of the error; its value is the `code` of the converted Error.
  enum class Kind { argError = 0, apiError = 1, jsonError = 2 };

  /// An argument `field` that is not acceptable, with a message.
  static ErrorType argError(std::string field, std::string message);
  /// An error reply of the service with its return code and description.
  static ErrorType apiError(std::string returnCode, std::string returnDescription);
  /// A JSON failure described by `message`.
  static ErrorType jsonError(std::string message);

  /// The case.
  Kind kind() const noexcept { return kind_; }

  /// Carried values. Each is empty for the cases that do not carry it: `field` and `message`
  /// belong to argError, `returnCode` and `returnDescription` to apiError, `message` to jsonError.
  const std::string& field() const noexcept { return first_; }
  /// The message of argError or jsonError.
  const std::string& message() const noexcept {
    return kind_ == Kind::jsonError ? first_ : second_;
  }
  /// The service's return code of apiError.
  const std::string& returnCode() const noexcept { return first_; }
  /// The service's return description of apiError.
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
