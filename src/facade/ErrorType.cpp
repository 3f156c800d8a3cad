#include "orvane/site/ErrorType.h"

#include <utility>

#include "orvane/site/ErrorDomain.h"
#include "orvane/site/Localization.h"

namespace orvane::site {

ErrorType::ErrorType(Kind kind, std::string first, std::string second)
    : kind_(kind), first_(std::move(first)), second_(std::move(second)) {}

ErrorType ErrorType::argError(std::string field, std::string message) {
  return ErrorType(Kind::argError, std::move(field), std::move(message));
}

ErrorType ErrorType::apiError(std::string returnCode, std::string returnDescription) {
  return ErrorType(Kind::apiError, std::move(returnCode), std::move(returnDescription));
}

ErrorType ErrorType::jsonError(std::string message) {
  return ErrorType(Kind::jsonError, std::move(message), std::string());
}

std::string ErrorType::errorDescription() const {
  switch (kind_) {
    case Kind::argError:
      return localizedString("Argument Error", first_ + " is mandatory. " + second_);
    case Kind::apiError:
      return localizedString("API Error",
                             "returnCode: " + first_ + ",returnDescription: " + second_);
    case Kind::jsonError:
      break;
  }
  return localizedString(first_, std::string());
}

Error ErrorType::toError() const {
  Error error;
  error.domain = std::string(ErrorDomain::errorType);
  error.code = static_cast<std::int64_t>(kind_);
  error.localizedDescription = errorDescription();
  return error;
}

}  // namespace orvane::site
