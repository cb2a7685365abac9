// Python.h, included first everywhere in the binding, with the clean-API
// macro, and the scoped strong reference the binding holds objects with.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace qudim::py {

/// A strong reference held for one scope and released on every way out.
class StrongRef {
 public:
  explicit StrongRef(PyObject* obj) noexcept : obj_(Py_XNewRef(obj)) {}
  StrongRef(const StrongRef&) = delete;
  StrongRef& operator=(const StrongRef&) = delete;
  ~StrongRef() { Py_XDECREF(obj_); }
  PyObject* get() const noexcept { return obj_; }

 private:
  PyObject* obj_;
};

}  // namespace qudim::py
