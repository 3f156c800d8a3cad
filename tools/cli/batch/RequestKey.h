#pragma once

#include <string>

#include <orvane/site/requests/GeocodeRequest.h>
#include <orvane/site/requests/ReverseGeocodeRequest.h>
#include <orvane/site/requests/TextSearchRequest.h>
#include <orvane/site/requests/TimezoneRequest.h>

namespace orvane::site::cli::batch {

/// The operation and every field of a request, as one text: two requests have the same key
/// only when they would send the same body. Numbers keep every bit, so positions that differ
/// in the last digit have other keys.
std::string requestKey(const GeocodeRequest& request);
std::string requestKey(const ReverseGeocodeRequest& request);
std::string requestKey(const TextSearchRequest& request);
std::string requestKey(const TimezoneRequest& request);

}  // namespace orvane::site::cli::batch
