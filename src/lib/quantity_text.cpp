// Quantity text, tuple and pickle forms, copies, hash, rounding, and the
// conversions to Python numbers.
#include "lib/quantity.hpp"

#include <cmath>        // std::fabs, std::round, std::isnan
#include <cstdint>      // INT32_MIN, INT32_MAX, uintptr_t
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "lib/args.hpp"               // bind_args, extract_*, conversion_error
#include "lib/entry.hpp"              // locked
#include "lib/errors_py.hpp"          // raise, dimensionality_error
#include "lib/objects.hpp"            // PyQuantity, make_*, borrows
#include "lib/py_values.hpp"          // str_of, unit_items
#include "number_text.hpp"            // plain_decimal, fixed_nine
#include "quantity/quantity_ops.hpp"  // plain_number, round_magnitude, hash_quantity

namespace qudim::py {

namespace {

/// The registry's text for q's units.
std::string unit_text(PyQuantity* q) {
  return locked(q->registry, [&](UnitRegistry& reg) { return reg.format_units(q->units); });
}

/// The value of a dimensionless quantity as a plain number; nullopt with
/// DimensionalityError (or the core's error) raised otherwise.
std::optional<double> plain_value(PyQuantity* q) {
  Result<PlainNumber> r = locked(
      q->registry, [&](UnitRegistry& reg) { return plain_number(reg, q->magnitude, q->units); });
  if (!r) {
    raise(r.error());
    return std::nullopt;
  }
  if (r->refused) {
    raise(dimensionality_error(),
          "Cannot convert Quantity with dimensionality " + r->refused->to_string() + " to float");
    return std::nullopt;
  }
  return r->value;
}

/// hash(x) of the float x, for a dimensionless quantity self. The
/// interpreter exports no hash of a double (only a private one), so the
/// core computes the same value; a NaN hashes by identity, as a NaN float
/// does (here the quantity's identity).
Py_hash_t number_hash(PyObject* self, double x) {
  if (!std::isnan(x)) return static_cast<Py_hash_t>(hash_double(x));
#if PY_VERSION_HEX >= 0x030D0000
  return Py_HashPointer(self);
#else
  return static_cast<Py_hash_t>(hash_pointer(reinterpret_cast<std::uintptr_t>(self)));
#endif
}

bool wrong_tuple_length(Py_ssize_t got) {
  PyErr_Format(PyExc_TypeError,
               "argument 'tup': expected tuple of length 2, but got tuple of length %zd", got);
  return false;
}

/// One (name, exponent) pair of from_tuple's unit list, added to units.
bool add_unit_item(PyObject* item, UnitsContainer& units) {
  if (!PyTuple_Check(item)) return conversion_error("tup", item, "tuple");
  if (PyTuple_GET_SIZE(item) != 2) return wrong_tuple_length(PyTuple_GET_SIZE(item));
  std::string_view name;
  if (!extract_str(PyTuple_GET_ITEM(item, 0), "tup", name)) return false;
  const std::string kept(name);  // the float conversion below may run Python code
  double exponent;
  if (!extract_double(PyTuple_GET_ITEM(item, 1), "tup", exponent)) return false;
  units.add_in_place(kept, exponent);
  return true;
}

/// from_tuple's unit list: a non-str sequence of (str, float) pairs.
bool extract_unit_items(PyObject* obj, UnitsContainer& units) {
  if (PyUnicode_Check(obj)) {
    PyErr_SetString(PyExc_TypeError, "argument 'tup': Can't extract `str` to `Vec`");
    return false;
  }
  if (!PySequence_Check(obj)) return conversion_error("tup", obj, "Sequence");
  PyObject* iter = PyObject_GetIter(obj);
  if (iter == nullptr) return argument_error("tup");
  PyObject* item;
  while ((item = PyIter_Next(iter)) != nullptr) {
    const bool ok = add_unit_item(item, units);
    Py_DECREF(item);
    if (!ok) {
      Py_DECREF(iter);
      return false;
    }
  }
  Py_DECREF(iter);
  return !PyErr_Occurred() || argument_error("tup");
}

const char* const kFormatParams[] = {"spec"};
const char* const kTupParams[] = {"tup"};
const char* const kMemoParams[] = {"_memo"};
const char* const kRoundParams[] = {"ndigits"};

const Signature kFormatSig{"Quantity.__format__()", kFormatParams, 1, 1};
const Signature kUnitsStrSig{"Quantity._units_str()", kNoParams, 0, 0};
const Signature kToTupleSig{"Quantity.to_tuple()", kNoParams, 0, 0};
const Signature kFromTupleSig{"Quantity.from_tuple()", kTupParams, 1, 1};
const Signature kReduceSig{"Quantity.__reduce__()", kNoParams, 0, 0};
const Signature kCopySig{"Quantity.__copy__()", kNoParams, 0, 0};
const Signature kDeepcopySig{"Quantity.__deepcopy__()", kMemoParams, 1, 1};
const Signature kRoundSig{"Quantity.__round__()", kRoundParams, 1, 0};

}  // namespace

PyObject* quantity_str(PyObject* self) {
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return str_of(plain_decimal(q->magnitude) + " " + unit_text(q));
}

PyObject* quantity_repr(PyObject* self) {
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  const double m = q->magnitude;
  // Whole numbers print bare; anything else (NaN and infinities included)
  // shows nine decimals, so a value just off a whole number is visible.
  const bool whole = std::fabs(m) < 1e15 && std::fabs(m - std::round(m)) < EPSILON;
  const std::string number = whole ? plain_decimal(m) : fixed_nine(m);
  return str_of("<Quantity(" + number + ", '" + unit_text(q) + "')>");
}

PyObject* quantity_format(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kFormatSig, args, nargs, kwnames, a)) return nullptr;
  std::string_view fmt;
  if (!extract_str(a[0], "spec", fmt)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  const std::string units = unit_text(q);
  const std::string plain = plain_decimal(q->magnitude) + " " + units;
  if (fmt.empty()) return str_of(plain);
  // A format that floats accept (".2f", "10.3e") shapes the number;
  // anything else (a unit-style format such as "~P") leaves the plain text.
  PyObject* magnitude = PyFloat_FromDouble(q->magnitude);
  if (magnitude == nullptr) return nullptr;
  PyObject* number = PyObject_Format(magnitude, a[0]);
  Py_DECREF(magnitude);
  if (number == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_ValueError)) return nullptr;
    PyErr_Clear();
    return str_of(plain);
  }
  // Sized text: a unit name may hold a NUL.
  PyObject* tail = str_of(" " + units);
  PyObject* text = tail != nullptr ? PyUnicode_Concat(number, tail) : nullptr;
  Py_DECREF(number);
  Py_XDECREF(tail);
  return text;
}

PyObject* quantity_units_str(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
  if (!bind_no_args(kUnitsStrSig, args, nargs, kwnames)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return str_of(unit_text(q));
}

PyObject* quantity_unit_items(PyQuantity* q) {
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return unit_items(q->units);
}

PyObject* quantity_to_tuple(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
  if (!bind_no_args(kToTupleSig, args, nargs, kwnames)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  PyObject* items = unit_items(q->units);
  if (items == nullptr) return nullptr;
  return Py_BuildValue("(dN)", q->magnitude, items);
}

PyObject* quantity_from_tuple(PyObject* /*self*/, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kFromTupleSig, args, nargs, kwnames, a)) return nullptr;
  PyObject* tup = a[0];
  if (!PyTuple_Check(tup)) {
    conversion_error("tup", tup, "tuple");
    return nullptr;
  }
  if (PyTuple_GET_SIZE(tup) != 2) {
    wrong_tuple_length(PyTuple_GET_SIZE(tup));
    return nullptr;
  }
  double magnitude;
  if (!extract_double(PyTuple_GET_ITEM(tup, 0), "tup", magnitude)) return nullptr;
  // Names are summed as given and not checked: an unknown one fails only
  // when the quantity is used.
  UnitsContainer units;
  if (!extract_unit_items(PyTuple_GET_ITEM(tup, 1), units)) return nullptr;
  return make_quantity(magnitude, std::move(units), RegistryHandle::fresh());
}

PyObject* quantity_reduce(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
  if (!bind_no_args(kReduceSig, args, nargs, kwnames)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  // Unpickling calls Quantity(magnitude, text): a fresh default registry
  // parses the text back.
  const std::string units = unit_text(q);
  // Packed directly: walking a Py_BuildValue format costs as much again.
  PyObject* magnitude = PyFloat_FromDouble(q->magnitude);
  PyObject* text = magnitude != nullptr ? str_of(units) : nullptr;
  PyObject* call_args = text != nullptr ? PyTuple_Pack(2, magnitude, text) : nullptr;
  Py_XDECREF(magnitude);
  Py_XDECREF(text);
  if (call_args == nullptr) return nullptr;
  PyObject* reduced = PyTuple_Pack(2, reinterpret_cast<PyObject*>(QuantityType), call_args);
  Py_DECREF(call_args);
  return reduced;
}

namespace {

/// Copies share the registry (never copied) and keep the cached text.
PyObject* copy_of(PyQuantity* q) {
  return make_quantity_with_cache(q->magnitude, q->units, q->registry, q->dimensionality_cache,
                                  q->cache_generation);
}

}  // namespace

PyObject* quantity_copy(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames) {
  if (!bind_no_args(kCopySig, args, nargs, kwnames)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return copy_of(q);
}

PyObject* quantity_deepcopy(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kDeepcopySig, args, nargs, kwnames, a)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return copy_of(q);
}

Py_hash_t quantity_hash(PyObject* self) {
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return -1;
  Result<QuantityHash> h = locked(
      q->registry, [&](UnitRegistry& reg) { return hash_quantity(reg, q->magnitude, q->units); });
  if (!h) {
    raise(h.error());
    return -1;
  }
  return h->hash ? static_cast<Py_hash_t>(*h->hash) : number_hash(self, h->base);
}

PyObject* quantity_round(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kRoundSig, args, nargs, kwnames, a)) return nullptr;
  std::optional<std::int32_t> ndigits;
  if (a[0] != nullptr && a[0] != Py_None) {
    const long long n = PyLong_AsLongLong(a[0]);
    if (n == -1 && PyErr_Occurred()) {
      argument_error("ndigits");
      return nullptr;
    }
    if (n < INT32_MIN || n > INT32_MAX) {
      PyErr_SetString(PyExc_OverflowError, "Python int too large to convert to C int");
      return nullptr;
    }
    ndigits = static_cast<std::int32_t>(n);
  }
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return make_quantity(round_magnitude(q->magnitude, ndigits), q->units, q->registry);
}

PyObject* quantity_float(PyObject* self) {
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  const std::optional<double> value = plain_value(q);
  return value ? PyFloat_FromDouble(*value) : nullptr;
}

PyObject* quantity_int(PyObject* self) {
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  // As int(float): exact for big values; NaN and infinities raise.
  const std::optional<double> value = plain_value(q);
  return value ? PyLong_FromDouble(*value) : nullptr;
}

}  // namespace qudim::py
