// The error vocabulary: ErrorType's conversion and translation, domains, and the checks
// applications branch on.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "orvane/site.h"
#include "orvane/site/Localization.h"
#include "orvane/site/internal/ErrorType.h"

namespace orvane::site {
namespace {

Error transportError(std::int64_t code) {
  Error error;
  error.domain = std::string(ErrorDomain::transportError);
  error.code = code;
  return error;
}

TEST(ErrorTypeConversion, DomainCodeAndDescriptionPerCase) {
  struct Case {
    ErrorType type;
    std::int64_t code;
    const char* description;  // the service's code and text are not part of it
  };
  for (const Case& c : {Case{ErrorType::argError("siteId", "needed"), 0, "Argument Error"},
                        Case{ErrorType::apiError("404", "not found"), 1, "API Error"},
                        Case{ErrorType::jsonError("bad body"), 2, "bad body"}}) {
    const Error error = c.type.toError();
    EXPECT_EQ(error.domain, ErrorDomain::errorType);
    EXPECT_EQ(error.code, c.code);
    EXPECT_EQ(error.localizedDescription, c.description);
    EXPECT_TRUE(error.userInfo.empty());
  }
}

TEST(ErrorTypeConversion, TranslationLookupIsUsedAndCanBeRemoved) {
  std::string seenComment;
  setLocalizedStringLookup([&](const std::string& key, const std::string& comment) {
    seenComment = comment;
    return key == "API Error" ? std::string("Erreur de l'API") : std::string();
  });
  EXPECT_EQ(ErrorType::apiError("1", "d").toError().localizedDescription, "Erreur de l'API");
  EXPECT_EQ(seenComment, "returnCode: 1,returnDescription: d");
  EXPECT_EQ(ErrorType::argError("f", "m").errorDescription(), "Argument Error");  // the key
  EXPECT_EQ(seenComment, "f is mandatory. m");
  setLocalizedStringLookup([](const std::string&, const std::string&) -> std::string {
    throw std::runtime_error("lookup failed");
  });
  EXPECT_EQ(ErrorType::apiError("1", "d").errorDescription(), "API Error");
  setLocalizedStringLookup(nullptr);
  EXPECT_EQ(ErrorType::apiError("1", "d").errorDescription(), "API Error");
}

TEST(ErrorChecks, CodesAreReadOnlyInTheirOwnDomain) {
  const Result<BaseResponse> decoded = decode<BaseResponse>("[");
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decodingErrorCode(decoded.error()), DecodingErrorCode::dataCorrupted);
  EXPECT_FALSE(transportErrorCode(decoded.error()));
}

TEST(ErrorChecks, RetryableTransportCodes) {
  // The codes of an outcome that may clear up by itself: connection, time-out, server errors,
  // deadline, full queue.
  const bool expected[] = {false, false, false, true,  true, false, false, true, false,
                           false, false, false, false, true, true,  false, false};
  for (std::int64_t code = 0; code <= 16; ++code) {
    EXPECT_EQ(isRetryable(transportError(code)), expected[code]) << "code " << code;
    EXPECT_TRUE(transportErrorCode(transportError(code))) << "code " << code;
  }
  EXPECT_FALSE(transportErrorCode(transportError(17)));
  EXPECT_FALSE(transportErrorCode(transportError(-1)));
  EXPECT_FALSE(isRetryable(transportError(17)));
}

TEST(ErrorChecks, ApiErrorsCarryTheServiceReturnCode) {
  Error refused = ErrorType::apiError("010001", "key").toError();
  refused.userInfo["returnCode"] = std::string(ServiceReturnCode::keyRejected);
  refused.userInfo["statusCode"] = "403";
  EXPECT_TRUE(isApiError(refused));
  EXPECT_EQ(apiReturnCode(refused), std::string(ServiceReturnCode::keyRejected));
  EXPECT_EQ(httpStatusCode(refused), 403);
  EXPECT_FALSE(isRetryable(refused));
  refused.userInfo["statusCode"] = "429";
  EXPECT_TRUE(isRetryable(refused));
  // Same code number in another domain, or another kind of the same domain: not an apiError.
  EXPECT_FALSE(isApiError(transportError(1)));
  EXPECT_FALSE(apiReturnCode(transportError(1)));
  EXPECT_FALSE(isApiError(ErrorType::argError("radius", "negative").toError()));
  EXPECT_FALSE(isRetryable(ErrorType::jsonError("bad").toError()));
}

TEST(ErrorChecks, StatusCodeOnlyFromWholePositiveNumbers) {
  Error error = makeTransportError(TransportErrorCode::serverErrorAfterRetries, 503);
  EXPECT_EQ(httpStatusCode(error), 503);
  for (const char* bad : {"", "abc", "503x", "-1", "0", "99999999999999999999"}) {
    error.userInfo["statusCode"] = bad;
    EXPECT_FALSE(httpStatusCode(error)) << bad;
  }
  EXPECT_FALSE(httpStatusCode(Error{}));
}

}  // namespace
}  // namespace orvane::site
