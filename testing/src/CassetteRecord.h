#pragma once

// What the recording and replaying transports agree on: how a request is named in a cassette
// line and how a failure without a reply is written.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

#include "orvane/site/transport/HttpOutcome.h"

namespace orvane::site::testkit::cassette {

/// The path of an absolute URL, from its first '/' after the host up to the query.
std::string pathOf(const std::string& url);

/// The library's name of the operation sent to `path` ("geocode", "timezone"), or the path's
/// last part for a path that is no operation of the service.
std::string operationOf(const std::string& path);

/// A request body as a cassette holds it: the parsed JSON, the text itself when it is no JSON,
/// or null when there is no body.
nlohmann::json requestBody(const std::optional<std::string>& body);

/// The name a cassette gives a failure ("connectionFailed", "timedOut", ...).
std::string failureName(HttpOutcome::Failure failure);

/// The failure a cassette names, also by the short names written by hand ("reset",
/// "timeout"); nothing for an unknown name.
std::optional<HttpOutcome::Failure> failureNamed(const std::string& name);

}  // namespace orvane::site::testkit::cassette
