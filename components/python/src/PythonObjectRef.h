#pragma once

#include <utility>

#include <pybind11/pybind11.h>

namespace orvane::site::python {

namespace py = pybind11;

/// True once the interpreter is finalizing: a thread of the library must then not take the GIL
/// (it would be stopped inside the library's code).
inline bool interpreterEnding() noexcept {
#if PY_VERSION_HEX >= 0x030D0000
  return Py_IsFinalizing() != 0;
#else
  return _Py_IsFinalizing() != 0;
#endif
}

/// A Python object held by a handler of the library, which may drop it on any thread: the
/// reference is let go with the GIL taken (or leaked while the interpreter ends).
class PythonObjectRef {
 public:
  explicit PythonObjectRef(py::object object) : object_(std::move(object)) {}
  ~PythonObjectRef() { reset(); }
  PythonObjectRef(const PythonObjectRef&) = delete;
  PythonObjectRef& operator=(const PythonObjectRef&) = delete;

  /// The object; only with the GIL held.
  const py::object& get() const noexcept { return object_; }

  /// Lets the object go; takes the GIL when it is not held.
  void reset() noexcept {
    if (!object_) return;
    if (interpreterEnding()) {
      object_.release();
      return;
    }
    py::gil_scoped_acquire gil;
    object_ = py::object();
  }

 private:
  py::object object_;
};

}  // namespace orvane::site::python
