#include <gtest/gtest.h>

#include "orvane/site/Localization.h"
#include "orvane/site/internal/ErrorType.h"

namespace orvane::site {
namespace {

TEST(ErrorTypeConversion, DomainCodeAndDescriptionPerCase) {
  const Error arg = ErrorType::argError("query", "missing").toError();
  EXPECT_EQ(arg.domain, "OrvaneSite.ErrorType");
  EXPECT_EQ(arg.code, 0);
  EXPECT_EQ(arg.localizedDescription, "Argument Error");
  EXPECT_TRUE(arg.userInfo.empty());

  const Error api = ErrorType::apiError("010010", "Quota exceeded").toError();
  EXPECT_EQ(api.domain, "OrvaneSite.ErrorType");
  EXPECT_EQ(api.code, 1);
  EXPECT_EQ(api.localizedDescription, "API Error")
      << "the service's code and description are not part of the text";

  const Error json = ErrorType::jsonError("bad body").toError();
  EXPECT_EQ(json.code, 2);
  EXPECT_EQ(json.localizedDescription, "bad body");
}

TEST(ErrorTypeConversion, CarriedValuesStayReadable) {
  const ErrorType api = ErrorType::apiError("404", "not found");
  EXPECT_EQ(api.kind(), ErrorType::Kind::apiError);
  EXPECT_EQ(api.returnCode(), "404");
  EXPECT_EQ(api.returnDescription(), "not found");
  const ErrorType arg = ErrorType::argError("siteId", "needed");
  EXPECT_EQ(arg.field(), "siteId");
  EXPECT_EQ(arg.message(), "needed");
  EXPECT_EQ(ErrorType::jsonError("m").message(), "m");
}

TEST(ErrorTypeConversion, TranslationLookupIsUsedAndCanBeRemoved) {
  std::string seenComment;
  setLocalizedStringLookup([&](const std::string& key, const std::string& comment) {
    seenComment = comment;
    return key == "API Error" ? std::string("Erreur de l'API") : std::string();
  });
  EXPECT_EQ(ErrorType::apiError("1", "d").toError().localizedDescription, "Erreur de l'API");
  EXPECT_EQ(seenComment, "returnCode: 1,returnDescription: d");
  EXPECT_EQ(ErrorType::argError("f", "m").errorDescription(), "Argument Error")
      << "no translation means the key itself";
  EXPECT_EQ(seenComment, "f is mandatory. m");

  setLocalizedStringLookup([](const std::string&, const std::string&) -> std::string {
    throw std::runtime_error("lookup failed");
  });
  EXPECT_EQ(ErrorType::apiError("1", "d").errorDescription(), "API Error");

  setLocalizedStringLookup(nullptr);
  EXPECT_EQ(ErrorType::apiError("1", "d").errorDescription(), "API Error");
}

}  // namespace
}  // namespace orvane::site
