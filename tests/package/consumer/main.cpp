// Builds a context through the installed headers and checks the configured values and the error
// vocabulary took effect.
#include <orvane/site.h>

#include <cstdio>

int main() {
  using namespace orvane::site;
  auto context = ApiContext().setApiKey("consumer-key").setMaxRetry(2).build();
  SiteClient::provideApiContext(context);
  // The old path of ErrorType still works.
  ErrorType error = ErrorType::apiError("404", "not found");
  const Error converted = error.toError();
  if (converted.domain != ErrorDomain::errorType || converted.code != 1) return 1;
  if (!isRetryable(makeTransportError(TransportErrorCode::connectionFailed))) return 1;
  const Result<BaseResponse> decoded = decode<BaseResponse>(R"({"returnCode":"0"})");
  if (!decoded.ok() || decoded.value()->returnCode != std::string(ServiceReturnCode::success)) {
    return 1;
  }
  std::puts("consumer ok");
  return 0;
}
