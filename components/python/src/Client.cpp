// The client's operations, two native forms each: `_run_<op>` waits for the result with the GIL
// released (Ctrl-C cancels the call), `_start_<op>` hands the result to a Python callback. The
// package builds the blocking, concurrent.futures and asyncio forms on these.
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include <pybind11/chrono.h>
#include <pybind11/stl.h>

#include "Bindings.h"
#include "ClientOptionsFromPython.h"
#include "PyClient.h"
#include "PythonObjectRef.h"
#include "orvane/site/CallOptions.h"
#include "orvane/site/ErrorChecks.h"
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

using OptionalPause = std::optional<std::chrono::nanoseconds>;

// How often a blocking call looks for a signal (Ctrl-C) while it waits.
constexpr std::chrono::milliseconds kSignalCheck{50};

// Dropping a client ends its calls, whose handlers need the GIL: never with it held.
struct ReleasingGilDeleter {
  void operator()(PyClient* client) const {
    if (PyGILState_Check() != 0) {
      py::gil_scoped_release released;
      delete client;
    } else {
      delete client;
    }
  }
};
using ClientHolder = std::unique_ptr<PyClient, ReleasingGilDeleter>;

CallOptions callOptions(const OptionalPause& deadline) {
  CallOptions options;
  if (deadline) options.setDeadline(*deadline);
  return options;
}

// (response, None) or (None, Error); with the GIL held.
template <class Response>
py::tuple outcome(const Result<Response>& result) {
  if (result.ok()) return py::make_tuple(py::cast(result.value()), py::none());
  return py::make_tuple(py::none(), py::cast(result.error()));
}

// Runs on a handler thread: takes the GIL, calls back, and never lets a Python exception out.
template <class Response>
void deliver(PythonObjectRef& callback, const Result<Response>& result) {
  if (interpreterEnding()) return;
  py::gil_scoped_acquire gil;
  try {
    py::tuple values = outcome(result);
    callback.get()(values[0], values[1]);
  } catch (py::error_already_set& error) {
    error.discard_as_unraisable("orvane_site: the callback of a call");
  } catch (const std::exception& error) {
    PyErr_SetString(PyExc_RuntimeError, error.what());
    PyErr_WriteUnraisable(callback.get().ptr());
  }
  callback.reset();
}

template <class Request, class Response>
using Operation = Call<Response> (SiteClient::*)(Request, const CallOptions&,
                                                 std::function<void(Result<Response>)>);

// Where a blocking call's handler leaves the result for the waiting Python thread.
template <class Response>
class ResultSlot {
 public:
  void put(Result<Response> result) {
    std::lock_guard<std::mutex> lock(mutex_);
    result_.emplace(std::move(result));
    filled_.notify_all();
  }
  // The result, once it is there within `wait`.
  std::optional<Result<Response>> take(std::chrono::nanoseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    filled_.wait_for(lock, wait, [this] { return result_.has_value(); });
    return std::move(result_);
  }

 private:
  std::mutex mutex_;
  std::condition_variable filled_;
  std::optional<Result<Response>> result_;
};

template <class Request, class Response>
py::tuple runBlocking(PyClient& self, Operation<Request, Response> operation,
                      const Request& request, const OptionalPause& deadline) {
  const CallOptions options = callOptions(deadline);
  std::shared_ptr<SiteClient> client = self.client();
  auto slot = std::make_shared<ResultSlot<Response>>();
  Call<Response> call;
  std::optional<Result<Response>> result;
  {
    py::gil_scoped_release released;
    call = ((*client).*operation)(request, options,
                                  [slot](Result<Response> ended) { slot->put(std::move(ended)); });
    client.reset();
    result = slot->take(kSignalCheck);
  }
  while (!result) {
    if (PyErr_CheckSignals() != 0) {
      call.cancel();
      throw py::error_already_set();
    }
    py::gil_scoped_release released;
    result = slot->take(kSignalCheck);
  }
  return outcome(*result);
}

template <class Request, class Response>
CallControl startWithCallback(PyClient& self, Operation<Request, Response> operation,
                              const Request& request, const OptionalPause& deadline,
                              py::object callback) {
  auto target = std::make_shared<PythonObjectRef>(std::move(callback));
  const CallOptions options = callOptions(deadline);
  std::shared_ptr<SiteClient> client = self.client();
  py::gil_scoped_release released;
  Call<Response> call = ((*client).*operation)(
      request, options, [target](Result<Response> result) { deliver(*target, result); });
  client.reset();
  return CallControl{[call] { call.cancel(); }, [call] { return call.done(); }};
}

template <class Request, class Response>
void bindOperation(py::class_<PyClient, ClientHolder>& client, const std::string& name,
                   Operation<Request, Response> operation) {
  client.def(("_run_" + name).c_str(),
             [operation](PyClient& self, const Request& request, const OptionalPause& deadline) {
               return runBlocking(self, operation, request, deadline);
             },
             py::arg("request"), py::arg("deadline") = py::none());
  client.def(("_start_" + name).c_str(),
             [operation](PyClient& self, const Request& request, const OptionalPause& deadline,
                         py::object callback) {
               return startWithCallback(self, operation, request, deadline, std::move(callback));
             },
             py::arg("request"), py::arg("deadline"), py::arg("callback"));
}

void bindError(py::module_& module) {
  py::class_<Error>(module, "Error")
      .def_readonly("domain", &Error::domain)
      .def_readonly("code", &Error::code)
      .def_readonly("description", &Error::localizedDescription)
      .def_readonly("user_info", &Error::userInfo)
      .def_property_readonly("retryable", [](const Error& error) { return isRetryable(error); });
}

ClientHolder makeClient(ClientArguments arguments) {
  ClientOptions options = makeClientOptions(arguments);
  py::gil_scoped_release released;
  return ClientHolder(new PyClient(std::move(options)));
}

void bindClientClass(py::module_& module) {
  py::class_<PyClient, ClientHolder> client(module, "Client");
  client
      .def(
          py::init([](std::string apiKey, std::optional<std::string> host,
                      OptionalPause attemptTimeout, OptionalPause deadline,
                      std::optional<RetryPolicy> retry, std::optional<double> rateLimit,
                      std::size_t rateBurst, std::size_t maxInFlight,
                      std::optional<std::size_t> maxQueuedCalls,
                      std::optional<long> maxConnectionsPerHost, std::optional<long> maxConnections,
                      std::optional<std::string> caFile, std::optional<std::string> caPem,
                      std::optional<std::string> proxy, std::optional<std::string> noProxy,
                      std::size_t handlerThreads, std::shared_ptr<HttpTransport> transport) {
            return makeClient(ClientArguments{
                std::move(apiKey), std::move(host), attemptTimeout, deadline, std::move(retry),
                rateLimit, rateBurst, maxInFlight, maxQueuedCalls, maxConnectionsPerHost,
                maxConnections, std::move(caFile), std::move(caPem), std::move(proxy),
                std::move(noProxy), handlerThreads, std::move(transport)});
          }),
          py::arg("api_key"), py::arg("host") = py::none(), py::arg("attempt_timeout") = py::none(),
          py::arg("deadline") = py::none(), py::arg("retry") = py::none(),
          py::arg("rate_limit") = py::none(), py::arg("rate_burst") = 1,
          py::arg("max_in_flight") = 0, py::arg("max_queued_calls") = py::none(),
          py::arg("max_connections_per_host") = py::none(), py::arg("max_connections") = py::none(),
          py::arg("ca_file") = py::none(), py::arg("ca_pem") = py::none(),
          py::arg("proxy") = py::none(), py::arg("no_proxy") = py::none(),
          py::arg("handler_threads") = 1, py::arg("transport") = py::none())
      .def("close", &PyClient::close, py::call_guard<py::gil_scoped_release>());
  bindOperation<TextSearchRequest, TextSearchResponse>(client, "text_search",
                                                       &SiteClient::textSearch);
  bindOperation<NearbySearchRequest, NearbySearchResponse>(client, "nearby_search",
                                                           &SiteClient::nearbySearch);
  bindOperation<DetailSearchRequest, DetailSearchResponse>(client, "detail_search",
                                                           &SiteClient::detailSearch);
  bindOperation<QuerySuggestionRequest, QuerySuggestionResponse>(client, "query_suggestion",
                                                                 &SiteClient::querySuggestion);
  bindOperation<QueryAutocompleteRequest, QueryAutocompleteResponse>(
      client, "query_autocomplete", &SiteClient::queryAutocomplete);
  bindOperation<GeocodeRequest, GeocodeResponse>(client, "geocode", &SiteClient::geocode);
  bindOperation<ReverseGeocodeRequest, ReverseGeocodeResponse>(client, "reverse_geocode",
                                                               &SiteClient::reverseGeocode);
  bindOperation<TimezoneRequest, TimezoneResponse>(client, "timezone", &SiteClient::timezone);
}

}  // namespace

void bindClient(py::module_& module) {
  bindError(module);
  py::class_<HttpTransport, std::shared_ptr<HttpTransport>>(module, "Transport");
  py::class_<CallControl>(module, "CallControl")
      .def(
          "cancel", [](const CallControl& call) { call.cancel(); },
          py::call_guard<py::gil_scoped_release>())
      .def(
          "done", [](const CallControl& call) { return call.done(); },
          py::call_guard<py::gil_scoped_release>());
  bindClientClass(module);
}

}  // namespace orvane::site::python
