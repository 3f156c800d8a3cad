// Fuzzes a whole call from arbitrary inputs: the process-wide key and host, a per-call context
// (key, host, retry count, retry pause, time-out), every field of the operation's request
// (arbitrary bytes, non-finite numbers) and then the replies of the service (status, body,
// failures), all through the facade onto a transport that answers on this thread.
//
// Whatever the input: the handler runs exactly once with exactly one of its two arguments,
// every request that leaves the library is well-formed (https URL of printable ASCII, header
// fields without line breaks, a JSON object as body, a sane time-out), retries stay bounded,
// and no "Called Url: " log line shows the API key.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "ImmediateTransport.h"
#include "orvane/site.h"

namespace {

using namespace orvane::site;
using fuzzing::ImmediateTransport;

[[noreturn]] void fail(const char* what, std::string_view detail = {}) {
  std::string shown;
  for (const char c : detail) shown += (c >= 0x20 && c < 0x7f) ? c : '?';
  std::fprintf(stderr, "fuzz_request_building: %s %s\n", what, shown.c_str());
  std::abort();
}

// Any double, NaN and infinities included.
double anyDouble(FuzzedDataProvider& in) {
  const auto bits = in.ConsumeIntegral<std::uint64_t>();
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string anyText(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(40); }

template <class Make>
auto maybe(FuzzedDataProvider& in, Make make) -> std::optional<decltype(make())> {
  if (!in.ConsumeBool()) return std::nullopt;
  return make();
}

// A context of its own for the call: the setters fill the process-wide builder context, which
// is then copied.
// (C++17 evaluates a chain of setters and their arguments left to right.)
std::shared_ptr<ApiContext> anyContext(FuzzedDataProvider& in) {
  return std::make_shared<ApiContext>(*ApiContext()
                                           .setApiKey(anyText(in))
                                           .setBaseUrl(anyText(in))
                                           .setMaxRetry(in.ConsumeIntegral<std::int64_t>())
                                           .setRetryInterval(anyDouble(in))
                                           .setTimeoutInterval(anyDouble(in))
                                           .build());
}

// The service's side: each reply made from the bytes that are left (a failure, a 200, a 5xx,
// a lower status or any number at all).
HttpOutcome anyReply(FuzzedDataProvider& in) {
  HttpOutcome outcome;
  const int kind = in.ConsumeIntegralInRange<int>(0, 4);
  if (kind == 0) {
    outcome.failure = static_cast<HttpOutcome::Failure>(in.ConsumeIntegralInRange<int>(1, 4));
    outcome.statusCode = in.ConsumeBool() ? 200 : 0;
    outcome.failureDetail = anyText(in);
    return outcome;
  }
  outcome.statusCode = kind == 1   ? 200
                       : kind == 2 ? in.ConsumeIntegralInRange<long>(500, 599)
                       : kind == 3 ? in.ConsumeIntegralInRange<long>(100, 499)
                                   : in.ConsumeIntegral<long>();
  outcome.body = in.ConsumeRandomLengthString(512);
  return outcome;
}

bool isPrintableAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > 0x20 && c < 0x7f; });
}

bool holdsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void checkRequest(const HttpRequest& request) {
  if (request.method != "POST") fail("a method other than POST");
  if (request.url.rfind("https://", 0) != 0) fail("a URL that is not https:", request.url);
  if (!isPrintableAscii(request.url))
    fail("a URL with a byte that cannot stand in a URL:", request.url);
  for (const auto& [name, value] : request.headers) {
    if (name.empty() || holdsLineBreakOrNul(name) || holdsLineBreakOrNul(value)) {
      fail("a header field with a line break or NUL:", name + ": " + value);
    }
  }
  if (request.body) {
    const auto body = nlohmann::json::parse(*request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object())
      fail("a body that is not a JSON object:", *request.body);
  }
  if (!std::isfinite(request.timeoutSeconds) || request.timeoutSeconds <= 0 ||
      request.timeoutSeconds > SiteRequestManager::kLongestTimeoutSeconds) {
    fail("a time-out that is not finite and positive");
  }
}

// The address line of every attempt hides the key: "key=***", or "key=" when none was sent.
void checkLogLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    static const std::string kPrefix =
        "[OrvaneSite][SiteRequestManager.generateSession(_:)] INFO: Called Url: ";
    if (line.rfind(kPrefix, 0) != 0) continue;
    const auto key = line.rfind("?key=");
    if (key == std::string::npos) fail("an address line without its key parameter");
    const std::string shown = line.substr(key + 5);
    if (!shown.empty() && shown != "***") fail("an address line that shows the API key:", line);
  }
}

// The transport every call goes through, and the log lines (the logger's own thread writes them,
// so they are guarded and read only after a flush).
struct Harness {
  std::shared_ptr<ImmediateTransport> transport = std::make_shared<ImmediateTransport>();
  std::mutex mutex;
  std::vector<std::string> lines;

  Harness() {
    setDefaultHttpTransport(transport);
    setLogSink([this](std::string_view line) {
      std::lock_guard<std::mutex> lock(mutex);
      if (lines.size() < 4096) lines.emplace_back(line);
    });
  }
  std::vector<std::string> takeLines() {
    (void)flushLogs(std::chrono::seconds(5));
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(lines, {});
  }
};
Harness& harness() {
  static auto* instance = new Harness();
  return *instance;
}

template <class Request, class Handler>
int runCall(FuzzedDataProvider& in,
            void (SiteClient::*operation)(Request, std::shared_ptr<ApiContext>, Handler),
            Request request, const std::shared_ptr<ApiContext>& context) {
  int calls = 0;
  bool wellFormed = true;
  const auto handler = [&](auto response, std::optional<Error> error) {
    ++calls;
    const bool knownDomain = !error || error->domain == "OrvaneSite.ErrorType" ||
                             error->domain == "OrvaneSite.DecodingError" ||
                             error->domain == "OrvaneSite.TransportError";
    wellFormed = wellFormed && static_cast<bool>(response) != error.has_value() && knownDomain;
  };
  (SiteClient::shared().*operation)(std::move(request), context, handler);
  if (calls != 0) fail("the handler ran inside the operation call");

  // 101 attempts at most, each with a reply and a retry timer, plus the delivery.
  if (!harness().transport->drain([&](const HttpRequest&) { return anyReply(in); }, 1000)) {
    fail("the call did not end");
  }
  if (calls != 1) fail(calls == 0 ? "the handler was never called" : "the handler ran twice");
  if (!wellFormed) fail("the handler got both or neither of response and error, or a bad domain");

  const auto& requests = harness().transport->requests();
  if (requests.size() > static_cast<std::size_t>(SiteRequestManager::kMaxRetries) + 1) {
    fail("more attempts than the retry bound allows");
  }
  for (const HttpRequest& sent : requests) checkRequest(sent);
  for (const auto delay : harness().transport->delays()) {
    if (delay.count() < 0 ||
        delay > std::chrono::duration<double>(SiteRequestManager::kLongestRetryPauseSeconds)) {
      fail("a retry pause outside 0 to the longest pause");
    }
  }
  checkLogLines(harness().takeLines());
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  harness().transport->reset();
  (void)harness().takeLines();

  // The process-wide configuration, as provideApiContext would store it.
  ContextDataCache::setShared(std::make_shared<ContextDataCache>());
  ContextDataCache::set(std::make_shared<ApiContext>(
      *ApiContext().setApiKey(anyText(in)).setBaseUrl(anyText(in)).setMaxRetry(0).build()));
  const std::shared_ptr<ApiContext> context = in.ConsumeBool() ? anyContext(in) : nullptr;

  const auto text = [&] { return anyText(in); };
  const auto integer = [&] { return in.ConsumeIntegral<std::int64_t>(); };
  const auto flag = [&] { return in.ConsumeBool(); };
  const auto coordinate = [&] { return Coordinate{anyDouble(in), anyDouble(in)}; };
  const auto bounds = [&] { return CoordinateBounds{coordinate(), coordinate()}; };
  const auto texts = [&] {
    std::vector<std::string> made(in.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (std::string& each : made) each = text();
    return made;
  };
  const auto opt = [&](auto make) { return maybe(in, make); };
  // Braced lists read their arguments left to right, so each input maps to one request.
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return runCall(in, &SiteClient::textSearch,
                     TextSearchRequest{text(), opt(coordinate), opt(integer), opt(text), opt(text),
                                       opt(text), opt(text), opt(integer), opt(integer), opt(flag)},
                     context);
    case 1:
      return runCall(in, &SiteClient::nearbySearch,
                     NearbySearchRequest{coordinate(), opt(integer), opt(text), opt(text),
                                         opt(text), opt(text), opt(integer), opt(integer)},
                     context);
    case 2:
      return runCall(in, &SiteClient::detailSearch,
                     DetailSearchRequest{text(), opt(text), opt(flag)}, context);
    case 3:
      return runCall(in, &SiteClient::querySuggestion,
                     QuerySuggestionRequest{text(), opt(coordinate), opt(integer), opt(bounds),
                                            opt(texts), opt(text), opt(text), opt(flag)},
                     context);
    case 4:
      return runCall(
          in, &SiteClient::queryAutocomplete,
          QueryAutocompleteRequest{text(), opt(coordinate), opt(integer), opt(text), opt(flag)},
          context);
    case 5:
      return runCall(in, &SiteClient::geocode, GeocodeRequest{text(), opt(bounds), opt(text)},
                     context);
    case 6:
      return runCall(in, &SiteClient::reverseGeocode,
                     ReverseGeocodeRequest{coordinate(), opt(text), opt(flag)}, context);
    default:
      return runCall(in, &SiteClient::timezone, TimezoneRequest{coordinate(), integer(), opt(text)},
                     context);
  }
}
