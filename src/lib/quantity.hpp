// The Quantity class: every member function, grouped by the file that
// defines it. quantity.cpp assembles them into the type.
#pragma once

#include "lib/py.hpp"

#include <optional>     // std::optional
#include <string_view>  // std::string_view

#include "lib/objects.hpp"  // PyQuantity, RegistryHandle

namespace qudim::py {

#define QUDIM_FASTCALL(name) PyObject* name(QUDIM_FASTCALL_PARAMS)

// quantity.cpp: construction, basic properties, truth value.
PyObject* quantity_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);
void quantity_dealloc(PyObject* self);
PyObject* quantity_get_magnitude(PyObject* self, void*);
PyObject* quantity_get_units(PyObject* self, void*);
PyObject* quantity_get_registry(PyObject* self, void*);
int quantity_bool(PyObject* self);
/// A new quantity in handle's registry from src: the same magnitude and units,
/// or, with units given, converted into them (offsets included) there.
PyObject* rebind_quantity(PyQuantity* src, std::optional<std::string_view> units, const RegistryHandle& handle);

// quantity_convert.cpp: conversion methods.
QUDIM_FASTCALL(quantity_to);
QUDIM_FASTCALL(quantity_ito);
QUDIM_FASTCALL(quantity_m_as);
QUDIM_FASTCALL(quantity_to_base_units);
QUDIM_FASTCALL(quantity_ito_base_units);
QUDIM_FASTCALL(quantity_to_unprefixed);
QUDIM_FASTCALL(quantity_ito_unprefixed);
QUDIM_FASTCALL(quantity_to_compact);
QUDIM_FASTCALL(quantity_to_preferred);
QUDIM_FASTCALL(quantity_ito_preferred);

// quantity_text.cpp: text, tuple and pickle forms, copies, hash, numbers.
PyObject* quantity_str(PyObject* self);
PyObject* quantity_repr(PyObject* self);
Py_hash_t quantity_hash(PyObject* self);
PyObject* quantity_float(PyObject* self);
PyObject* quantity_int(PyObject* self);
QUDIM_FASTCALL(quantity_format);
QUDIM_FASTCALL(quantity_units_str);
QUDIM_FASTCALL(quantity_units_dict);
QUDIM_FASTCALL(quantity_to_tuple);
QUDIM_FASTCALL(quantity_from_tuple);  // static method: self is nullptr
QUDIM_FASTCALL(quantity_reduce);
QUDIM_FASTCALL(quantity_copy);
QUDIM_FASTCALL(quantity_deepcopy);
QUDIM_FASTCALL(quantity_round);

// quantity_queries.cpp: dimension questions and bridges to other types.
PyObject* quantity_get_dimensionality(PyObject* self, void*);
PyObject* quantity_get_dimensionless(PyObject* self, void*);
QUDIM_FASTCALL(quantity_check);
QUDIM_FASTCALL(quantity_compatible_units);
QUDIM_FASTCALL(quantity_is_compatible_with);
QUDIM_FASTCALL(quantity_to_timedelta);
QUDIM_FASTCALL(quantity_plus_minus);

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
QUDIM_FASTCALL(quantity_compare);

}  // namespace qudim::py
