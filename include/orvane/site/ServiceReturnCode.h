#pragma once

#include <string_view>

namespace orvane::site {

/// Return codes of the place-search service that the library and its local stand-in know. A
/// reply carries one in "returnCode" (BaseResponse::returnCode); an error reply with both
/// "returnCode" and "returnDesc" reaches the handler as an apiError (domain
/// ErrorDomain::errorType, code 1) with the code in `userInfo["returnCode"]`, which
/// apiReturnCode() reads. Plain constants, usable from any thread.
struct ServiceReturnCode {
  /// "0": the request succeeded.
  static constexpr std::string_view success = "0";
  /// "010001" (status 403): the API key is missing, empty or not accepted. Fix the key; trying
  /// again does not help.
  static constexpr std::string_view keyRejected = "010001";
  /// "010010" (status 400): the request body is malformed, lacks a required member or holds a
  /// value of the wrong kind or range. Fix the request.
  static constexpr std::string_view invalidRequest = "010010";
  /// "010011" (status 200, as a response): detail search found no place with that site id.
  /// The response is delivered with this code and no site, not as an error.
  static constexpr std::string_view notFound = "010011";
  /// "010404" (status 404): the path names no operation (a wrong API path setting).
  static constexpr std::string_view unknownPath = "010404";
  /// "010405" (status 405): a method other than POST.
  static constexpr std::string_view methodNotAllowed = "010405";
  /// "010500" (status 500): an internal failure of the service. Statuses of 500 and more are
  /// retried; after the last retry the call ends with TransportErrorCode::serverErrorAfterRetries.
  static constexpr std::string_view internalError = "010500";
};

}  // namespace orvane::site
