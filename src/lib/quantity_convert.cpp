// Quantity conversion methods: to named units, compact prefixes and preferred
// units, and the conversions the methods without arguments share; each also in
// place.
#include "lib/quantity.hpp"

#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "lib/args.hpp"               // bind_args, extract_*
#include "lib/entry.hpp"              // locked
#include "lib/errors_py.hpp"          // raise
#include "lib/objects.hpp"            // PyQuantity, make_quantity, borrows
#include "quantity/quantity_ops.hpp"  // to_units, to_base, to_compact, ...

namespace qudim::py {

namespace {

/// Runs op on q's record under its registry lock, then makes the result.
/// The caller holds the borrow.
template <class Op>
PyObject* new_quantity(PyQuantity* q, Op op) {
  Result<QuantityValue> r =
      locked(q->registry, [&](UnitRegistry& reg) { return op(reg, q->magnitude, q->units); });
  if (!r) return raise(r.error());
  return make_quantity(r->magnitude, std::move(r->units), q->registry);
}

/// Runs op under the lock and stores its result into q only if it succeeded,
/// so a failing in-place conversion leaves q as it was. The caller holds the
/// exclusive borrow.
template <class Op>
PyObject* in_place(PyQuantity* q, Op op) {
  Result<QuantityValue> r =
      locked(q->registry, [&](UnitRegistry& reg) { return op(reg, q->magnitude, q->units); });
  if (!r) return raise(r.error());
  q->magnitude = r->magnitude;
  q->units = std::move(r->units);
  Py_RETURN_NONE;
}

/// preferred_units: None (nullopt vector -> empty) or a sequence of str,
/// copied out before the lock is taken, since iterating runs Python code.
bool extract_preferred(PyObject* obj, std::vector<std::string>& out) {
  static const char* const name = "preferred_units";
  if (obj == nullptr || obj == Py_None) return true;
  if (PyUnicode_Check(obj)) {
    PyErr_SetString(PyExc_TypeError, "argument 'preferred_units': Can't extract `str` to `Vec`");
    return false;
  }
  if (!PySequence_Check(obj)) return conversion_error(name, obj, "Sequence");
  PyObject* iter = PyObject_GetIter(obj);
  if (iter == nullptr) return argument_error(name);
  PyObject* item;
  while ((item = PyIter_Next(iter)) != nullptr) {
    if (!PyUnicode_Check(item)) {
      Py_DECREF(item);
      Py_DECREF(iter);
      PyErr_SetString(PyExc_TypeError, "argument 'preferred_units': Can't extract `str` to `Vec`");
      return false;
    }
    Py_ssize_t len = 0;
    const char* data = PyUnicode_AsUTF8AndSize(item, &len);
    if (data != nullptr) out.emplace_back(data, static_cast<std::size_t>(len));
    Py_DECREF(item);
    if (data == nullptr) {
      Py_DECREF(iter);
      return false;
    }
  }
  Py_DECREF(iter);
  return !PyErr_Occurred() || argument_error(name);
}

const char* const kToParams[] = {"units"};
const Signature kToSig{"Quantity.to()", kToParams, 1, 1};
const Signature kItoSig{"Quantity.ito()", kToParams, 1, 1};
const Signature kMAsSig{"Quantity.m_as()", kToParams, 1, 1};

const char* const kCompactParams[] = {"unit"};
const Signature kToCompactSig{"Quantity.to_compact()", kCompactParams, 1, 0};

const char* const kPreferredParams[] = {"preferred_units"};
const Signature kToPreferredSig{"Quantity.to_preferred()", kPreferredParams, 1, 0};
const Signature kItoPreferredSig{"Quantity.ito_preferred()", kPreferredParams, 1, 0};

}  // namespace

PyObject* quantity_to(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kToSig, args, nargs, kwnames, a)) return nullptr;
  std::string_view units;
  if (!extract_str(a[0], "units", units)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  // The result is made first, so the target units go from the memo
  // straight into it under the lock.
  PendingQuantity result(0.0, q->registry);
  if (!result.ok()) return nullptr;
  Result<double> value = locked(q->registry, [&](UnitRegistry& reg) {
    UnitsContainer scratch;
    const UnitsContainer* target = nullptr;
    Result<double> v = convert_to_text(reg, q->magnitude, q->units, units, scratch, target);
    if (v) result.set_units(*target);
    return v;
  });
  if (!value) return raise(value.error());
  result->magnitude = *value;
  return result.take();
}

PyObject* quantity_ito(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyQuantity* q = as_quantity(self);
  ExclusiveBorrow b(q);
  if (!b.ok()) return nullptr;
  PyObject* a[1];
  if (!bind_args(kItoSig, args, nargs, kwnames, a)) return nullptr;
  std::string_view units;
  if (!extract_str(a[0], "units", units)) return nullptr;
  return in_place(q, [&](UnitRegistry& r, double m, const UnitsContainer& u) {
    return to_units(r, m, u, units);
  });
}

PyObject* quantity_m_as(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kMAsSig, args, nargs, kwnames, a)) return nullptr;
  std::string_view units;
  if (!extract_str(a[0], "units", units)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  Result<double> value = locked(q->registry, [&](UnitRegistry& reg) {
    UnitsContainer scratch;
    const UnitsContainer* target = nullptr;
    return convert_to_text(reg, q->magnitude, q->units, units, scratch, target);
  });
  if (!value) return raise(value.error());
  return PyFloat_FromDouble(*value);
}

PyObject* converted(PyQuantity* q, QuantityOp op) { return new_quantity(q, op); }

PyObject* converted_in_place(PyQuantity* q, QuantityOp op) { return in_place(q, op); }

PyObject* quantity_to_compact(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kToCompactSig, args, nargs, kwnames, a)) return nullptr;
  std::optional<std::string_view> unit;
  if (!extract_optional_str(a[0], "unit", unit)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return new_quantity(q, [&](UnitRegistry& r, double m, const UnitsContainer& u) {
    return to_compact(r, m, u, unit);
  });
}

PyObject* quantity_to_preferred(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kToPreferredSig, args, nargs, kwnames, a)) return nullptr;
  std::vector<std::string> texts;
  if (!extract_preferred(a[0], texts)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return new_quantity(q, [&](UnitRegistry& r, double m, const UnitsContainer& u) {
    return to_preferred(r, m, u, texts);
  });
}

PyObject* quantity_ito_preferred(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames) {
  PyQuantity* q = as_quantity(self);
  ExclusiveBorrow b(q);
  if (!b.ok()) return nullptr;
  PyObject* a[1];
  if (!bind_args(kItoPreferredSig, args, nargs, kwnames, a)) return nullptr;
  std::vector<std::string> texts;
  if (!extract_preferred(a[0], texts)) return nullptr;
  return in_place(q, [&](UnitRegistry& r, double m, const UnitsContainer& u) {
    return to_preferred(r, m, u, texts);
  });
}

}  // namespace qudim::py
