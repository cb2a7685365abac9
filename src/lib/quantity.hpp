// The Quantity class: every member function, grouped by the file that
// defines it. quantity.cpp assembles them into the type.
#pragma once

#include "lib/py.hpp"

#include <optional>     // std::optional
#include <string_view>  // std::string_view
#include <utility>      // std::exchange

#include "lib/objects.hpp"  // PyQuantity, RegistryHandle

namespace qudim::py {

/// The float protocol with exact floats and ints taken directly, so ordinary
/// operands never allocate a temporary float. False with the conversion's
/// own error set (OverflowError, TypeError, ...).
inline bool number_value(PyObject* o, double& x) {
  if (PyFloat_CheckExact(o)) {
    x = PyFloat_AS_DOUBLE(o);
    return true;
  }
  x = PyLong_CheckExact(o) ? PyLong_AsDouble(o) : PyFloat_AsDouble(o);
  return !(x == -1.0 && PyErr_Occurred());
}

/// Owns one reference (or nullptr) until the end of a scope, unless released.
class Held {
 public:
  explicit Held(PyObject* o) : o_(o) {}
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() { Py_XDECREF(o_); }
  PyObject* get() const { return o_; }
  PyObject* release() { return std::exchange(o_, nullptr); }

 private:
  PyObject* o_;
};

/// After a failed operand conversion: clears an ordinary Exception, so the
/// operator can answer with its own TypeError, False or NotImplemented, and
/// returns true (also when nothing is pending). KeyboardInterrupt,
/// SystemExit and MemoryError are no answer about the operand: they stay
/// pending and the result is false.
inline bool forgive_conversion_error() {
  if (!PyErr_Occurred()) return true;
  if (!PyErr_ExceptionMatches(PyExc_Exception) || PyErr_ExceptionMatches(PyExc_MemoryError)) {
    return false;
  }
  PyErr_Clear();
  return true;
}

// quantity.cpp: construction, basic properties, truth value.
PyObject* quantity_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);
void quantity_dealloc(PyObject* self);
PyObject* quantity_get_magnitude(PyObject* self, void*);
PyObject* quantity_get_units(PyObject* self, void*);
PyObject* quantity_get_registry(PyObject* self, void*);
int quantity_bool(PyObject* self);
/// A new quantity in handle's registry from src: the same magnitude and units,
/// or, with units given, converted into them (offsets included) there.
PyObject* rebind_quantity(PyQuantity* src, std::optional<std::string_view> units,
                          const RegistryHandle& handle);

// quantity_convert.cpp: conversion methods.
PyObject* quantity_to(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* quantity_ito(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* quantity_m_as(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* quantity_to_base_units(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames);
PyObject* quantity_ito_base_units(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames);
PyObject* quantity_to_unprefixed(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames);
PyObject* quantity_ito_unprefixed(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames);
PyObject* quantity_to_compact(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames);
PyObject* quantity_to_preferred(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames);
PyObject* quantity_ito_preferred(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames);

// quantity_text.cpp: text, tuple and pickle forms, copies, hash, numbers.
PyObject* quantity_str(PyObject* self);
PyObject* quantity_repr(PyObject* self);
Py_hash_t quantity_hash(PyObject* self);
PyObject* quantity_float(PyObject* self);
PyObject* quantity_int(PyObject* self);
PyObject* quantity_format(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames);
PyObject* quantity_units_str(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames);
PyObject* quantity_units_dict(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames);
PyObject* quantity_to_tuple(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames);
/// A static method: self is nullptr.
PyObject* quantity_from_tuple(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames);
PyObject* quantity_reduce(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames);
PyObject* quantity_copy(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* quantity_deepcopy(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames);
PyObject* quantity_round(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames);

// quantity_queries.cpp: dimension questions and bridges to other types.
PyObject* quantity_get_dimensionality(PyObject* self, void*);
PyObject* quantity_get_dimensionless(PyObject* self, void*);
PyObject* quantity_check(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames);
PyObject* quantity_compatible_units(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                    PyObject* kwnames);
PyObject* quantity_is_compatible_with(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames);
PyObject* quantity_to_timedelta(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames);
PyObject* quantity_plus_minus(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames);

// quantity_arith.cpp: number slots.
PyObject* quantity_add(PyObject* left, PyObject* right);
PyObject* quantity_subtract(PyObject* left, PyObject* right);
PyObject* quantity_multiply(PyObject* left, PyObject* right);
PyObject* quantity_true_divide(PyObject* left, PyObject* right);
PyObject* quantity_floor_divide(PyObject* left, PyObject* right);
PyObject* quantity_remainder(PyObject* left, PyObject* right);
PyObject* quantity_power(PyObject* base, PyObject* exp, PyObject* mod);
PyObject* quantity_negative(PyObject* self);
PyObject* quantity_absolute(PyObject* self);

// quantity_compare.cpp: comparisons.
PyObject* quantity_richcompare(PyObject* self, PyObject* other, int op);
PyObject* quantity_compare(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames);

}  // namespace qudim::py
