#include "BatchOperation.h"

#include <optional>
#include <utility>

#include <orvane/site/records/Site.h>
#include <orvane/site/responses/GeocodeResponse.h>
#include <orvane/site/responses/ReverseGeocodeResponse.h>
#include <orvane/site/responses/TextSearchResponse.h>
#include <orvane/site/responses/TimezoneResponse.h>

#include "ErrorClass.h"
#include "RequestKey.h"

namespace orvane::site::cli::batch {
namespace {

template <class T>
Cell cellOf(const std::optional<T>& value) {
  return value ? Cell(*value) : Cell();
}

std::vector<Cell> placeRecord(const Site& site) {
  return {cellOf(site.name),
          cellOf(site.siteId),
          site.location ? Cell(site.location->lat) : Cell(),
          site.location ? Cell(site.location->lng) : Cell(),
          cellOf(site.formatAddress),
          cellOf(site.distance)};
}

// Wraps `done` into the library's handler shape: the places of the reply, or its error.
template <class Response>
auto placesHandler(bool allPlaces, BatchOperation::Done done) {
  return [allPlaces, done = std::move(done)](std::shared_ptr<Response> response,
                                             std::optional<Error> error) {
    if (error) {
      done(outcomeOfError(*error));
      return;
    }
    RowOutcome outcome;
    if (response && response->sites) {
      for (const auto& site : *response->sites) {
        if (!site) continue;
        outcome.records.push_back(placeRecord(*site));
        if (!allPlaces) break;
      }
    }
    done(std::move(outcome));
  };
}

auto timezoneHandler(BatchOperation::Done done) {
  return [done = std::move(done)](std::shared_ptr<TimezoneResponse> response,
                                  std::optional<Error> error) {
    if (error) {
      done(outcomeOfError(*error));
      return;
    }
    RowOutcome outcome;
    if (response) {
      outcome.records.push_back({cellOf(response->timeZoneId), cellOf(response->timeZoneName),
                                 cellOf(response->rawOffset), cellOf(response->dstOffset)});
    }
    done(std::move(outcome));
  };
}

class PlacesOperation : public BatchOperation {
 public:
  std::vector<std::string> resultColumns() const override {
    return {"place_name", "place_site_id",           "place_lat",
            "place_lng",  "place_formatted_address", "place_distance"};
  }
};

class Geocode : public PlacesOperation {
 public:
  std::vector<std::string> fields() const override { return {"address", "language"}; }
  std::string lineField() const override { return "address"; }
  RowRunner::Cancel start(const RowFields& row, RowRunner& runner, bool allPlaces, CallMemo* memo,
                          Done done) const override {
    GeocodeRequest request(row.requiredText("address"), std::nullopt, row.text("language"));
    return shareCall(memo, requestKey(request), std::move(done), [&](Done shared) {
      return runner.geocode(std::move(request),
                            placesHandler<GeocodeResponse>(allPlaces, std::move(shared)));
    });
  }
};

class ReverseGeocode : public PlacesOperation {
 public:
  std::vector<std::string> fields() const override {
    return {"lat", "lng", "position", "language"};
  }
  std::string lineField() const override { return "position"; }
  RowRunner::Cancel start(const RowFields& row, RowRunner& runner, bool allPlaces, CallMemo* memo,
                          Done done) const override {
    ReverseGeocodeRequest request(row.position(), row.text("language"), std::nullopt);
    return shareCall(memo, requestKey(request), std::move(done), [&](Done shared) {
      return runner.reverseGeocode(
          std::move(request), placesHandler<ReverseGeocodeResponse>(allPlaces, std::move(shared)));
    });
  }
};

class TextSearch : public PlacesOperation {
 public:
  std::vector<std::string> fields() const override {
    return {"query", "lat", "lng", "position", "radius", "language"};
  }
  std::string lineField() const override { return "query"; }
  RowRunner::Cancel start(const RowFields& row, RowRunner& runner, bool allPlaces, CallMemo* memo,
                          Done done) const override {
    TextSearchRequest request(row.requiredText("query"), row.optionalPosition(),
                              row.integer("radius"), std::nullopt, std::nullopt, std::nullopt,
                              row.text("language"), std::nullopt, std::nullopt, std::nullopt);
    return shareCall(memo, requestKey(request), std::move(done), [&](Done shared) {
      return runner.textSearch(std::move(request),
                               placesHandler<TextSearchResponse>(allPlaces, std::move(shared)));
    });
  }
};

class Timezone : public BatchOperation {
 public:
  std::vector<std::string> fields() const override {
    return {"lat", "lng", "position", "timestamp", "language"};
  }
  std::string lineField() const override { return "position"; }
  std::vector<std::string> resultColumns() const override {
    return {"time_zone_id", "time_zone_name", "raw_offset", "dst_offset"};
  }
  RowRunner::Cancel start(const RowFields& row, RowRunner& runner, bool /*allPlaces*/,
                          CallMemo* memo, Done done) const override {
    const Coordinate position = row.position();
    const auto timestamp = row.integer("timestamp");
    if (!timestamp) throw BadRow("missing timestamp");
    if (*timestamp < 0) throw BadRow("timestamp is before 1970");
    TimezoneRequest request(position, *timestamp, row.text("language"));
    return shareCall(memo, requestKey(request), std::move(done), [&](Done shared) {
      return runner.timezone(std::move(request), timezoneHandler(std::move(shared)));
    });
  }
};

}  // namespace

std::unique_ptr<BatchOperation> makeBatchOperation(const std::string& name) {
  if (name == "geocode") return std::make_unique<Geocode>();
  if (name == "reverse-geocode") return std::make_unique<ReverseGeocode>();
  if (name == "text-search") return std::make_unique<TextSearch>();
  if (name == "timezone") return std::make_unique<Timezone>();
  return nullptr;
}

std::vector<std::string> batchOperationNames() {
  return {"geocode", "reverse-geocode", "text-search", "timezone"};
}

}  // namespace orvane::site::cli::batch
