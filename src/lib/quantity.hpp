// The Quantity class: every member function, grouped by the file that
// defines it. quantity.cpp assembles them into the type.
#pragma once

#include "lib/py.hpp"

#include <optional>     // std::optional
#include <string_view>  // std::string_view
#include <utility>      // std::exchange

#include "lib/args.hpp"               // Signature, bind_no_args
#include "lib/objects.hpp"            // PyQuantity, RegistryHandle, borrows
#include "quantity/quantity_ops.hpp"  // QuantityValue

namespace qudim::py {

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
using QuantityOp = Result<QuantityValue> (*)(UnitRegistry&, double, const UnitsContainer&);
/// op on q's record under its registry lock: a new quantity, or q changed in
/// place only if op succeeds. The caller holds the matching borrow.
PyObject* converted(PyQuantity* q, QuantityOp op);
PyObject* converted_in_place(PyQuantity* q, QuantityOp op);

/// A conversion without arguments, to a new quantity or in place. One op may
/// serve several method names (to_base_units, to_root_units, to_reduced_units);
/// sig is the called method's own, so argument errors name that method.
template <const Signature& sig, QuantityOp op>
PyObject* quantity_convert(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
  if (!bind_no_args(sig, args, nargs, kwnames)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return converted(q, op);
}

template <const Signature& sig, QuantityOp op>
PyObject* quantity_convert_in_place(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                    PyObject* kwnames) {
  PyQuantity* q = as_quantity(self);
  ExclusiveBorrow b(q);
  if (!b.ok()) return nullptr;
  if (!bind_no_args(sig, args, nargs, kwnames)) return nullptr;
  return converted_in_place(q, op);
}
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
/// The unit item list of q's record.
PyObject* quantity_unit_items(PyQuantity* q);
/// _units_dict and unit_items, one method under two names (sig is the called one's).
template <const Signature& sig>
PyObject* quantity_units_dict(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  if (!bind_no_args(sig, args, nargs, kwnames)) return nullptr;
  return quantity_unit_items(as_quantity(self));
}
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
