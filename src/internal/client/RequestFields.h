#pragma once

#include "orvane/site/requests/DetailSearchRequest.h"
#include "orvane/site/requests/GeocodeRequest.h"
#include "orvane/site/requests/NearbySearchRequest.h"
#include "orvane/site/requests/QueryAutocompleteRequest.h"
#include "orvane/site/requests/QuerySuggestionRequest.h"
#include "orvane/site/requests/ReverseGeocodeRequest.h"
#include "orvane/site/requests/TextSearchRequest.h"
#include "orvane/site/requests/TimezoneRequest.h"

namespace orvane::site::internal {

// The body fields of each operation, listed once, in body order. `Writer` is BodyWriter (a JSON
// tree) or BodyTextWriter (JSON text); both share the put/putUpperCased rules.

template <class Writer>
void writeFields(const TextSearchRequest& request, Writer& writer) {
  writer.put("query", request.query)
      .put("location", request.location)
      .put("radius", request.radius)
      .putUpperCased("poiType", request.poiType)
      .putUpperCased("ovPoiType", request.ovPoiType)
      .put("countryCode", request.countryCode)
      .put("language", request.language)
      .put("pageSize", request.pageSize)
      .put("pageIndex", request.pageIndex)
      .put("children", request.children);
}

template <class Writer>
void writeFields(const NearbySearchRequest& request, Writer& writer) {
  writer.put("location", request.location)
      .put("query", request.query)
      .put("radius", request.radius)
      .putUpperCased("poiType", request.poiType)
      .putUpperCased("ovPoiType", request.ovPoiType)
      .put("language", request.language)
      .put("pageSize", request.pageSize)
      .put("pageIndex", request.pageIndex);
}

template <class Writer>
void writeFields(const DetailSearchRequest& request, Writer& writer) {
  writer.put("siteId", request.siteId)
      .put("language", request.language)
      .put("children", request.children);
}

template <class Writer>
void writeFields(const QuerySuggestionRequest& request, Writer& writer) {
  writer.put("query", request.query)
      .put("location", request.location)
      .put("bounds", request.bounds)
      .put("radius", request.radius)
      .putUpperCased("poiTypes", request.poiTypes)
      .put("countryCode", request.countryCode)
      .put("language", request.language)
      .put("children", request.children);
}

template <class Writer>
void writeFields(const QueryAutocompleteRequest& request, Writer& writer) {
  writer.put("query", request.query)
      .put("location", request.location)
      .put("radius", request.radius)
      .put("language", request.language)
      .put("children", request.children);
}

template <class Writer>
void writeFields(const GeocodeRequest& request, Writer& writer) {
  writer.put("address", request.address)
      .put("bounds", request.bounds)
      .put("language", request.language);
}

template <class Writer>
void writeFields(const ReverseGeocodeRequest& request, Writer& writer) {
  writer.put("location", request.location)
      .put("language", request.language)
      .put("returnPoi", request.returnPoi);
}

template <class Writer>
void writeFields(const TimezoneRequest& request, Writer& writer) {
  writer.put("location", request.location)
      .put("timestamp", request.timestamp)
      .put("language", request.language);
}

}  // namespace orvane::site::internal
