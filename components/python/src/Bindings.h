#pragma once

#include <pybind11/pybind11.h>

namespace orvane::site::python {

namespace py = pybind11;

/// The record classes (places and the eight responses), read-only attributes in snake_case.
void bindRecords(py::module_& module);
/// Coordinate, CoordinateBounds, RetryPolicy and the eight request classes.
void bindRequests(py::module_& module);
/// Error, the call handle and the client with its operations.
void bindClient(py::module_& module);
/// The testing kit's stand-in and its faults (when the kit is built).
void bindStandin(py::module_& module);

}  // namespace orvane::site::python
