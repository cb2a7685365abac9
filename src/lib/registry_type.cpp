// The UnitRegistry class: thin shells that convert arguments, take the
// registry lock once, call the core and build Python results after unlocking.
#include "lib/py.hpp"

#include <algorithm>  // std::sort
#include <array>      // std::array
#include <optional>   // std::optional
#include <string>     // std::string
#include <vector>     // std::vector

#include "lib/args.hpp"             // bind_args, extract_*
#include "lib/entry.hpp"            // entry, locked
#include "lib/errors_py.hpp"        // raise
#include "lib/objects.hpp"          // PyUnitRegistry, make_*
#include "lib/py_values.hpp"        // str_of, str_list
#include "lib/quantity.hpp"         // rebind_quantity
#include "lib/quantity_string.hpp"  // parse_quantity_string
#include "number_text.hpp"          // parse_decimal
#include "parser.hpp"               // parse_definitions
#include "text_util.hpp"            // trim

namespace qudim::py {

namespace {

const RegistryHandle& handle_of(PyObject* self) { return as_registry(self)->registry; }

/// The quantity a value and optional unit text make in this registry (the
/// tail shared by _f64_quantity and _scalar_quantity).
PyObject* number_quantity(PyObject* self, double value, std::optional<std::string_view> units) {
  return quantity_of_text(value, units.value_or("dimensionless"), handle_of(self));
}

/// parse_expression's body for an already converted text.
PyObject* expression_quantity(PyObject* self, std::string_view expr) {
  const std::string_view text = trim(expr);
  if (text.empty()) return raise(PyExc_ValueError, "Cannot parse empty expression");
  const QuantityText parts = parse_quantity_string(text);
  const std::optional<double> m = parse_decimal(parts.magnitude, true);
  if (!m) return raise(PyExc_ValueError, "Cannot parse magnitude: '" + std::string(parts.magnitude) + "'");
  return quantity_of_text(*m, parts.units, handle_of(self));
}

/// Parses two unit texts and applies op(registry, units1, units2) under one
/// lock; the lock is released when this returns, before any error is raised.
template <class T, class Op>
Result<T> on_two_units(PyObject* self, std::string_view text1, std::string_view text2, Op op) {
  RegistryLock lock(handle_of(self));
  // Memo entries stay put while others are added, so the first survives
  // parsing the second.
  UnitsContainer scratch1;
  UnitsContainer scratch2;
  Result<const UnitsContainer*> u1 = lock->parse_unit_expr_ref(text1, scratch1);
  if (!u1) return u1.take_error();
  Result<const UnitsContainer*> u2 = lock->parse_unit_expr_ref(text2, scratch2);
  if (!u2) return u2.take_error();
  return op(lock.registry(), **u1, **u2);
}

// ---- constructor, attributes, protocol slots ----

const char* const kNoParams[] = {nullptr};
const Signature kNewSig{"UnitRegistry.__new__()", kNoParams, 0, 0};

PyObject* registry_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  try {
    // Only the positional count matters: any keyword is accepted and kept.
    PyObject* unused[1];
    if (!bind_args(kNewSig, args, nullptr, unused)) return nullptr;
    std::optional<RegistryHandle> handle = fresh_registry();
    if (!handle) return nullptr;
    PyObject* kept = (kwargs != nullptr && PyDict_GET_SIZE(kwargs) > 0) ? kwargs : nullptr;
    return make_registry(std::move(*handle), kept);
  } catch (...) {
    return raise_from_current_exception();
  }
}

void registry_dealloc(PyObject* self) {
  PyUnitRegistry* r = as_registry(self);
  r->registry.~RegistryHandle();
  Py_CLEAR(r->init_kwargs);
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* registry_get_init_kwargs(PyObject* self, void*) {
  PyObject* kw = as_registry(self)->init_kwargs;
  return Py_NewRef(kw != nullptr ? kw : Py_None);
}

PyObject* registry_get_default_format(PyObject*, void*) { return PyUnicode_FromString("D"); }
PyObject* registry_get_auto_reduce(PyObject*, void*) { Py_RETURN_FALSE; }

int registry_contains(PyObject* self, PyObject* item) {
  std::string_view name;
  if (!extract_str(item, "item", name)) return -1;
  return locked(handle_of(self), [&](UnitRegistry& reg) { return reg.knows_spelling(name); }) ? 1 : 0;
}

PyObject* registry_iter(PyObject* self) {
  try {
    std::vector<std::string> names;
    {
      RegistryLock lock(handle_of(self));
      names = lock->unit_names();
    }
    std::sort(names.begin(), names.end());
    PyObject* list = str_list(names);
    if (list == nullptr) return nullptr;
    PyObject* it = PyObject_GetIter(list);
    Py_DECREF(list);
    return it;
  } catch (...) {
    return raise_from_current_exception();
  }
}

// Unit lookup by attribute (`ureg.meter`) runs only after ordinary lookup
// failed: the type's attribute hook is the interpreter's own dispatcher for
// classes with a __getattr__ (see create_registry_type), so ordinary members
// cost nothing extra.
const char* const getattr_names[] = {"name"};
const Signature getattr_sig{"UnitRegistry.__getattr__()", getattr_names, 1, 1};
PyObject* registry_getattr(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(getattr_sig, a, 1);
    PyObject* name = a[0];
    std::string_view text;
    if (!extract_str(name, "name", text)) return nullptr;
    if (!text.empty() && text[0] == '_') {
      return PyErr_Format(PyExc_AttributeError, "'UnitRegistry' object has no attribute '%U'", name);
    }
    PendingQuantity q(1.0, handle_of(self));
    if (!q.ok()) return nullptr;
    RegistryLock lock(handle_of(self));
    if (!lock->knows_spelling(text)) {
      lock.unlock();
      return PyErr_Format(PyExc_AttributeError, "'%U' is not defined in the unit registry", name);
    }
    UnitsContainer scratch;
    Result<const UnitsContainer*> parsed = lock->parse_unit_expr_ref(text, scratch);
    if (!parsed) return lock.unlock(), raise(parsed.error());
    q.set_units(**parsed);
    lock.unlock();
    return q.take();
  } catch (...) {
    return raise_from_current_exception();
  }
}

// ---- methods ----

const char* const f64_names[] = {"value", "units"};
const Signature f64{"UnitRegistry._f64_quantity()", f64_names, 2, 1};
PyObject* registry_f64_quantity(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(f64, a, 2);
    double value;
    if (!extract_double(a[0], "value", value)) return nullptr;
    std::optional<std::string_view> units;
    if (!extract_optional_str(a[1], "units", units)) return nullptr;
    return number_quantity(self, value, units);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const scalar_names[] = {"value", "units"};
const Signature scalar{"UnitRegistry._scalar_quantity()", scalar_names, 2, 1};
PyObject* registry_scalar_quantity(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(scalar, a, 2);
    std::optional<std::string_view> units;
    if (!extract_optional_str(a[1], "units", units)) return nullptr;
    PyObject* value = a[0];
    if (is_quantity(value)) return rebind_quantity(as_quantity(value), units, handle_of(self));
    if (PyUnicode_Check(value)) {
      if (units) return raise(PyExc_ValueError, "Cannot specify units when value is a string");
      std::string_view text;
      if (!extract_str(value, "value", text)) return nullptr;
      return expression_quantity(self, text);
    }
    double v;
    if (!extract_double(value, "value", v)) return nullptr;
    return number_quantity(self, v, units);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const units_names[] = {"units"};
const Signature unit_sig{"UnitRegistry.Unit()", units_names, 1, 1};
const Signature parse_units_sig{"UnitRegistry.parse_units()", units_names, 1, 1};

PyObject* unit_from_text(PyObject* self, PyObject* arg) {
  std::string_view text;
  if (!extract_str(arg, "units", text)) return nullptr;
  RegistryLock lock(handle_of(self));
  Result<UnitsContainer> parsed = lock->parse_unit_expr(text);
  lock.unlock();
  if (!parsed) return raise(parsed.error());
  return make_unit(std::move(*parsed), handle_of(self));
}

PyObject* registry_unit(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(unit_sig, a, 1);
    return unit_from_text(self, a[0]);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* registry_parse_units(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(parse_units_sig, a, 1);
    return unit_from_text(self, a[0]);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const expr_names[] = {"expr"};
const Signature expr{"UnitRegistry.parse_expression()", expr_names, 1, 1};
PyObject* registry_parse_expression(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(expr, a, 1);
    std::string_view text;
    if (!extract_str(a[0], "expr", text)) return nullptr;
    return expression_quantity(self, text);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const convert_names[] = {"value", "src", "dst"};
const Signature convert{"UnitRegistry.convert()", convert_names, 3, 3};
PyObject* registry_convert(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(convert, a, 3);
    double value;
    std::string_view src, dst;
    if (!extract_double(a[0], "value", value) || !extract_str(a[1], "src", src) ||
        !extract_str(a[2], "dst", dst)) {
      return nullptr;
    }
    const Result<double> r = on_two_units<double>(
        self, src, dst, [&](UnitRegistry& reg, const UnitsContainer& s, const UnitsContainer& d) {
          return reg.convert(value, s, d);
        });
    if (!r) return raise(r.error());
    return PyFloat_FromDouble(*r);
  } catch (...) {
    return raise_from_current_exception();
  }
}

/// define and load_definitions: read outside the lock, apply under it.
PyObject* apply_text(PyObject* self, PyObject* arg, const char* name, bool stop_at_error) {
  std::string_view text;
  if (!extract_str(arg, name, text)) return nullptr;
  const std::vector<Definition> defs = parse_definitions(text);
  RegistryLock lock(handle_of(self));
  Status st = lock->apply_definitions(defs, stop_at_error);
  // Even a failing define may have added earlier lines of its text.
  handle_of(self).get()->generation.fetch_add(1, std::memory_order_relaxed);
  lock.unlock();
  if (!st) return raise(st.error());
  Py_RETURN_NONE;
}

const char* const define_names[] = {"definition"};
const Signature define{"UnitRegistry.define()", define_names, 1, 1};
PyObject* registry_define(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(define, a, 1);
    return apply_text(self, a[0], "definition", true);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const load_names[] = {"text"};
const Signature load{"UnitRegistry.load_definitions()", load_names, 1, 1};
PyObject* registry_load_definitions(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(load, a, 1);
    return apply_text(self, a[0], "text", false);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const unit_names_[] = {"unit"};
const Signature compat_sig{"UnitRegistry.get_compatible_units()", unit_names_, 1, 1};
PyObject* registry_get_compatible_units(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(compat_sig, a, 1);
    std::string_view text;
    if (!extract_str(a[0], "unit", text)) return nullptr;
    std::vector<std::string> names;
    {
      RegistryLock lock(handle_of(self));
      Result<UnitsContainer> parsed = lock->parse_unit_expr(text);
      if (!parsed) return lock.unlock(), raise(parsed.error());
      Result<UnitsContainer> dims = lock->get_dimensionality(*parsed);
      if (!dims) return lock.unlock(), raise(dims.error());
      names = lock->compatible_units(*dims);
    }
    return str_list(names);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const factor_names[] = {"src", "dst"};
const Signature factor_sig{"UnitRegistry._get_conversion_factor()", factor_names, 2, 2};
PyObject* registry_get_conversion_factor(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(factor_sig, a, 2);
    std::string_view src, dst;
    if (!extract_str(a[0], "src", src) || !extract_str(a[1], "dst", dst)) return nullptr;
    const Result<double> r = on_two_units<double>(
        self, src, dst, [](UnitRegistry& reg, const UnitsContainer& s, const UnitsContainer& d) {
          return reg.get_conversion_factor(s, d);
        });
    if (!r) return raise(r.error());
    return PyFloat_FromDouble(*r);
  } catch (...) {
    return raise_from_current_exception();
  }
}

/// What the one-unit-argument queries compute under the lock.
enum class UnitQuery { RootText, RootUnit, Dimensionality, Format };

PyObject* unit_query(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     const Signature& sig, UnitQuery what) {
  QUDIM_BIND(sig, a, 1);
  std::string_view text;
  if (!extract_str(a[0], "unit", text)) return nullptr;
  RegistryLock lock(handle_of(self));
  Result<UnitsContainer> parsed = lock->parse_unit_expr(text);
  if (!parsed) return lock.unlock(), raise(parsed.error());
  switch (what) {
    case UnitQuery::Format: {
      const std::string s = lock->format_units(*parsed);
      lock.unlock();
      return str_of(s);
    }
    case UnitQuery::Dimensionality: {
      Result<UnitsContainer> dims = lock->get_dimensionality(*parsed);
      lock.unlock();
      if (!dims) return raise(dims.error());
      return str_of(dims->to_string());
    }
    case UnitQuery::RootText:
    case UnitQuery::RootUnit: {
      Result<std::pair<double, UnitsContainer>> root = lock->get_root_units(*parsed);
      if (!root) return lock.unlock(), raise(root.error());
      if (what == UnitQuery::RootText) {
        const std::string s = lock->format_units(root->second);
        lock.unlock();
        return Py_BuildValue("(dN)", root->first, str_of(s));
      }
      lock.unlock();
      return Py_BuildValue("(dN)", root->first, make_unit(std::move(root->second), handle_of(self)));
    }
  }
  return nullptr;
}

#define UNIT_QUERY(fn, display, what)                                              \
  const Signature fn##_sig{display, unit_names_, 1, 1};                            \
  PyObject* fn(QUDIM_FASTCALL_PARAMS) {                                                    \
    try {                                                                          \
      return unit_query(self, args, nargs, kwnames, fn##_sig, UnitQuery::what);    \
    } catch (...) {                                                                \
      return raise_from_current_exception();                                       \
    }                                                                              \
  }

UNIT_QUERY(registry__get_root_units, "UnitRegistry._get_root_units()", RootText)
UNIT_QUERY(registry_get_base_units, "UnitRegistry.get_base_units()", RootUnit)
UNIT_QUERY(registry_get_root_units, "UnitRegistry.get_root_units()", RootUnit)
UNIT_QUERY(registry_get_dimensionality, "UnitRegistry.get_dimensionality()", Dimensionality)
UNIT_QUERY(registry__get_dimensionality, "UnitRegistry._get_dimensionality()", Dimensionality)
UNIT_QUERY(registry_format_units, "UnitRegistry._format_units()", Format)

const Signature prefixes_sig{"UnitRegistry._get_prefixes()", kNoParams, 0, 0};
PyObject* registry_get_prefixes(QUDIM_FASTCALL_PARAMS) {
  try {
    if (!bind_no_args(prefixes_sig, args, nargs, kwnames)) return nullptr;
    std::vector<std::pair<std::string, double>> prefixes;
    {
      RegistryLock lock(handle_of(self));
      prefixes = lock->prefix_list();
    }
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(prefixes.size()));
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < prefixes.size(); ++i) {
      PyObject* item = Py_BuildValue("(s#d)", prefixes[i].first.data(),
                                     static_cast<Py_ssize_t>(prefixes[i].first.size()), prefixes[i].second);
      if (item == nullptr) {
        Py_DECREF(list);
        return nullptr;
      }
      PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
    }
    return list;
  } catch (...) {
    return raise_from_current_exception();
  }
}

/// get_name and get_symbol: the canonical name, optionally shown as symbol.
PyObject* name_query(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     const Signature& sig, bool symbol) {
  QUDIM_BIND(sig, a, 1);
  std::string_view text;
  if (!extract_str(a[0], "unit", text)) return nullptr;
  RegistryLock lock(handle_of(self));
  Result<std::string> name = lock->get_canonical_name(text);
  if (!name) return lock.unlock(), raise(name.error());
  const std::string out = symbol ? lock->get_display_name(*name) : std::move(*name);
  lock.unlock();
  return str_of(out);
}

const Signature get_name_sig{"UnitRegistry.get_name()", unit_names_, 1, 1};
PyObject* registry_get_name(QUDIM_FASTCALL_PARAMS) {
  try {
    return name_query(self, args, nargs, kwnames, get_name_sig, false);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const Signature get_symbol_sig{"UnitRegistry.get_symbol()", unit_names_, 1, 1};
PyObject* registry_get_symbol(QUDIM_FASTCALL_PARAMS) {
  try {
    return name_query(self, args, nargs, kwnames, get_symbol_sig, true);
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const compat2_names[] = {"unit1", "unit2"};
const Signature compat2{"UnitRegistry.is_compatible_with()", compat2_names, 2, 2};
PyObject* registry_is_compatible_with(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(compat2, a, 2);
    std::string_view u1, u2;
    if (!extract_str(a[0], "unit1", u1) || !extract_str(a[1], "unit2", u2)) return nullptr;
    const Result<bool> r = on_two_units<bool>(
        self, u1, u2, [](UnitRegistry& reg, const UnitsContainer& p1, const UnitsContainer& p2) -> Result<bool> {
          Result<UnitsContainer> d1 = reg.get_dimensionality(p1);
          if (!d1) return d1.take_error();
          Result<UnitsContainer> d2 = reg.get_dimensionality(p2);
          if (!d2) return d2.take_error();
          return *d1 == *d2;
        });
    if (!r) return raise(r.error());
    return PyBool_FromLong(r.value());
  } catch (...) {
    return raise_from_current_exception();
  }
}

const char* const name_names[] = {"name"};
const Signature parse_name_sig{"UnitRegistry.parse_unit_name()", name_names, 1, 1};
PyObject* registry_parse_unit_name(QUDIM_FASTCALL_PARAMS) {
  try {
    QUDIM_BIND(parse_name_sig, a, 1);
    std::string_view text;
    if (!extract_str(a[0], "name", text)) return nullptr;
    std::vector<std::array<std::string, 3>> splits;
    {
      RegistryLock lock(handle_of(self));
      Result<std::string> canonical = lock->get_canonical_name(text);
      if (!canonical) return lock.unlock(), raise(canonical.error());
      splits = lock->parse_prefix_and_unit(text);
    }
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(splits.size()));
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < splits.size(); ++i) {
      const auto& s = splits[i];
      PyObject* item = Py_BuildValue("(s#s#s#)", s[0].data(), static_cast<Py_ssize_t>(s[0].size()),
                                     s[1].data(), static_cast<Py_ssize_t>(s[1].size()), s[2].data(),
                                     static_cast<Py_ssize_t>(s[2].size()));
      if (item == nullptr) {
        Py_DECREF(list);
        return nullptr;
      }
      PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
    }
    return list;
  } catch (...) {
    return raise_from_current_exception();
  }
}


PyMethodDef registry_methods[] = {
    QUDIM_METHOD("__getattr__", registry_getattr, "__getattr__($self, name)\n--\n\n"),
    QUDIM_METHOD("_f64_quantity", registry_f64_quantity,
           "_f64_quantity($self, value, units=None)\n--\n\n"
           "Fast path: f64 magnitude + unit string, no type dispatch needed."),
    QUDIM_METHOD("_scalar_quantity", registry_scalar_quantity, "_scalar_quantity($self, value, units=None)\n--\n\n"),
    QUDIM_METHOD("Unit", registry_unit, "Unit($self, units)\n--\n\n"),
    QUDIM_METHOD("parse_expression", registry_parse_expression, "parse_expression($self, expr)\n--\n\n"),
    QUDIM_METHOD("parse_units", registry_parse_units, "parse_units($self, units)\n--\n\n"),
    QUDIM_METHOD("convert", registry_convert, "convert($self, value, src, dst)\n--\n\n"),
    QUDIM_METHOD("define", registry_define,
           "define($self, definition)\n--\n\n"
           "Define a new unit at runtime: ureg.define(\"smoot = 1.7018 * meter\")"),
    QUDIM_METHOD("load_definitions", registry_load_definitions,
           "load_definitions($self, text)\n--\n\nLoad additional definitions from a string."),
    QUDIM_METHOD("get_compatible_units", registry_get_compatible_units,
           "get_compatible_units($self, unit)\n--\n\nGet compatible units for a given unit"),
    QUDIM_METHOD("_get_conversion_factor", registry_get_conversion_factor,
           "_get_conversion_factor($self, src, dst)\n--\n\n"
           "Internal: get conversion factor (used by Python wrapper)"),
    QUDIM_METHOD("_get_root_units", registry__get_root_units,
           "_get_root_units($self, unit)\n--\n\nInternal: get root units representation"),
    QUDIM_METHOD("_get_dimensionality", registry__get_dimensionality,
           "_get_dimensionality($self, unit)\n--\n\nInternal: get dimensionality string"),
    QUDIM_METHOD("_format_units", registry_format_units, "_format_units($self, unit)\n--\n\nInternal: format units"),
    QUDIM_METHOD("_get_prefixes", registry_get_prefixes,
           "_get_prefixes($self)\n--\n\nInternal: list all known prefixes with their factors"),
    QUDIM_METHOD("get_base_units", registry_get_base_units,
           "get_base_units($self, unit)\n--\n\n"
           "Get the base units for a unit expression. Returns (factor, Unit)."),
    QUDIM_METHOD("get_root_units", registry_get_root_units,
           "get_root_units($self, unit)\n--\n\nGet root units (alias for get_base_units)."),
    QUDIM_METHOD("get_dimensionality", registry_get_dimensionality,
           "get_dimensionality($self, unit)\n--\n\nGet the dimensionality of a unit expression."),
    QUDIM_METHOD("get_name", registry_get_name, "get_name($self, unit)\n--\n\nGet the canonical name for a unit."),
    QUDIM_METHOD("get_symbol", registry_get_symbol, "get_symbol($self, unit)\n--\n\nGet the symbol for a unit."),
    QUDIM_METHOD("is_compatible_with", registry_is_compatible_with,
           "is_compatible_with($self, unit1, unit2)\n--\n\n"
           "Check if two unit expressions are dimensionally compatible."),
    QUDIM_METHOD("parse_unit_name", registry_parse_unit_name,
           "parse_unit_name($self, name)\n--\n\n"
           "Parse a unit name into (prefix, unit_name, suffix) tuples."),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef registry_getset[] = {
    {"_init_kwargs", registry_get_init_kwargs, nullptr, nullptr, nullptr},
    {"default_format", registry_get_default_format, nullptr, "Stub for default_format property.", nullptr},
    {"auto_reduce_dimensions", registry_get_auto_reduce, nullptr, "Stub for auto_reduce_dimensions property.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot registry_slots[] = {
    {Py_tp_doc, const_cast<char*>("UnitRegistry(**kwargs)\n--\n\n")},
    {Py_tp_new, reinterpret_cast<void*>(registry_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(registry_dealloc)},
    {Py_tp_iter, reinterpret_cast<void*>(registry_iter)},
    {Py_sq_contains, reinterpret_cast<void*>(entry<registry_contains>)},
    {Py_tp_methods, registry_methods},
    {Py_tp_getset, registry_getset},
    {0, nullptr},
};

PyType_Spec registry_spec = {"qudimrs._core.UnitRegistry", sizeof(PyUnitRegistry), 0, Py_TPFLAGS_DEFAULT,
                             registry_slots};

}  // namespace

PyTypeObject* create_registry_type() {
  // The interpreter specialises `ureg.method(...)` (no bound method object
  // per call) only for types whose attribute hook is the generic one or its
  // dispatcher for classes that define __getattr__. That dispatcher is not
  // exported, so it is taken from a throwaway class with a __getattr__.
  PyObject* probe = PyObject_CallFunction(reinterpret_cast<PyObject*>(&PyType_Type), "s(){sO}",
                                          "probe", "__getattr__", Py_None);
  if (probe == nullptr) return nullptr;
  const getattrofunc dispatcher = reinterpret_cast<PyTypeObject*>(probe)->tp_getattro;
  Py_DECREF(probe);
  PyTypeObject* type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&registry_spec));
  if (type == nullptr) return nullptr;
  type->tp_getattro = dispatcher;
  PyType_Modified(type);
  return type;
}

}  // namespace qudim::py
