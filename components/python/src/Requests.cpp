// The request classes take their fields as keyword arguments named as the C++ members, in
// snake_case; an absent argument (None) leaves the field out of the request body.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <pybind11/chrono.h>
#include <pybind11/stl.h>

#include "Bindings.h"
#include "orvane/site/RetryPolicy.h"
#include "orvane/site/requests/DetailSearchRequest.h"
#include "orvane/site/requests/GeocodeRequest.h"
#include "orvane/site/requests/NearbySearchRequest.h"
#include "orvane/site/requests/QueryAutocompleteRequest.h"
#include "orvane/site/requests/QuerySuggestionRequest.h"
#include "orvane/site/requests/ReverseGeocodeRequest.h"
#include "orvane/site/requests/TextSearchRequest.h"
#include "orvane/site/requests/TimezoneRequest.h"

namespace orvane::site::python {
namespace {

using OptionalText = std::optional<std::string>;
using OptionalInt = std::optional<std::int64_t>;
using OptionalBool = std::optional<bool>;
using OptionalPause = std::optional<std::chrono::nanoseconds>;

py::arg_v none(const char* name) { return py::arg(name) = py::none(); }

void bindSearchRequests(py::module_& module) {
  py::class_<TextSearchRequest>(module, "TextSearchRequest")
      .def(py::init<std::string, std::optional<Coordinate>, OptionalInt, OptionalText, OptionalText,
                    OptionalText, OptionalText, OptionalInt, OptionalInt, OptionalBool>(),
           py::arg("query"), none("location"), none("radius"), none("poi_type"),
           none("ov_poi_type"), none("country_code"), none("language"), none("page_size"),
           none("page_index"), none("children"));
  py::class_<NearbySearchRequest>(module, "NearbySearchRequest")
      .def(py::init<Coordinate, OptionalInt, OptionalText, OptionalText, OptionalText, OptionalText,
                    OptionalInt, OptionalInt>(),
           py::arg("location"), none("radius"), none("query"), none("poi_type"),
           none("ov_poi_type"), none("language"), none("page_size"), none("page_index"));
  py::class_<DetailSearchRequest>(module, "DetailSearchRequest")
      .def(py::init<std::string, OptionalText, OptionalBool>(), py::arg("site_id"),
           none("language"), none("children"));
  py::class_<QuerySuggestionRequest>(module, "QuerySuggestionRequest")
      .def(py::init<std::string, std::optional<Coordinate>, OptionalInt,
                    std::optional<CoordinateBounds>, std::optional<std::vector<std::string>>,
                    OptionalText, OptionalText, OptionalBool>(),
           py::arg("query"), none("location"), none("radius"), none("bounds"), none("poi_types"),
           none("country_code"), none("language"), none("children"));
  py::class_<QueryAutocompleteRequest>(module, "QueryAutocompleteRequest")
      .def(py::init<std::string, std::optional<Coordinate>, OptionalInt, OptionalText,
                    OptionalBool>(),
           py::arg("query"), none("location"), none("radius"), none("language"), none("children"));
}

void bindGeoRequests(py::module_& module) {
  py::class_<GeocodeRequest>(module, "GeocodeRequest")
      .def(py::init<std::string, std::optional<CoordinateBounds>, OptionalText>(),
           py::arg("address"), none("bounds"), none("language"));
  py::class_<ReverseGeocodeRequest>(module, "ReverseGeocodeRequest")
      .def(py::init<Coordinate, OptionalText, OptionalBool>(), py::arg("location"),
           none("language"), none("return_poi"));
  py::class_<TimezoneRequest>(module, "TimezoneRequest")
      .def(py::init<Coordinate, std::int64_t, OptionalText>(), py::arg("location"),
           py::arg("timestamp"), none("language"));
}

// Only what is given changes the library's default policy.
RetryPolicy makeRetryPolicy(std::optional<int> maxAttempts, OptionalPause initialPause,
                            std::optional<double> multiplier, OptionalPause longestPause,
                            OptionalBool jitter, OptionalPause retryBudget,
                            OptionalBool retryServerErrors, OptionalBool retryTooManyRequests,
                            OptionalBool honourRetryAfter, OptionalBool retryConnectionFailures,
                            OptionalBool retryTimeouts) {
  RetryPolicy policy;
  if (maxAttempts) policy.setMaxAttempts(*maxAttempts);
  if (initialPause) policy.setInitialPause(*initialPause);
  if (multiplier) policy.setMultiplier(*multiplier);
  if (longestPause) policy.setLongestPause(*longestPause);
  if (jitter) policy.setJitter(*jitter);
  if (retryBudget) policy.setRetryBudget(*retryBudget);
  if (retryServerErrors) policy.setRetryServerErrors(*retryServerErrors);
  if (retryTooManyRequests) policy.setRetryTooManyRequests(*retryTooManyRequests);
  if (honourRetryAfter) policy.setHonourRetryAfter(*honourRetryAfter);
  if (retryConnectionFailures) policy.setRetryConnectionFailures(*retryConnectionFailures);
  if (retryTimeouts) policy.setRetryTimeouts(*retryTimeouts);
  return policy;
}

void bindRetryPolicy(py::module_& module) {
  py::class_<RetryPolicy>(module, "RetryPolicy")
      .def(py::init(&makeRetryPolicy), none("max_attempts"), none("initial_pause"),
           none("multiplier"), none("longest_pause"), none("jitter"), none("retry_budget"),
           none("retry_server_errors"), none("retry_too_many_requests"), none("honour_retry_after"),
           none("retry_connection_failures"), none("retry_timeouts"))
      .def_property_readonly("max_attempts", &RetryPolicy::maxAttempts)
      .def_property_readonly("initial_pause", &RetryPolicy::initialPause)
      .def_property_readonly("multiplier", &RetryPolicy::multiplier)
      .def_property_readonly("longest_pause", &RetryPolicy::longestPause)
      .def_property_readonly("jitter", &RetryPolicy::jitter)
      .def_property_readonly("retry_budget", &RetryPolicy::retryBudget);
}

}  // namespace

void bindRequests(py::module_& module) {
  bindSearchRequests(module);
  bindGeoRequests(module);
  bindRetryPolicy(module);
}

}  // namespace orvane::site::python
