#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>

#include "orvane/site/standin/dataset.h"
#include "orvane/site/standin/time_zone_database.h"
#include "request_body.h"

namespace orvane::site::standin::detail {

/// What every operation reads besides the request.
struct OperationContext {
  const Dataset& dataset;
  const TimeZoneDatabase& zones;
  std::int64_t now;  ///< seconds since 1970 (UTC); used for the sites' "utcOffset"
};

/// The reply of one operation: an HTTP status and the JSON body with "returnCode" and
/// "returnDesc". Request errors are thrown as BadRequest instead.
struct OperationReply {
  int status = 200;
  nlohmann::ordered_json body;
};

/// A success envelope, to which the operation adds its members.
nlohmann::ordered_json okEnvelope();

OperationReply textSearch(const RequestBody& request, const OperationContext& context);
OperationReply nearbySearch(const RequestBody& request, const OperationContext& context);
OperationReply detailSearch(const RequestBody& request, const OperationContext& context);
OperationReply querySuggestion(const RequestBody& request, const OperationContext& context);
OperationReply queryAutocomplete(const RequestBody& request, const OperationContext& context);
OperationReply geocode(const RequestBody& request, const OperationContext& context);
OperationReply reverseGeocode(const RequestBody& request, const OperationContext& context);
OperationReply timezone(const RequestBody& request, const OperationContext& context);

}  // namespace orvane::site::standin::detail
