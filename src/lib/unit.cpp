// The Unit class: a unit map bound to a registry, with its text forms, hash,
// equality, algebra (*, /, **), queries and conversion of quantities into it.
#include "lib/py.hpp"

#include <cstdint>   // uint32_t, uint64_t, int64_t
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "lib/args.hpp"           // bind_args, extract_str, argument_error
#include "lib/compatibility.hpp"  // classify_compat_arg, units_compatible
#include "lib/errors_py.hpp"      // raise
#include "lib/objects.hpp"        // PyUnit, make_unit, make_quantity, extract_quantity
#include "lib/py_values.hpp"      // str_of, str_list, unit_items
#include "siphash.hpp"            // siphash13

namespace qudim::py {

namespace {


PyUnit* unit_of(PyObject* self) { return as_unit(self); }

const char* const kNoParams[] = {nullptr};

/// The registry's display text of self's units.
std::string formatted(PyObject* self) {
  PyUnit* u = unit_of(self);
  RegistryLock lock(u->registry);
  return lock->format_units(u->units);
}

/// Converts a number operand through the float protocol. Any ordinary
/// failure (no conversion, a dimensioned Quantity's refusal, an overflow) is
/// cleared so the caller can answer with its own error or NotImplemented.
std::optional<double> number_operand(PyObject* obj) {
  const double x = PyFloat_AsDouble(obj);
  if (x == -1.0 && PyErr_Occurred()) {
    // Interrupts and memory exhaustion stay pending: they are not answers
    // about the operand's type.
    const bool keep =
        !PyErr_ExceptionMatches(PyExc_Exception) || PyErr_ExceptionMatches(PyExc_MemoryError);
    if (!keep) PyErr_Clear();
    return std::nullopt;
  }
  return x;
}

// ---- construction, text, hash ----

const char* const kNewParams[] = {"units"};
const Signature kNewSig{"Unit.__new__()", kNewParams, 1, 1};

PyObject* unit_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  try {
    PyObject* a[1];
    if (!bind_args(kNewSig, args, kwargs, a)) return nullptr;
    std::string_view text;
    if (!extract_str(a[0], "units", text)) return nullptr;
    std::optional<RegistryHandle> handle = fresh_registry();
    if (!handle) return nullptr;
    RegistryLock lock(*handle);
    Result<UnitsContainer> parsed = lock->parse_unit_expr(text);
    lock.unlock();
    if (!parsed) return raise(parsed.error());
    return make_unit(std::move(*parsed), *handle);
  } catch (...) {
    return raise_from_current_exception();
  }
}

void unit_dealloc(PyObject* self) {
  PyUnit* u = unit_of(self);
  u->units.~UnitsContainer();
  u->registry.~RegistryHandle();
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* unit_str(PyObject* self) {
  try {
    return str_of(formatted(self));
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* unit_repr(PyObject* self) {
  try {
    return str_of("<Unit('" + formatted(self) + "')>");
  } catch (...) {
    return raise_from_current_exception();
  }
}

Py_hash_t unit_hash(PyObject* self) {
  try {
    std::string feed;
    unit_of(self)->units.append_hash_feed(feed);
    const auto h = static_cast<Py_hash_t>(static_cast<std::int64_t>(siphash13(feed.data(), feed.size())));
    return h == -1 ? -2 : h;  // -1 signals an error to the interpreter
  } catch (...) {
    raise_from_current_exception();
    return -1;
  }
}

// ---- comparison ----

/// Unit equality: unit maps equal within EPSILON, registries ignored.
bool units_equal(PyObject* self, PyObject* other) {
  return is_unit(other) && unit_of(self)->units == unit_of(other)->units;
}

PyObject* unit_richcompare(PyObject* self, PyObject* other, int op) {
  switch (op) {
    case Py_EQ:
      return PyBool_FromLong(units_equal(self, other));
    case Py_NE: {
      // The full comparison, so the other operand's own __eq__ takes part.
      PyObject* eq = PyObject_RichCompare(self, other, Py_EQ);
      if (eq == nullptr) return nullptr;
      const int truth = PyObject_IsTrue(eq);
      Py_DECREF(eq);
      if (truth < 0) return nullptr;
      return PyBool_FromLong(!truth);
    }
    default:
      Py_RETURN_NOTIMPLEMENTED;
  }
}

const char* const kCompareParams[] = {"other", "op"};
const Signature kCompareSig{"Unit.compare()", kCompareParams, 2, 2};

PyObject* unit_compare(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(kCompareSig, a, 2);
    std::string_view op;
    if (!extract_str(a[1], "op", op)) return nullptr;
    if (op == "eq" || op == "==") return PyBool_FromLong(units_equal(self, a[0]));
    if (op == "ne" || op == "!=") return PyBool_FromLong(!units_equal(self, a[0]));
    return raise(PyExc_ValueError, "Unknown operator: " + std::string(op));
  } catch (...) {
    return raise_from_current_exception();
  }
}

// ---- algebra (never touches the registry) ----

PyObject* unit_multiply(PyObject* left, PyObject* right) {
  try {
    // Reached for u * x and, reflected, for x * u: either way one unit and
    // one other operand, with the unit's names first and its registry.
    PyObject* self = is_unit(left) ? left : right;
    PyObject* other = self == left ? right : left;
    PyUnit* u = unit_of(self);
    if (is_unit(other)) return make_unit(u->units * unit_of(other)->units, u->registry);
    const std::optional<double> x = number_operand(other);
    if (!x) {
      if (PyErr_Occurred()) return nullptr;
      return raise(PyExc_TypeError, "Unsupported operand type for *");
    }
    return make_quantity(*x, u->units, u->registry);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* unit_true_divide(PyObject* left, PyObject* right) {
  try {
    if (!is_unit(left)) Py_RETURN_NOTIMPLEMENTED;  // no reflected form
    PyUnit* u = unit_of(left);
    if (!is_unit(right)) return raise(PyExc_TypeError, "Unsupported operand type for /");
    return make_unit(u->units / unit_of(right)->units, u->registry);
  } catch (...) {
    return raise_from_current_exception();
  }
}

/// pow's modulo is accepted when it is an unsigned 32-bit integer, and unused.
bool acceptable_modulo(PyObject* mod) {
  if (mod == Py_None) return true;
  PyObject* index = PyNumber_Index(mod);
  if (index == nullptr) {
    PyErr_Clear();
    return false;
  }
  const unsigned long v = PyLong_AsUnsignedLong(index);
  Py_DECREF(index);
  if (v == static_cast<unsigned long>(-1) && PyErr_Occurred()) {
    PyErr_Clear();
    return false;
  }
  return v <= UINT32_MAX;
}

PyObject* unit_power(PyObject* base, PyObject* exp, PyObject* mod) {
  try {
    if (!is_unit(base)) Py_RETURN_NOTIMPLEMENTED;  // no reflected form
    const std::optional<double> e = number_operand(exp);
    if (!e) {
      if (PyErr_Occurred()) return nullptr;
      Py_RETURN_NOTIMPLEMENTED;
    }
    if (!acceptable_modulo(mod)) Py_RETURN_NOTIMPLEMENTED;
    PyUnit* u = unit_of(base);
    return make_unit(u->units.pow(*e), u->registry);
  } catch (...) {
    return raise_from_current_exception();
  }
}

// ---- queries ----

/// dimensionality and dimensionless: self's dimensionality, or nullopt with
/// the mapped error raised.
std::optional<UnitsContainer> dimensionality_of(PyObject* self) {
  PyUnit* u = unit_of(self);
  RegistryLock lock(u->registry);
  Result<UnitsContainer> dims = lock->get_dimensionality(u->units);
  lock.unlock();
  if (!dims) {
    raise(dims.error());
    return std::nullopt;
  }
  return std::move(*dims);
}

PyObject* unit_get_dimensionality(PyObject* self, void*) {
  try {
    const std::optional<UnitsContainer> dims = dimensionality_of(self);
    if (!dims) return nullptr;
    return str_of(dims->to_string());
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* unit_get_dimensionless(PyObject* self, void*) {
  try {
    const std::optional<UnitsContainer> dims = dimensionality_of(self);
    if (!dims) return nullptr;
    return PyBool_FromLong(dims->empty());
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* unit_get_systems(PyObject*, void*) { return PyList_New(0); }

const char* const kOtherParams[] = {"other"};
const Signature kIsCompatibleSig{"Unit.is_compatible_with()", kOtherParams, 1, 1};

PyObject* unit_is_compatible_with(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(kIsCompatibleSig, a, 1);
    CompatArg other;
    if (!classify_compat_arg(a[0], false, other)) return nullptr;
    PyUnit* u = unit_of(self);
    RegistryLock lock(u->registry);
    Result<bool> answer = units_compatible(lock.registry(), u->units, other);
    lock.unlock();
    if (!answer) return raise(answer.error());
    return PyBool_FromLong(*answer);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const Signature kCompatibleUnitsSig{"Unit.compatible_units()", kNoParams, 0, 0};

PyObject* unit_compatible_units(QUDIM_FASTCALL_PARAMS) {
  try {
    if (!bind_no_args(kCompatibleUnitsSig, args, nargs, kwnames)) return nullptr;
    PyUnit* u = unit_of(self);
    std::vector<std::string> names;
    {
      RegistryLock lock(u->registry);
      Result<UnitsContainer> dims = lock->get_dimensionality(u->units);
      if (!dims) return lock.unlock(), raise(dims.error());
      names = lock->compatible_units(*dims);
    }
    return str_list(names);
  } catch (...) {
    return raise_from_current_exception();
  }
}

// ---- text, pickling and copies ----

const Signature kUnitsStrSig{"Unit._units_str()", kNoParams, 0, 0};

PyObject* unit_units_str(QUDIM_FASTCALL_PARAMS) {
  try {
    if (!bind_no_args(kUnitsStrSig, args, nargs, kwnames)) return nullptr;
    return str_of(formatted(self));
  } catch (...) {
    return raise_from_current_exception();
  }
}

const Signature kUnitsDictSig{"Unit._units_dict()", kNoParams, 0, 0};

PyObject* unit_units_dict(QUDIM_FASTCALL_PARAMS) {
  try {
    if (!bind_no_args(kUnitsDictSig, args, nargs, kwnames)) return nullptr;
    return unit_items(unit_of(self)->units);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const Signature kReduceSig{"Unit.__reduce__()", kNoParams, 0, 0};

PyObject* unit_reduce(QUDIM_FASTCALL_PARAMS) {
  try {
    if (!bind_no_args(kReduceSig, args, nargs, kwnames)) return nullptr;
    // Unpickling calls Unit(text), which parses the text in a fresh registry.
    const std::string text = formatted(self);
    return Py_BuildValue("(O(s#))", reinterpret_cast<PyObject*>(Py_TYPE(self)), text.data(),
                         static_cast<Py_ssize_t>(text.size()));
  } catch (...) {
    return raise_from_current_exception();
  }
}

/// A copy shares the registry; only the unit map is duplicated.
PyObject* copy_of(PyObject* self) {
  PyUnit* u = unit_of(self);
  return make_unit(u->units, u->registry);
}

const Signature kCopySig{"Unit.__copy__()", kNoParams, 0, 0};

PyObject* unit_copy(QUDIM_FASTCALL_PARAMS) {
  try {
    if (!bind_no_args(kCopySig, args, nargs, kwnames)) return nullptr;
    return copy_of(self);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const kMemoParams[] = {"_memo"};
const Signature kDeepcopySig{"Unit.__deepcopy__()", kMemoParams, 1, 1};

PyObject* unit_deepcopy(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(kDeepcopySig, a, 1);
    return copy_of(self);
  } catch (...) {
    return raise_from_current_exception();
  }
}

// ---- conversion of quantities into this unit ----

const char* const kValueParams[] = {"value"};
const Signature kFromSig{"Unit.from_()", kValueParams, 1, 1};
const Signature kMFromSig{"Unit.m_from()", kValueParams, 1, 1};

/// The magnitude of a Quantity argument in self's units, converted in
/// self's registry; nullopt with the error raised.
std::optional<double> converted_magnitude(PyObject* self, PyObject* value) {
  std::optional<QuantityCopy> q;
  if (!extract_quantity(value, q)) {
    argument_error("value");
    return std::nullopt;
  }
  PyUnit* u = unit_of(self);
  RegistryLock lock(u->registry);
  Result<double> m = lock->convert(q->magnitude, q->units, u->units);
  lock.unlock();
  if (!m) {
    raise(m.error());
    return std::nullopt;
  }
  return *m;
}

PyObject* unit_from(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(kFromSig, a, 1);
    const std::optional<double> m = converted_magnitude(self, a[0]);
    if (!m) return nullptr;
    PyUnit* u = unit_of(self);
    return make_quantity(*m, u->units, u->registry);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* unit_m_from(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(kMFromSig, a, 1);
    const std::optional<double> m = converted_magnitude(self, a[0]);
    if (!m) return nullptr;
    return PyFloat_FromDouble(*m);
  } catch (...) {
    return raise_from_current_exception();
  }
}

// ---- the type ----


PyMethodDef unit_methods[] = {
    QUDIM_METHOD("is_compatible_with", unit_is_compatible_with, "is_compatible_with($self, other)\n--\n\n"),
    QUDIM_METHOD("compatible_units", unit_compatible_units, "compatible_units($self)\n--\n\n"),
    QUDIM_METHOD("_units_str", unit_units_str, "_units_str($self)\n--\n\n"),
    QUDIM_METHOD("_units_dict", unit_units_dict, "_units_dict($self)\n--\n\n"),
    QUDIM_METHOD("__reduce__", unit_reduce, "__reduce__($self)\n--\n\n"),
    QUDIM_METHOD("from_", unit_from, "from_($self, value)\n--\n\nConvert a Quantity to this Unit."),
    QUDIM_METHOD("m_from", unit_m_from, "m_from($self, value)\n--\n\nGet magnitude of a Quantity in this Unit."),
    QUDIM_METHOD("compare", unit_compare, "compare($self, other, op)\n--\n\nCompare to another Unit"),
    QUDIM_METHOD("__copy__", unit_copy, "__copy__($self)\n--\n\n"),
    QUDIM_METHOD("__deepcopy__", unit_deepcopy, "__deepcopy__($self, _memo)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef unit_getset[] = {
    {"dimensionality", unit_get_dimensionality, nullptr, nullptr, nullptr},
    {"dimensionless", unit_get_dimensionless, nullptr, nullptr, nullptr},
    {"systems", unit_get_systems, nullptr,
     "Return set of system names this unit belongs to (stub: returns empty set).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot unit_slots[] = {
    {Py_tp_doc, const_cast<char*>("Unit(units)\n--\n\n")},
    {Py_tp_new, reinterpret_cast<void*>(unit_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(unit_dealloc)},
    {Py_tp_str, reinterpret_cast<void*>(unit_str)},
    {Py_tp_repr, reinterpret_cast<void*>(unit_repr)},
    {Py_tp_hash, reinterpret_cast<void*>(unit_hash)},
    {Py_tp_richcompare, reinterpret_cast<void*>(unit_richcompare)},
    {Py_tp_methods, unit_methods},
    {Py_tp_getset, unit_getset},
    {Py_nb_multiply, reinterpret_cast<void*>(unit_multiply)},
    {Py_nb_true_divide, reinterpret_cast<void*>(unit_true_divide)},
    {Py_nb_power, reinterpret_cast<void*>(unit_power)},
    {0, nullptr},
};

PyType_Spec unit_spec = {"qudimrs._core.Unit", sizeof(PyUnit), 0, Py_TPFLAGS_DEFAULT, unit_slots};

}  // namespace

PyTypeObject* create_unit_type() {
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&unit_spec));
}

}  // namespace qudim::py
