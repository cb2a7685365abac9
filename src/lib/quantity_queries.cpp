// Quantity members that answer dimension questions, and the bridges to
// datetime.timedelta and qudimrs.Measurement.
#include "lib/quantity.hpp"

#include <cmath>     // std::fabs
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "lib/args.hpp"               // bind_args, extract_str, extract_double, conversion_error
#include "lib/compatibility.hpp"      // classify_compat_arg, compatible_units_of
#include "lib/entry.hpp"              // locked
#include "lib/errors_py.hpp"          // raise
#include "lib/objects.hpp"            // PyQuantity, SharedBorrow, make_quantity_with_cache
#include "lib/py_values.hpp"          // str_of, str_list
#include "quantity/quantity_ops.hpp"  // convert_to_text

namespace qudim::py {

namespace {

/// The text of the quantity's dimensionality, filled into the cache the first
/// time. Returns a new reference, or nullptr with the error raised.
PyObject* cached_dimensionality(PyQuantity* q) {
  if (q->dimensionality_cache != nullptr && q->cache_generation == q->registry.generation()) {
    return Py_NewRef(q->dimensionality_cache);
  }
  std::uint32_t generation = 0;
  Result<std::string> text = locked(q->registry, [&](UnitRegistry& reg) -> Result<std::string> {
    generation = q->registry.generation();
    Result<UnitsContainer> dims = reg.get_dimensionality(q->units);
    if (!dims) return dims.take_error();
    return dims->to_string();
  });
  if (!text) return raise(text.error());
  PyObject* s = str_of(*text);
  if (s == nullptr) return nullptr;
  // Making the str may have run a finalizer that filled the cache: a text of
  // the same generation stays (it is the same text).
  if (q->dimensionality_cache != nullptr && q->cache_generation == generation) {
    Py_DECREF(s);
    return Py_NewRef(q->dimensionality_cache);
  }
  Py_XSETREF(q->dimensionality_cache, Py_NewRef(s));
  q->cache_generation = generation;
  return s;
}

/// True for the NumPy boolean scalar types (numpy.bool_, numpy.bool), found
/// by name so that numpy is never imported here. -1 with an error set.
int is_numpy_bool(PyObject* obj) {
  PyTypeObject* type = Py_TYPE(obj);
  PyObject* module = PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__");
  if (module == nullptr) return -1;
  const int from_numpy =
      PyUnicode_Check(module) ? PyUnicode_CompareWithASCIIString(module, "numpy") == 0 : 0;
  Py_DECREF(module);
  if (!from_numpy) return 0;
  PyObject* name = PyType_GetName(type);
  if (name == nullptr) return -1;
  const int match = PyUnicode_CompareWithASCIIString(name, "bool_") == 0 ||
                    PyUnicode_CompareWithASCIIString(name, "bool") == 0;
  Py_DECREF(name);
  return match;
}

/// plus_minus's relative flag: a bool or a NumPy bool scalar, nothing else
/// (an int such as 1 is refused). False with TypeError naming "relative".
bool extract_relative(PyObject* obj, bool& out) {
  out = false;
  if (obj == nullptr) return true;
  if (PyBool_Check(obj)) {
    out = obj == Py_True;
    return true;
  }
  // A type whose name cannot be looked up is no NumPy bool either.
  const int numpy_bool = is_numpy_bool(obj);
  if (numpy_bool < 0 && !forgive_conversion_error()) return false;
  if (numpy_bool <= 0) return conversion_error("relative", obj, "bool");
  const int truth = PyObject_IsTrue(obj);
  if (truth < 0) return argument_error("relative");
  out = truth != 0;
  return true;
}

}  // namespace

PyObject* quantity_get_dimensionality(PyObject* self, void*) {
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return cached_dimensionality(q);
}

PyObject* quantity_get_dimensionless(PyObject* self, void*) {
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  PyObject* text = cached_dimensionality(q);
  if (text == nullptr) return nullptr;
  const int dimensionless = PyUnicode_CompareWithASCIIString(text, "dimensionless") == 0;
  Py_DECREF(text);
  return PyBool_FromLong(dimensionless);
}

namespace {
const char* const kCheckParams[] = {"dimension"};
const Signature kCheckSig{"Quantity.check()", kCheckParams, 1, 1};
}  // namespace

PyObject* quantity_check(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kCheckSig, args, nargs, kwnames, a)) return nullptr;
  std::string_view dimension;
  if (!extract_str(a[0], "dimension", dimension)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  // Computed afresh and compared as text: the argument is never parsed.
  Result<UnitsContainer> dims =
      locked(q->registry, [&](UnitRegistry& reg) { return reg.get_dimensionality(q->units); });
  if (!dims) return raise(dims.error());
  return PyBool_FromLong(dims->to_string() == dimension);
}

namespace {
const Signature kCompatibleUnitsSig{"Quantity.compatible_units()", kNoParams, 0, 0};
}  // namespace

PyObject* quantity_compatible_units(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                    PyObject* kwnames) {
  if (!bind_no_args(kCompatibleUnitsSig, args, nargs, kwnames)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  Result<std::vector<std::string>> names =
      locked(q->registry, [&](UnitRegistry& reg) { return compatible_units_of(reg, q->units); });
  if (!names) return raise(names.error());
  return str_list(*names);
}

namespace {
const char* const kOtherParams[] = {"other"};
const Signature kIsCompatibleSig{"Quantity.is_compatible_with()", kOtherParams, 1, 1};
}  // namespace

PyObject* quantity_is_compatible_with(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames) {
  PyObject* a[1];
  if (!bind_args(kIsCompatibleSig, args, nargs, kwnames, a)) return nullptr;
  CompatArg other;
  if (!classify_compat_arg(a[0], true, other)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  // Another quantity's units are looked up in this quantity's registry.
  Result<bool> answer = locked(
      q->registry, [&](UnitRegistry& reg) { return units_compatible(reg, q->units, other); });
  if (!answer) return raise(answer.error());
  return PyBool_FromLong(*answer);
}

namespace {
const Signature kToTimedeltaSig{"Quantity.to_timedelta()", kNoParams, 0, 0};
}  // namespace

PyObject* quantity_to_timedelta(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
  if (!bind_no_args(kToTimedeltaSig, args, nargs, kwnames)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  Result<double> seconds = locked(q->registry, [&](UnitRegistry& reg) {
    UnitsContainer scratch;
    const UnitsContainer* target = nullptr;
    return convert_to_text(reg, q->magnitude, q->units, "second", scratch, target);
  });
  if (!seconds) return raise(seconds.error());
  // The lock is released before datetime runs: Python code must never run
  // under it.
  PyObject* datetime = PyImport_ImportModule("datetime");
  if (datetime == nullptr) return nullptr;
  PyObject* timedelta = PyObject_GetAttrString(datetime, "timedelta");
  Py_DECREF(datetime);
  if (timedelta == nullptr) return nullptr;
  PyObject* result = PyObject_CallFunction(timedelta, "(id)", 0, *seconds);
  Py_DECREF(timedelta);
  return result;
}

namespace {
const char* const kPlusMinusParams[] = {"error", "relative"};
const Signature kPlusMinusSig{"Quantity.plus_minus()", kPlusMinusParams, 2, 1};
}  // namespace

PyObject* quantity_plus_minus(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  PyObject* a[2];
  if (!bind_args(kPlusMinusSig, args, nargs, kwnames, a)) return nullptr;
  double error;
  if (!extract_double(a[0], "error", error)) return nullptr;
  bool relative;
  if (!extract_relative(a[1], relative)) return nullptr;
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  const double uncertainty = relative ? error * std::fabs(q->magnitude) : error;
  // The copy comes first: should making it throw, nothing else is held yet.
  PyObject* copy = make_quantity_with_cache(q->magnitude, q->units, q->registry,
                                            q->dimensionality_cache, q->cache_generation);
  if (copy == nullptr) return nullptr;
  PyObject* package = PyImport_ImportModule("qudimrs");
  PyObject* measurement =
      package != nullptr ? PyObject_GetAttrString(package, "Measurement") : nullptr;
  Py_XDECREF(package);
  PyObject* amount = measurement != nullptr ? PyFloat_FromDouble(uncertainty) : nullptr;
  PyObject* argv[2] = {copy, amount};
  PyObject* result =
      amount != nullptr ? PyObject_Vectorcall(measurement, argv, 2, nullptr) : nullptr;
  Py_XDECREF(amount);
  Py_XDECREF(measurement);
  Py_DECREF(copy);
  return result;
}

}  // namespace qudim::py
