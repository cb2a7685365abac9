// The Unit class: a unit map bound to a registry, with its text forms, hash,
// equality, algebra (*, /, **), queries and conversion of quantities into it.
#include "lib/py.hpp"

#include <cstdint>   // uint32_t, uint64_t, int64_t
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "lib/args.hpp"           // bind_args, extract_str, number_value, ...
#include "lib/compatibility.hpp"  // classify_compat_arg, units_compatible, compatible_units_of
#include "lib/entry.hpp"          // entry, fastcall_method, locked
#include "lib/errors_py.hpp"      // raise
#include "lib/objects.hpp"        // PyUnit, make_unit, make_quantity, extract_quantity
#include "lib/py_values.hpp"      // str_of, str_list, unit_items
#include "siphash.hpp"            // siphash13

namespace qudim::py {

namespace {

/// The registry's display text of self's units.
std::string formatted(PyObject* self) {
  PyUnit* u = as_unit(self);
  return locked(u->registry, [&](UnitRegistry& reg) { return reg.format_units(u->units); });
}

/// self's dimensionality, looked up in its registry.
Result<UnitsContainer> dimensionality_of(PyObject* self) {
  PyUnit* u = as_unit(self);
  return locked(u->registry, [&](UnitRegistry& reg) { return reg.get_dimensionality(u->units); });
}

/// A number operand through the float protocol. An ordinary failure (no
/// conversion, a dimensioned Quantity's refusal, an overflow) is cleared so
/// the caller can answer with its own error or NotImplemented; interrupts
/// and MemoryError stay pending.
std::optional<double> number_operand(PyObject* obj) {
  double x;
  if (number_value(obj, x)) return x;
  forgive_conversion_error();
  return std::nullopt;
}

// ---- construction, text, hash ----

const char* const kNewParams[] = {"units"};
const Signature kNewSig{"Unit.__new__()", kNewParams, 1, 1};

PyObject* unit_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  PyObject* a[1];
  if (!bind_args(kNewSig, args, kwargs, a)) return nullptr;
  // The argument may sit in a dict other code can change (unpickling hands
  // the constructor a dict of its own): hold it while its text is read.
  const StrongRef units(a[0]);
  std::string_view text;
  if (!extract_str(units.get(), "units", text)) return nullptr;
  const RegistryHandle handle = RegistryHandle::fresh();
  Result<UnitsContainer> parsed =
      locked(handle, [&](UnitRegistry& reg) { return reg.parse_unit_expr(text); });
  if (!parsed) return raise(parsed.error());
  return make_unit(std::move(*parsed), handle);
}

void unit_dealloc(PyObject* self) {
  PyUnit* u = as_unit(self);
  u->units.~UnitsContainer();
  u->registry.~RegistryHandle();
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* unit_str(PyObject* self) { return str_of(formatted(self)); }

PyObject* unit_repr(PyObject* self) { return str_of("<Unit('" + formatted(self) + "')>"); }

Py_hash_t unit_hash(PyObject* self) {
  std::string feed;
  as_unit(self)->units.append_hash_feed(feed);
  const auto h =
      static_cast<Py_hash_t>(static_cast<std::int64_t>(siphash13(feed.data(), feed.size())));
  return h == -1 ? -2 : h;  // -1 signals an error to the interpreter
}

// ---- comparison ----

/// Unit equality: unit maps equal within EPSILON, registries ignored.
bool units_equal(PyObject* self, PyObject* other) {
  return is_unit(other) && as_unit(self)->units == as_unit(other)->units;
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

PyObject* unit_compare(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* a[2];
  if (!bind_args(kCompareSig, args, nargs, kwnames, a)) return nullptr;
  std::string_view op;
  if (!extract_str(a[1], "op", op)) return nullptr;
  if (op == "eq" || op == "==") return PyBool_FromLong(units_equal(self, a[0]));
  if (op == "ne" || op == "!=") return PyBool_FromLong(!units_equal(self, a[0]));
  return PyErr_Format(PyExc_ValueError, "Unknown operator: %U", a[1]);
}

// ---- algebra (never touches the registry) ----

PyObject* unit_multiply(PyObject* left, PyObject* right) {
  // Reached for u * x and, reflected, for x * u: either way one unit and
  // one other operand, with the unit's names first and its registry.
  PyObject* self = is_unit(left) ? left : right;
  PyObject* other = self == left ? right : left;
  PyUnit* u = as_unit(self);
  if (is_unit(other)) return make_unit(u->units * as_unit(other)->units, u->registry);
  const std::optional<double> x = number_operand(other);
  if (!x) {
    if (PyErr_Occurred()) return nullptr;
    return raise(PyExc_TypeError, "Unsupported operand type for *");
  }
  return make_quantity(*x, u->units, u->registry);
}

PyObject* unit_true_divide(PyObject* left, PyObject* right) {
  if (!is_unit(left)) Py_RETURN_NOTIMPLEMENTED;  // no reflected form
  if (!is_unit(right)) return raise(PyExc_TypeError, "Unsupported operand type for /");
  PyUnit* u = as_unit(left);
  return make_unit(u->units / as_unit(right)->units, u->registry);
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
  if (!is_unit(base)) Py_RETURN_NOTIMPLEMENTED;  // no reflected form
  const std::optional<double> e = number_operand(exp);
  if (!e) {
    if (PyErr_Occurred()) return nullptr;
    Py_RETURN_NOTIMPLEMENTED;
  }
  if (!acceptable_modulo(mod)) Py_RETURN_NOTIMPLEMENTED;
  PyUnit* u = as_unit(base);
  return make_unit(u->units.pow(*e), u->registry);
}

// ---- queries ----

PyObject* unit_get_dimensionality(PyObject* self, void*) {
  const Result<UnitsContainer> dims = dimensionality_of(self);
  if (!dims) return raise(dims.error());
  return str_of(dims->to_string());
}

PyObject* unit_get_dimensionless(PyObject* self, void*) {
  const Result<UnitsContainer> dims = dimensionality_of(self);
  if (!dims) return raise(dims.error());
  return PyBool_FromLong(dims->empty());
}

PyObject* unit_get_systems(PyObject*, void*) { return PyList_New(0); }

const char* const kOtherParams[] = {"other"};
const Signature kIsCompatibleSig{"Unit.is_compatible_with()", kOtherParams, 1, 1};

PyObject* unit_is_compatible_with(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames) {
  PyObject* arg;
  if (!bind_args(kIsCompatibleSig, args, nargs, kwnames, &arg)) return nullptr;
  CompatArg other;
  if (!classify_compat_arg(arg, false, other)) return nullptr;
  PyUnit* u = as_unit(self);
  const Result<bool> answer = locked(
      u->registry, [&](UnitRegistry& reg) { return units_compatible(reg, u->units, other); });
  if (!answer) return raise(answer.error());
  return PyBool_FromLong(*answer);
}

const Signature kCompatibleUnitsSig{"Unit.compatible_units()", kNoParams, 0, 0};

PyObject* unit_compatible_units(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
  if (!bind_no_args(kCompatibleUnitsSig, args, nargs, kwnames)) return nullptr;
  PyUnit* u = as_unit(self);
  const Result<std::vector<std::string>> names =
      locked(u->registry, [&](UnitRegistry& reg) { return compatible_units_of(reg, u->units); });
  if (!names) return raise(names.error());
  return str_list(*names);
}

// ---- text, pickling and copies ----

const Signature kUnitsStrSig{"Unit._units_str()", kNoParams, 0, 0};

PyObject* unit_units_str(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
  if (!bind_no_args(kUnitsStrSig, args, nargs, kwnames)) return nullptr;
  return str_of(formatted(self));
}

const Signature kUnitsDictSig{"Unit._units_dict()", kNoParams, 0, 0};

PyObject* unit_units_dict(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
  if (!bind_no_args(kUnitsDictSig, args, nargs, kwnames)) return nullptr;
  return unit_items(as_unit(self)->units);
}

const Signature kReduceSig{"Unit.__reduce__()", kNoParams, 0, 0};

PyObject* unit_reduce(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  if (!bind_no_args(kReduceSig, args, nargs, kwnames)) return nullptr;
  // Unpickling calls Unit(text), which parses the text in a fresh registry.
  return Py_BuildValue("(O(N))", reinterpret_cast<PyObject*>(Py_TYPE(self)),
                       str_of(formatted(self)));
}

const Signature kCopySig{"Unit.__copy__()", kNoParams, 0, 0};
const char* const kMemoParams[] = {"_memo"};
const Signature kDeepcopySig{"Unit.__deepcopy__()", kMemoParams, 1, 1};

/// __copy__ and __deepcopy__: a new unit sharing the registry; only the unit
/// map is duplicated.
template <const Signature& Sig>
PyObject* unit_copy(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* memo[1];
  if (!bind_args(Sig, args, nargs, kwnames, memo)) return nullptr;
  PyUnit* u = as_unit(self);
  return make_unit(u->units, u->registry);
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
  PyUnit* u = as_unit(self);
  const Result<double> m = locked(u->registry, [&](UnitRegistry& reg) {
    return reg.convert(q->magnitude, q->units, u->units);
  });
  if (!m) {
    raise(m.error());
    return std::nullopt;
  }
  return *m;
}

PyObject* unit_from(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* value;
  if (!bind_args(kFromSig, args, nargs, kwnames, &value)) return nullptr;
  const std::optional<double> m = converted_magnitude(self, value);
  if (!m) return nullptr;
  PyUnit* u = as_unit(self);
  return make_quantity(*m, u->units, u->registry);
}

PyObject* unit_m_from(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* value;
  if (!bind_args(kMFromSig, args, nargs, kwnames, &value)) return nullptr;
  const std::optional<double> m = converted_magnitude(self, value);
  if (!m) return nullptr;
  return PyFloat_FromDouble(*m);
}

// ---- the type ----

PyDoc_STRVAR(unit_is_compatible_with__doc__, "is_compatible_with($self, other)\n--\n\n");
PyDoc_STRVAR(unit_compatible_units__doc__, "compatible_units($self)\n--\n\n");
PyDoc_STRVAR(unit_units_str__doc__, "_units_str($self)\n--\n\n");
PyDoc_STRVAR(unit_units_dict__doc__, "_units_dict($self)\n--\n\n");
PyDoc_STRVAR(unit_reduce__doc__, "__reduce__($self)\n--\n\n");
PyDoc_STRVAR(unit_from__doc__, "from_($self, value)\n--\n\nConvert a Quantity to this Unit.");
PyDoc_STRVAR(unit_m_from__doc__,
             "m_from($self, value)\n--\n\nGet magnitude of a Quantity in this Unit.");
PyDoc_STRVAR(unit_compare__doc__, "compare($self, other, op)\n--\n\nCompare to another Unit");
PyDoc_STRVAR(unit_copy__doc__, "__copy__($self)\n--\n\n");
PyDoc_STRVAR(unit_deepcopy__doc__, "__deepcopy__($self, _memo)\n--\n\n");
PyDoc_STRVAR(unit_systems__doc__,
             "Return set of system names this unit belongs to (stub: returns empty set).");
PyDoc_STRVAR(unit__doc__, "Unit(units)\n--\n\n");

PyMethodDef unit_methods[] = {
    fastcall_method<unit_is_compatible_with>("is_compatible_with", unit_is_compatible_with__doc__),
    fastcall_method<unit_compatible_units>("compatible_units", unit_compatible_units__doc__),
    fastcall_method<unit_units_str>("_units_str", unit_units_str__doc__),
    fastcall_method<unit_units_dict>("_units_dict", unit_units_dict__doc__),
    fastcall_method<unit_reduce>("__reduce__", unit_reduce__doc__),
    fastcall_method<unit_from>("from_", unit_from__doc__),
    fastcall_method<unit_m_from>("m_from", unit_m_from__doc__),
    fastcall_method<unit_compare>("compare", unit_compare__doc__),
    fastcall_method<unit_copy<kCopySig>>("__copy__", unit_copy__doc__),
    fastcall_method<unit_copy<kDeepcopySig>>("__deepcopy__", unit_deepcopy__doc__),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef unit_getset[] = {
    {"dimensionality", entry<unit_get_dimensionality>, nullptr, nullptr, nullptr},
    {"dimensionless", entry<unit_get_dimensionless>, nullptr, nullptr, nullptr},
    {"systems", unit_get_systems, nullptr, unit_systems__doc__, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot unit_slots[] = {
    {Py_tp_doc, const_cast<char*>(unit__doc__)},
    {Py_tp_new, reinterpret_cast<void*>(entry<unit_new>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(unit_dealloc)},
    {Py_tp_str, reinterpret_cast<void*>(entry<unit_str>)},
    {Py_tp_repr, reinterpret_cast<void*>(entry<unit_repr>)},
    {Py_tp_hash, reinterpret_cast<void*>(entry<unit_hash>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(unit_richcompare)},
    {Py_tp_methods, unit_methods},
    {Py_tp_getset, unit_getset},
    {Py_nb_multiply, reinterpret_cast<void*>(entry<unit_multiply>)},
    {Py_nb_true_divide, reinterpret_cast<void*>(entry<unit_true_divide>)},
    {Py_nb_power, reinterpret_cast<void*>(entry<unit_power>)},
    {0, nullptr},
};

PyType_Spec unit_spec = {
    .name = "qudimrs._core.Unit",
    .basicsize = sizeof(PyUnit),
    .itemsize = 0,
    .flags = Py_TPFLAGS_DEFAULT,
    .slots = unit_slots,
};

}  // namespace

PyTypeObject* create_unit_type() {
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&unit_spec));
}

}  // namespace qudim::py
