#include <chrono>

#include <pybind11/chrono.h>

#include "Bindings.h"
#include "orvane/site/Shutdown.h"

PYBIND11_MODULE(_native, module) {
  namespace python = orvane::site::python;
  module.doc() = "The compiled part of orvane_site; use the orvane_site package.";
  python::bindRecords(module);
  python::bindRequests(module);
  python::bindClient(module);
  python::bindStandin(module);
  module.def(
      "shutdown",
      [](std::chrono::nanoseconds grace) {
        python::py::gil_scoped_release released;  // the handlers still due need the GIL
        orvane::site::shutdown(grace);
      },
      python::py::arg("grace"),
      "Drains the calls under way for up to `grace`, cancels the rest and stops the library "
      "thread; later calls fail with libraryShutDown.");
}
