// Quantity text, tuple and pickle forms, copies, hash, rounding, and the
// conversions to Python numbers.
#include "lib/quantity.hpp"

#include <bit>          // std::bit_cast
#include <cmath>        // std::fabs, std::round, std::isinf, std::copysign
#include <cstdint>      // INT32_MIN, INT32_MAX, uint64_t
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "lib/args.hpp"       // bind_args, extract_*, conversion_error
#include "lib/errors_py.hpp"  // raise, dimensionality_error
#include "lib/objects.hpp"    // PyQuantity, make_*, borrows, fresh_registry
#include "lib/py_values.hpp"  // unit_items
#include "number_text.hpp"    // plain_decimal, fixed_nine
#include "siphash.hpp"        // siphash13

namespace qudim::py {

namespace {

PyObject* str_of(const std::string& s) {
  return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}

/// The registry's text for q's units (taken under, and released from, the lock).
std::string unit_text(PyQuantity* q) {
  RegistryLock lock(q->registry);
  return lock->format_units(q->units);
}

/// The value of a dimensionless quantity as a plain number; false with
/// DimensionalityError (or the core's error) raised otherwise.
bool plain_value(PyQuantity* q, double& out) {
  RegistryLock lock(q->registry);
  Result<UnitsContainer> dims = lock->get_dimensionality(q->units);
  if (!dims) {
    lock.unlock();
    raise(dims.error());
    return false;
  }
  if (!dims->empty()) {
    const std::string text = dims->to_string();
    lock.unlock();
    raise(dimensionality_error(), "Cannot convert Quantity with dimensionality " + text + " to float");
    return false;
  }
  Result<double> factor = lock->get_conversion_factor(q->units, UnitsContainer());
  lock.unlock();
  if (!factor) {
    raise(factor.error());
    return false;
  }
  out = *factor * q->magnitude;
  return true;
}

/// 10 raised to n by repeated multiplication (the reciprocal for n < 0).
/// Stops once the power overflows, where further factors change nothing.
double power_of_ten(long long n) {
  double p = 1.0;
  const long long count = n < 0 ? -n : n;
  for (long long i = 0; i < count && !std::isinf(p); ++i) p *= 10.0;
  return n < 0 ? 1.0 / p : p;
}

bool wrong_tuple_length(Py_ssize_t got) {
  PyErr_Format(PyExc_TypeError, "argument 'tup': expected tuple of length 2, but got tuple of length %zd", got);
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


#define BORROW(q)         \
  SharedBorrow borrow(q); \
  if (!borrow.ok()) return nullptr

const char* const no_names[] = {nullptr};
const char* const format_names[] = {"spec"};
const char* const tup_names[] = {"tup"};
const char* const memo_names[] = {"_memo"};
const char* const round_names[] = {"ndigits"};

const Signature format_sig{"Quantity.__format__()", format_names, 1, 1};
const Signature units_str_sig{"Quantity._units_str()", no_names, 0, 0};
const Signature units_dict_sig{"Quantity._units_dict()", no_names, 0, 0};
const Signature to_tuple_sig{"Quantity.to_tuple()", no_names, 0, 0};
const Signature from_tuple_sig{"Quantity.from_tuple()", tup_names, 1, 1};
const Signature reduce_sig{"Quantity.__reduce__()", no_names, 0, 0};
const Signature copy_sig{"Quantity.__copy__()", no_names, 0, 0};
const Signature deepcopy_sig{"Quantity.__deepcopy__()", memo_names, 1, 1};
const Signature round_sig{"Quantity.__round__()", round_names, 1, 0};

}  // namespace

PyObject* quantity_str(PyObject* self) {
  try {
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    return str_of(plain_decimal(q->magnitude) + " " + unit_text(q));
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* quantity_repr(PyObject* self) {
  try {
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    const double m = q->magnitude;
    // Whole numbers print bare; anything else (NaN and infinities included)
    // shows nine decimals, so a value just off a whole number is visible.
    const bool whole = std::fabs(m) < 1e15 && std::fabs(m - std::round(m)) < EPSILON;
    const std::string number = whole ? plain_decimal(m) : fixed_nine(m);
    return str_of("<Quantity(" + number + ", '" + unit_text(q) + "')>");
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_format) {
  try {
    QUDIM_BIND(format_sig, a, 1);
    std::string_view fmt;
    if (!extract_str(a[0], "spec", fmt)) return nullptr;
    PyQuantity* q = as_quantity(self);
    BORROW(q);
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
    PyObject* text = PyUnicode_FromFormat("%U %s", number, units.c_str());
    Py_DECREF(number);
    return text;
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_units_str) {
  try {
    QUDIM_BIND_NONE(units_str_sig);
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    return str_of(unit_text(q));
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_units_dict) {
  try {
    QUDIM_BIND_NONE(units_dict_sig);
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    return unit_items(q->units);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_to_tuple) {
  try {
    QUDIM_BIND_NONE(to_tuple_sig);
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    PyObject* items = unit_items(q->units);
    if (items == nullptr) return nullptr;
    return Py_BuildValue("(dN)", q->magnitude, items);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_from_tuple) {
  (void)self;
  try {
    QUDIM_BIND(from_tuple_sig, a, 1);
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
    std::optional<RegistryHandle> handle = fresh_registry();
    if (!handle) return nullptr;
    return make_quantity(magnitude, std::move(units), *handle);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_reduce) {
  try {
    QUDIM_BIND_NONE(reduce_sig);
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    // Unpickling calls Quantity(magnitude, text): a fresh default registry
    // parses the text back.
    const std::string units = unit_text(q);
    // Packed directly: walking a Py_BuildValue format costs as much again.
    PyObject* magnitude = PyFloat_FromDouble(q->magnitude);
    PyObject* text = magnitude != nullptr ? str_of(units) : nullptr;
    PyObject* args = text != nullptr ? PyTuple_Pack(2, magnitude, text) : nullptr;
    Py_XDECREF(magnitude);
    Py_XDECREF(text);
    if (args == nullptr) return nullptr;
    PyObject* reduced = PyTuple_Pack(2, reinterpret_cast<PyObject*>(QuantityType), args);
    Py_DECREF(args);
    return reduced;
  } catch (...) {
    return raise_from_current_exception();
  }
}

namespace {

/// Copies share the registry (never copied) and keep the cached text.
PyObject* copy_of(PyQuantity* q) {
  return make_quantity_with_cache(q->magnitude, q->units, q->registry, q->dimensionality_cache,
                                  q->cache_generation);
}

}  // namespace

QUDIM_FASTCALL(quantity_copy) {
  try {
    QUDIM_BIND_NONE(copy_sig);
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    return copy_of(q);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_deepcopy) {
  try {
    QUDIM_BIND(deepcopy_sig, a, 1);
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    return copy_of(q);
  } catch (...) {
    return raise_from_current_exception();
  }
}

Py_hash_t quantity_hash(PyObject* self) {
  try {
    PyQuantity* q = as_quantity(self);
    SharedBorrow borrow(q);
    if (!borrow.ok()) return -1;
    RegistryLock lock(q->registry);
    auto roots = lock->get_root_units(q->units);
    if (!roots) {
      lock.unlock();
      raise(roots.error());
      return -1;
    }
    Result<UnitsContainer> dims = lock->get_dimensionality(roots->second);
    lock.unlock();
    if (!dims) {
      raise(dims.error());
      return -1;
    }
    const double base = roots->first * q->magnitude;
    // A dimensionless quantity equals the number float(q) (the same product
    // of factors as base), so it must hash like that float.
    if (dims->empty()) return _Py_HashDouble(self, base);

    // Each root unit contributes through XOR, so their order does not matter.
    // -0.0 equals 0.0, so both hash from the bits of +0.0.
    std::uint64_t h = std::bit_cast<std::uint64_t>(base == 0.0 ? 0.0 : base);
    std::string feed;
    for (const UnitsContainer::Entry& e : roots->second) {
      feed.assign(e.name);
      feed.push_back('\xFF');
      const std::uint64_t bits = std::bit_cast<std::uint64_t>(e.exponent);
      for (int i = 0; i < 8; ++i) feed.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
      h ^= siphash13(feed.data(), feed.size());
    }
    const auto result = static_cast<Py_hash_t>(h);
    return result == -1 ? -2 : result;
  } catch (...) {
    raise_from_current_exception();
    return -1;
  }
}

QUDIM_FASTCALL(quantity_round) {
  try {
    QUDIM_BIND(round_sig, a, 1);
    double scale = 1.0;
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
      scale = power_of_ten(n);
    }
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    // std::round takes halves away from zero: 2.5 -> 3, -2.5 -> -3.
    const double m = q->magnitude;
    const double scaled = m * scale;
    double magnitude = std::round(scaled) / scale;
    // Where the scaling itself overflows (a huge ndigits, or a huge magnitude)
    // the double has no digits left to round away, so it stays as it is; an
    // underflowing scale (a hugely negative ndigits) rounds everything to zero.
    if (std::isfinite(m)) {
      if (scale == 0.0) {
        magnitude = std::copysign(0.0, m);
      } else if (!std::isfinite(scaled)) {
        magnitude = m;
      }
    }
    return make_quantity(magnitude, q->units, q->registry);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* quantity_float(PyObject* self) {
  try {
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    double value;
    if (!plain_value(q, value)) return nullptr;
    return PyFloat_FromDouble(value);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* quantity_int(PyObject* self) {
  try {
    PyQuantity* q = as_quantity(self);
    BORROW(q);
    double value;
    if (!plain_value(q, value)) return nullptr;
    // As int(float): exact for big values; NaN and infinities raise.
    return PyLong_FromDouble(value);
  } catch (...) {
    return raise_from_current_exception();
  }
}

}  // namespace qudim::py
