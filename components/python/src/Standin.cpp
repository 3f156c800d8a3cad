// The testing kit's stand-in, for Python tests without a key or network.
#include "Bindings.h"

#ifdef ORVANE_SITE_PYTHON_STANDIN
#include <chrono>
#include <string>
#include <vector>

#include <pybind11/chrono.h>
#include <pybind11/stl.h>

#include "orvane/site/testing/Standin.h"
#include "orvane/site/testing/StandinFault.h"

namespace orvane::site::python {

void bindStandin(py::module_& module) {
  using testkit::Standin;
  using testkit::StandinFault;
  py::class_<StandinFault>(module, "StandinFault")
      .def_static("server_errors", &StandinFault::serverErrors, py::arg("count"),
                  py::arg("status") = 503)
      .def_static("delay", &StandinFault::delay, py::arg("delay"))
      .def_static("error_reply", &StandinFault::errorReply, py::arg("status"),
                  py::arg("return_code") = std::string())
      .def_static("missing_return_code", &StandinFault::missingReturnCode, py::arg("status") = 400)
      .def_static("empty_body", &StandinFault::emptyBody, py::arg("status") = 404)
      .def_static("not_json", &StandinFault::notJson)
      .def_static("not_utf8", &StandinFault::notUtf8)
      .def_static("truncated_body", &StandinFault::truncatedBody)
      .def_static("cut_connection", &StandinFault::cutConnection)
      .def_static("drop_connection", &StandinFault::dropConnection)
      .def("text", &StandinFault::text);
  py::class_<Standin>(module, "Standin")
      .def(py::init([](std::vector<std::string> acceptedKeys, int port, std::size_t connections) {
             Standin::Options options;
             if (!acceptedKeys.empty()) options.acceptedKeys = std::move(acceptedKeys);
             options.port = port;
             options.connections = connections;
             py::gil_scoped_release released;
             return std::make_unique<Standin>(std::move(options));
           }),
           py::arg("accepted_keys") = std::vector<std::string>(), py::arg("port") = 0,
           py::arg("connections") = 64)
      .def_property_readonly("host", &Standin::host)
      .def_property_readonly("port", &Standin::port)
      .def_property_readonly("api_key", &Standin::apiKey)
      .def_property_readonly("ca_certificate_pem", &Standin::caCertificatePem)
      .def_property_readonly("transport", &Standin::transport)
      .def("api_key_with_faults", &Standin::apiKeyWithFaults, py::arg("faults"),
           py::arg("tag") = std::string())
      .def_property_readonly("request_count", &Standin::requestCount)
      .def("requests_for_key", &Standin::requestsForKey, py::arg("key"))
      .def("reset_counters", &Standin::resetCounters)
      .def("stop", &Standin::stop, py::call_guard<py::gil_scoped_release>());
}

}  // namespace orvane::site::python

#else

namespace orvane::site::python {

void bindStandin(py::module_& /*module*/) {}

}  // namespace orvane::site::python

#endif
