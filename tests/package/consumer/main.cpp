// Builds a context through the installed headers and checks the configured values took effect.
#include <orvane/site.h>

#include <cstdio>

int main() {
  using namespace orvane::site;
  auto context = ApiContext().setApiKey("consumer-key").setMaxRetry(2).build();
  SiteClient::provideApiContext(context);
  ErrorType error = ErrorType::apiError("404", "not found");
  const Error converted = error.toError();
  if (converted.domain != "OrvaneSite.ErrorType" || converted.code != 1) return 1;
  std::puts("consumer ok");
  return 0;
}
