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
  for (const char c : detail) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f) {
      shown += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      shown += escaped;
    }
  }
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

template <class T, class Make>
std::optional<T> maybe(FuzzedDataProvider& in, Make make) {
  if (!in.ConsumeBool()) return std::nullopt;
  return make();
}

std::optional<std::string> maybeText(FuzzedDataProvider& in) {
  return maybe<std::string>(in, [&] { return anyText(in); });
}
std::optional<std::int64_t> maybeInt(FuzzedDataProvider& in) {
  return maybe<std::int64_t>(in, [&] { return in.ConsumeIntegral<std::int64_t>(); });
}
std::optional<bool> maybeBool(FuzzedDataProvider& in) {
  return maybe<bool>(in, [&] { return in.ConsumeBool(); });
}
Coordinate anyCoordinate(FuzzedDataProvider& in) {
  const double lat = anyDouble(in);
  return Coordinate(lat, anyDouble(in));
}
std::optional<Coordinate> maybeCoordinate(FuzzedDataProvider& in) {
  return maybe<Coordinate>(in, [&] { return anyCoordinate(in); });
}
std::optional<CoordinateBounds> maybeBounds(FuzzedDataProvider& in) {
  return maybe<CoordinateBounds>(in, [&] {
    const Coordinate northeast = anyCoordinate(in);
    return CoordinateBounds(northeast, anyCoordinate(in));
  });
}
std::optional<std::vector<std::string>> maybeTexts(FuzzedDataProvider& in) {
  return maybe<std::vector<std::string>>(in, [&] {
    std::vector<std::string> texts(in.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (std::string& text : texts) text = anyText(in);
    return texts;
  });
}

// A context of its own for the call: the setters fill the process-wide builder context, which
// is then copied.
std::shared_ptr<ApiContext> anyContext(FuzzedDataProvider& in) {
  const std::string key = anyText(in);
  const std::string host = anyText(in);
  const std::int64_t maxRetry = in.ConsumeIntegral<std::int64_t>();
  const double retryInterval = anyDouble(in);
  const double timeoutInterval = anyDouble(in);
  return std::make_shared<ApiContext>(*ApiContext()
                                           .setApiKey(key)
                                           .setBaseUrl(host)
                                           .setMaxRetry(maxRetry)
                                           .setRetryInterval(retryInterval)
                                           .setTimeoutInterval(timeoutInterval)
                                           .build());
}

// The service's side: each reply made from the bytes that are left.
HttpOutcome anyReply(FuzzedDataProvider& in) {
  HttpOutcome outcome;
  switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      outcome.statusCode = 200;
      break;
    case 1:
      outcome.statusCode = in.ConsumeIntegralInRange<long>(500, 599);
      break;
    case 2:
      outcome.statusCode = in.ConsumeIntegralInRange<long>(100, 499);
      break;
    case 3:
      outcome.failure = static_cast<HttpOutcome::Failure>(in.ConsumeIntegralInRange<int>(1, 4));
      outcome.statusCode = in.ConsumeBool() ? 200 : 0;
      outcome.failureDetail = anyText(in);
      return outcome;
    default:
      outcome.statusCode = in.ConsumeIntegral<long>();
      break;
  }
  outcome.body = in.ConsumeRandomLengthString(512);
  return outcome;
}

bool isPrintableAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
      return false;
    }
  }
  return true;
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

// The logger's own thread writes to the sink, so the lines are guarded and read only after a
// flush.
std::mutex& logMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}

std::vector<std::string>& logLines() {
  static auto* lines = new std::vector<std::string>();
  return *lines;
}

std::vector<std::string> loggedLines() {
  (void)flushLogs(std::chrono::seconds(5));
  std::lock_guard<std::mutex> lock(logMutex());
  return logLines();
}

ImmediateTransport& fakeTransport() {
  static auto* instance = new std::shared_ptr<ImmediateTransport>([] {
    auto made = std::make_shared<ImmediateTransport>();
    setDefaultHttpTransport(made);
    setLogSink([](std::string_view line) {
      std::lock_guard<std::mutex> lock(logMutex());
      if (logLines().size() < 4096) logLines().emplace_back(line);
    });
    return made;
  }());
  return **instance;
}

template <class Request, class Handler>
void runCall(FuzzedDataProvider& in,
             void (SiteClient::*operation)(Request, std::shared_ptr<ApiContext>, Handler),
             Request request, const std::shared_ptr<ApiContext>& context) {
  int calls = 0;
  bool wellFormed = true;
  (SiteClient::shared().*operation)(std::move(request), context,
                                    [&](auto response, std::optional<Error> error) {
                                      ++calls;
                                      if (static_cast<bool>(response) == error.has_value()) {
                                        wellFormed = false;
                                      }
                                      if (error && error->domain != "OrvaneSite.ErrorType" &&
                                          error->domain != "OrvaneSite.DecodingError" &&
                                          error->domain != "OrvaneSite.TransportError") {
                                        wellFormed = false;
                                      }
                                    });
  if (calls != 0) fail("the handler ran inside the operation call");

  // 101 attempts at most, each with a reply and a retry timer, plus the delivery.
  if (!fakeTransport().drain([&](const HttpRequest&) { return anyReply(in); }, 1000)) {
    fail("the call did not end");
  }
  if (calls != 1) fail(calls == 0 ? "the handler was never called" : "the handler ran twice");
  if (!wellFormed) fail("the handler got both or neither of response and error, or a bad domain");

  const auto& requests = fakeTransport().requests();
  if (requests.size() > static_cast<std::size_t>(SiteRequestManager::kMaxRetries) + 1) {
    fail("more attempts than the retry bound allows");
  }
  for (const HttpRequest& sent : requests) checkRequest(sent);
  for (const auto delay : fakeTransport().delays()) {
    if (delay.count() < 0 ||
        delay > std::chrono::duration<double>(SiteRequestManager::kLongestRetryPauseSeconds)) {
      fail("a retry pause outside 0 to the longest pause");
    }
  }
  checkLogLines(loggedLines());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  fakeTransport().reset();
  (void)flushLogs(std::chrono::seconds(5));
  {
    std::lock_guard<std::mutex> lock(logMutex());
    logLines().clear();
  }

  // The process-wide configuration, as provideApiContext would store it.
  {
    const std::string key = anyText(in);
    const std::string host = anyText(in);
    ContextDataCache::setShared(std::make_shared<ContextDataCache>());
    ContextDataCache::set(std::make_shared<ApiContext>(
        *ApiContext().setApiKey(key).setBaseUrl(host).setMaxRetry(0).build()));
  }
  const std::shared_ptr<ApiContext> context = in.ConsumeBool() ? anyContext(in) : nullptr;

  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: {
      const std::string query = anyText(in);
      const auto location = maybeCoordinate(in);
      const auto radius = maybeInt(in);
      const auto poiType = maybeText(in);
      const auto ovPoiType = maybeText(in);
      const auto countryCode = maybeText(in);
      const auto language = maybeText(in);
      const auto pageSize = maybeInt(in);
      const auto pageIndex = maybeInt(in);
      const auto children = maybeBool(in);
      runCall(in, &SiteClient::textSearch,
              TextSearchRequest(query, location, radius, poiType, ovPoiType, countryCode, language,
                                pageSize, pageIndex, children),
              context);
      break;
    }
    case 1: {
      const Coordinate location = anyCoordinate(in);
      const auto radius = maybeInt(in);
      const auto query = maybeText(in);
      const auto poiType = maybeText(in);
      const auto ovPoiType = maybeText(in);
      const auto language = maybeText(in);
      const auto pageSize = maybeInt(in);
      const auto pageIndex = maybeInt(in);
      runCall(in, &SiteClient::nearbySearch,
              NearbySearchRequest(location, radius, query, poiType, ovPoiType, language, pageSize,
                                  pageIndex),
              context);
      break;
    }
    case 2: {
      const std::string siteId = anyText(in);
      const auto language = maybeText(in);
      const auto children = maybeBool(in);
      runCall(in, &SiteClient::detailSearch, DetailSearchRequest(siteId, language, children),
              context);
      break;
    }
    case 3: {
      const std::string query = anyText(in);
      const auto location = maybeCoordinate(in);
      const auto radius = maybeInt(in);
      const auto bounds = maybeBounds(in);
      const auto poiTypes = maybeTexts(in);
      const auto countryCode = maybeText(in);
      const auto language = maybeText(in);
      const auto children = maybeBool(in);
      runCall(in, &SiteClient::querySuggestion,
              QuerySuggestionRequest(query, location, radius, bounds, poiTypes, countryCode,
                                     language, children),
              context);
      break;
    }
    case 4: {
      const std::string query = anyText(in);
      const auto location = maybeCoordinate(in);
      const auto radius = maybeInt(in);
      const auto language = maybeText(in);
      const auto children = maybeBool(in);
      runCall(in, &SiteClient::queryAutocomplete,
              QueryAutocompleteRequest(query, location, radius, language, children), context);
      break;
    }
    case 5: {
      const std::string address = anyText(in);
      const auto bounds = maybeBounds(in);
      const auto language = maybeText(in);
      runCall(in, &SiteClient::geocode, GeocodeRequest(address, bounds, language), context);
      break;
    }
    case 6: {
      const Coordinate location = anyCoordinate(in);
      const auto language = maybeText(in);
      const auto returnPoi = maybeBool(in);
      runCall(in, &SiteClient::reverseGeocode, ReverseGeocodeRequest(location, language, returnPoi),
              context);
      break;
    }
    default: {
      const Coordinate location = anyCoordinate(in);
      const auto timestamp = in.ConsumeIntegral<std::int64_t>();
      const auto language = maybeText(in);
      runCall(in, &SiteClient::timezone, TimezoneRequest(location, timestamp, language), context);
      break;
    }
  }
  return 0;
}
