#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/site/Error.h"
#include "orvane/site/records/Coordinate.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site {
class ApiContext;
class SiteClient;
}  // namespace orvane::site

namespace orvane::site::testing {

/// The eight operations of the facade, in the order of SiteClientProtocol.
enum class Operation {
  textSearch,
  nearbySearch,
  detailSearch,
  querySuggestion,
  queryAutocomplete,
  geocode,
  reverseGeocode,
  timezone,
};
constexpr int kOperationCount = 8;

/// The operation at `index` modulo 8, so that a loop counter walks through all of them.
Operation operationAt(std::size_t index);
const char* operationName(Operation operation);

/// A principal city of the stand-in's data set that every operation finds as its first result:
/// by name (text search, suggestion, autocomplete, geocode), by position (nearby search,
/// reverse geocode, time zone) or by site identifier (detail search).
struct KnownPlace {
  std::string name;
  Coordinate location;
  std::string timeZoneId;
  /// The stand-in's identifier of the place; empty until looked up (see lookUpSiteIds).
  std::string siteId;
};

/// Eight such places, on every continent but Antarctica.
std::vector<KnownPlace> knownPlaces();

/// What a call handed its handler.
struct CallOutcome {
  std::shared_ptr<BaseResponse> response;
  std::optional<Error> error;
};
using OutcomeHandler = std::function<void(CallOutcome outcome)>;

/// Starts `operation` on `client` with a request about `place` and returns at once; `handler`
/// receives what the operation's handler was called with.
void startCall(SiteClient& client, Operation operation, const KnownPlace& place,
               std::shared_ptr<ApiContext> context, OutcomeHandler handler);

/// Starts a call and waits for its outcome; fails the test (and returns an empty outcome) when
/// none arrives within `limit`.
CallOutcome awaitCall(Operation operation, const KnownPlace& place,
                      std::shared_ptr<ApiContext> context,
                      std::chrono::seconds limit = std::chrono::seconds(60));

/// Fills the `siteId` of each place through a geocode call with `context`; fails the test when
/// one cannot be found.
void lookUpSiteIds(std::vector<KnownPlace>& places, const std::shared_ptr<ApiContext>& context);

/// Empty when `response` is `operation`'s answer about `place` (the right response type, first
/// result naming the place); otherwise what is wrong with it.
std::string placeMismatch(Operation operation, const KnownPlace& place,
                          const BaseResponse& response);

/// A context of its own (a copy of the process-wide builder context after the setters) with
/// these values. Several threads may call it at once: the builder is filled under a lock.
std::shared_ptr<ApiContext> makeContext(const std::string& apiKey, const std::string& host,
                                        std::int64_t maxRetry, double retryInterval,
                                        double timeoutInterval);

/// "domain code: description (detail)" of an error, for failure messages.
std::string describe(const std::optional<Error>& error);

/// The threads of this process whose name (as Linux shows it, 15 characters at most) is the
/// first 15 characters of `name`.
int threadsNamed(std::string_view name);

}  // namespace orvane::site::testing
