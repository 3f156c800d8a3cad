#include "support/OperationCalls.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <mutex>
#include <utility>

#include "orvane/site.h"

namespace orvane::site::testing {
namespace {

// 2024-01-01T00:00:00Z, in seconds as the stand-in expects.
constexpr std::int64_t kTimestamp = 1704067200;

template <class Response>
std::function<void(std::shared_ptr<Response>, std::optional<Error>)> forward(
    OutcomeHandler handler) {
  return [handler = std::move(handler)](std::shared_ptr<Response> response,
                                        std::optional<Error> error) {
    handler(CallOutcome{std::move(response), std::move(error)});
  };
}

// The first site's name, or a note of what is missing.
template <class Response>
std::string firstSiteName(const BaseResponse& response) {
  const auto* typed = dynamic_cast<const Response*>(&response);
  if (typed == nullptr) return "<another response type>";
  if (!typed->sites || typed->sites->empty()) return "<no sites>";
  const auto& site = typed->sites->front();
  return site && site->name ? *site->name : "<unnamed site>";
}

std::string expectName(const std::string& actual, const std::string& expected) {
  return actual == expected ? std::string() : "first result is " + actual + ", not " + expected;
}

}  // namespace

Operation operationAt(std::size_t index) { return static_cast<Operation>(index % kOperationCount); }

const char* operationName(Operation operation) {
  switch (operation) {
    case Operation::textSearch:
      return "textSearch";
    case Operation::nearbySearch:
      return "nearbySearch";
    case Operation::detailSearch:
      return "detailSearch";
    case Operation::querySuggestion:
      return "querySuggestion";
    case Operation::queryAutocomplete:
      return "queryAutocomplete";
    case Operation::geocode:
      return "geocode";
    case Operation::reverseGeocode:
      return "reverseGeocode";
    case Operation::timezone:
      return "timezone";
  }
  return "?";
}

std::vector<KnownPlace> knownPlaces() {
  // Positions from tzdata's zone1970.tab, where the stand-in puts each zone's principal city.
  return {
      {"Paris", Coordinate(48.8667, 2.3333), "Europe/Paris", ""},
      {"Tokyo", Coordinate(35.6544, 139.7447), "Asia/Tokyo", ""},
      {"Sydney", Coordinate(-33.8667, 151.2167), "Australia/Sydney", ""},
      {"Lima", Coordinate(-12.05, -77.05), "America/Lima", ""},
      {"Chicago", Coordinate(41.85, -87.65), "America/Chicago", ""},
      {"Nairobi", Coordinate(-1.2833, 36.8167), "Africa/Nairobi", ""},
      {"Moscow", Coordinate(55.7558, 37.6178), "Europe/Moscow", ""},
      {"Berlin", Coordinate(52.5, 13.3667), "Europe/Berlin", ""},
  };
}

void startCall(SiteClient& client, Operation operation, const KnownPlace& place,
               std::shared_ptr<ApiContext> context, OutcomeHandler handler) {
  using std::nullopt;
  switch (operation) {
    case Operation::textSearch:
      client.textSearch(TextSearchRequest(place.name, nullopt, nullopt, nullopt, nullopt, nullopt,
                                          "en", 5, 1, nullopt),
                        std::move(context), forward<TextSearchResponse>(std::move(handler)));
      break;
    case Operation::nearbySearch:
      client.nearbySearch(
          NearbySearchRequest(place.location, 100000, nullopt, nullopt, nullopt, "en", 5, 1),
          std::move(context), forward<NearbySearchResponse>(std::move(handler)));
      break;
    case Operation::detailSearch:
      client.detailSearch(DetailSearchRequest(place.siteId, "en", false), std::move(context),
                          forward<DetailSearchResponse>(std::move(handler)));
      break;
    case Operation::querySuggestion:
      client.querySuggestion(QuerySuggestionRequest(place.name, nullopt, nullopt, nullopt, nullopt,
                                                    nullopt, "en", nullopt),
                             std::move(context),
                             forward<QuerySuggestionResponse>(std::move(handler)));
      break;
    case Operation::queryAutocomplete:
      client.queryAutocomplete(
          QueryAutocompleteRequest(place.name, nullopt, nullopt, "en", nullopt), std::move(context),
          forward<QueryAutocompleteResponse>(std::move(handler)));
      break;
    case Operation::geocode:
      client.geocode(GeocodeRequest(place.name, nullopt, "en"), std::move(context),
                     forward<GeocodeResponse>(std::move(handler)));
      break;
    case Operation::reverseGeocode:
      client.reverseGeocode(ReverseGeocodeRequest(place.location, "en", false), std::move(context),
                            forward<ReverseGeocodeResponse>(std::move(handler)));
      break;
    case Operation::timezone:
      client.timezone(TimezoneRequest(place.location, kTimestamp, "en"), std::move(context),
                      forward<TimezoneResponse>(std::move(handler)));
      break;
  }
}

CallOutcome awaitCall(Operation operation, const KnownPlace& place,
                      std::shared_ptr<ApiContext> context, std::chrono::seconds limit) {
  auto promise = std::make_shared<std::promise<CallOutcome>>();
  auto future = promise->get_future();
  startCall(SiteClient::shared(), operation, place, std::move(context),
            [promise](CallOutcome outcome) { promise->set_value(std::move(outcome)); });
  if (future.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << operationName(operation) << " about " << place.name << ": no outcome within "
                  << limit.count() << " s";
    return {};
  }
  return future.get();
}

void lookUpSiteIds(std::vector<KnownPlace>& places, const std::shared_ptr<ApiContext>& context) {
  for (KnownPlace& place : places) {
    const CallOutcome outcome = awaitCall(Operation::geocode, place, context);
    const auto* reply = dynamic_cast<const GeocodeResponse*>(outcome.response.get());
    if (reply == nullptr || !reply->sites || reply->sites->empty() ||
        !reply->sites->front()->siteId) {
      ADD_FAILURE() << "no site identifier for " << place.name << ": " << describe(outcome.error);
      continue;
    }
    place.siteId = *reply->sites->front()->siteId;
  }
}

std::string placeMismatch(Operation operation, const KnownPlace& place,
                          const BaseResponse& response) {
  switch (operation) {
    case Operation::textSearch:
      return expectName(firstSiteName<TextSearchResponse>(response), place.name);
    case Operation::nearbySearch:
      return expectName(firstSiteName<NearbySearchResponse>(response), place.name);
    case Operation::querySuggestion:
      return expectName(firstSiteName<QuerySuggestionResponse>(response), place.name);
    case Operation::geocode:
      return expectName(firstSiteName<GeocodeResponse>(response), place.name);
    case Operation::reverseGeocode:
      return expectName(firstSiteName<ReverseGeocodeResponse>(response), place.name);
    case Operation::detailSearch: {
      const auto* typed = dynamic_cast<const DetailSearchResponse*>(&response);
      if (typed == nullptr) return "<another response type>";
      if (!typed->site) return "<no site>";
      return typed->site->siteId == place.siteId ? std::string()
                                                 : "site " + typed->site->siteId.value_or("?");
    }
    case Operation::queryAutocomplete: {
      const auto* typed = dynamic_cast<const QueryAutocompleteResponse*>(&response);
      if (typed == nullptr) return "<another response type>";
      if (!typed->predictions || typed->predictions->empty()) return "<no predictions>";
      const std::string description =
          typed->predictions->front().description.value_or("<no description>");
      return description.rfind(place.name + ",", 0) == 0 ? std::string()
                                                         : "first prediction " + description;
    }
    case Operation::timezone: {
      const auto* typed = dynamic_cast<const TimezoneResponse*>(&response);
      if (typed == nullptr) return "<another response type>";
      const std::string zone = typed->timeZoneId.value_or("<no zone>");
      return zone == place.timeZoneId ? std::string() : "zone " + zone;
    }
  }
  return "unknown operation";
}

std::shared_ptr<ApiContext> makeContext(const std::string& apiKey, const std::string& host,
                                        std::int64_t maxRetry, double retryInterval,
                                        double timeoutInterval) {
  static std::mutex builderMutex;
  std::lock_guard<std::mutex> lock(builderMutex);
  return std::make_shared<ApiContext>(*ApiContext()
                                           .setApiKey(apiKey)
                                           .setBaseUrl(host)
                                           .setMaxRetry(maxRetry)
                                           .setRetryInterval(retryInterval)
                                           .setTimeoutInterval(timeoutInterval)
                                           .build());
}

std::string describe(const std::optional<Error>& error) {
  if (!error) return "no error";
  std::ostringstream text;
  text << error->domain << " " << error->code << ": " << error->localizedDescription;
  const auto detail = error->userInfo.find("detail");
  if (detail != error->userInfo.end()) text << " (" << detail->second << ")";
  return text.str();
}

int threadsNamed(std::string_view name) {
  const std::string wanted(name.substr(0, 15));
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string threadName;
    if (std::getline(comm, threadName) && threadName == wanted) ++count;
  }
  ::closedir(tasks);
  return count;
}

}  // namespace orvane::site::testing
