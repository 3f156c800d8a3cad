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

// The body fields of each operation, listed once. `Writer` is BodyWriter (a JSON tree) or
// BodyTextWriter (JSON text); both share the put/putUpperCased rules. Fields are listed in
// byte order of their keys, the order in which the tree writes its members, so that the text
// is written straight through.

template <class Writer>
void writeFields(const TextSearchRequest& request, Writer& writer) {
  writer.put("children", request.children)
      .put("countryCode", request.countryCode)
      .put("language", request.language)
      .put("location", request.location)
      .putUpperCased("ovPoiType", request.ovPoiType)
      .put("pageIndex", request.pageIndex)
      .put("pageSize", request.pageSize)
      .putUpperCased("poiType", request.poiType)
      .put("query", request.query)
      .put("radius", request.radius);
}

template <class Writer>
void writeFields(const NearbySearchRequest& request, Writer& writer) {
  writer.put("language", request.language)
      .put("location", request.location)
      .putUpperCased("ovPoiType", request.ovPoiType)
      .put("pageIndex", request.pageIndex)
      .put("pageSize", request.pageSize)
      .putUpperCased("poiType", request.poiType)
      .put("query", request.query)
      .put("radius", request.radius);
}

template <class Writer>
void writeFields(const DetailSearchRequest& request, Writer& writer) {
  writer.put("children", request.children)
      .put("language", request.language)
      .put("siteId", request.siteId);
}

template <class Writer>
void writeFields(const QuerySuggestionRequest& request, Writer& writer) {
  writer.put("bounds", request.bounds)
      .put("children", request.children)
      .put("countryCode", request.countryCode)
      .put("language", request.language)
      .put("location", request.location)
      .putUpperCased("poiTypes", request.poiTypes)
      .put("query", request.query)
      .put("radius", request.radius);
}

template <class Writer>
void writeFields(const QueryAutocompleteRequest& request, Writer& writer) {
  writer.put("children", request.children)
      .put("language", request.language)
      .put("location", request.location)
      .put("query", request.query)
      .put("radius", request.radius);
}

template <class Writer>
void writeFields(const GeocodeRequest& request, Writer& writer) {
  writer.put("address", request.address)
      .put("bounds", request.bounds)
      .put("language", request.language);
}

template <class Writer>
void writeFields(const ReverseGeocodeRequest& request, Writer& writer) {
  writer.put("language", request.language)
      .put("location", request.location)
      .put("returnPoi", request.returnPoi);
}

template <class Writer>
void writeFields(const TimezoneRequest& request, Writer& writer) {
  writer.put("language", request.language)
      .put("location", request.location)
      .put("timestamp", request.timestamp);
}

}  // namespace orvane::site::internal
