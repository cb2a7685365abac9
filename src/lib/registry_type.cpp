// The UnitRegistry class: thin shells that convert arguments, take the
// registry lock once, call the core and build Python results after unlocking.
#include "lib/py.hpp"

#include <algorithm>    // std::sort
#include <array>        // std::array
#include <optional>     // std::optional
#include <string>       // std::string
#include <type_traits>  // std::invoke_result_t
#include <utility>      // std::pair, std::move
#include <vector>       // std::vector

#include "lib/args.hpp"                  // Signature, bind_args, extract_*
#include "lib/entry.hpp"                 // entry, fastcall_method, locked
#include "lib/errors_py.hpp"             // raise, raise_as
#include "lib/objects.hpp"               // PyUnitRegistry, make_*, quantity_of_text
#include "lib/py_values.hpp"             // str_of, str_list
#include "lib/quantity.hpp"              // rebind_quantity
#include "number_text.hpp"               // parse_decimal
#include "parser.hpp"                    // parse_definitions
#include "quantity/compatibility.hpp"    // compatible_units_of
#include "quantity/quantity_string.hpp"  // parse_quantity_string
#include "text_util.hpp"                 // trim

namespace qudim::py {

namespace {

const RegistryHandle& handle_of(PyObject* self) { return as_registry(self)->registry; }

/// Binds a method's one str parameter (named by the signature).
bool bind_text(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
               std::string_view& text) {
  PyObject* arg;
  return bind_args(sig, args, nargs, kwnames, &arg) && extract_str(arg, sig.names[0], text);
}

/// Parses text in reg and hands the unit map to op; op's result, or the
/// parse error.
template <class Op>
auto with_units(UnitRegistry& reg, std::string_view text, Op op)
    -> std::invoke_result_t<Op, const UnitsContainer&> {
  UnitsContainer scratch;
  Result<const UnitsContainer*> units = reg.parse_unit_expr_ref(text, scratch);
  if (!units) return units.take_error();
  return op(**units);
}

/// The same for two texts. Memo entries stay put while others are added, so
/// the first map survives parsing the second.
template <class Op>
auto with_two_units(UnitRegistry& reg, std::string_view text1, std::string_view text2, Op op)
    -> std::invoke_result_t<Op, const UnitsContainer&, const UnitsContainer&> {
  return with_units(reg, text1, [&](const UnitsContainer& units1) {
    return with_units(reg, text2, [&](const UnitsContainer& units2) { return op(units1, units2); });
  });
}

/// The shape of the methods taking one text: bind it, run Query(registry,
/// text) under the lock, then Build(self, value) the Python result.
template <const Signature& Sig, auto Query, auto Build>
PyObject* text_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::string_view text;
  if (!bind_text(Sig, args, nargs, kwnames, text)) return nullptr;
  auto result = locked(handle_of(self), [&](UnitRegistry& reg) { return Query(reg, text); });
  if (!result) return raise(result.error());
  return Build(self, std::move(*result));
}

/// A Query over the unit map its text parses to: MapQuery(registry, units).
template <auto MapQuery>
auto parsed(UnitRegistry& reg, std::string_view text) {
  return with_units(reg, text, [&](const UnitsContainer& units) { return MapQuery(reg, units); });
}

/// The shape of the methods taking two unit texts: bind both, parse them
/// and run Query(registry, units1, units2) under the lock, then build.
template <const Signature& Sig, auto Query, auto Build>
PyObject* two_units_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
  PyObject* a[2];
  if (!bind_args(Sig, args, nargs, kwnames, a)) return nullptr;
  std::string_view text1, text2;
  if (!extract_str(a[0], Sig.names[0], text1) || !extract_str(a[1], Sig.names[1], text2)) {
    return nullptr;
  }
  auto result = locked(handle_of(self), [&](UnitRegistry& reg) {
    return with_two_units(reg, text1, text2,
                          [&](const UnitsContainer& units1, const UnitsContainer& units2) {
                            return Query(reg, units1, units2);
                          });
  });
  if (!result) return raise(result.error());
  return Build(std::move(*result));
}

/// The quantity a value and optional unit text make in this registry.
PyObject* number_quantity(PyObject* self, double value, std::optional<std::string_view> units) {
  return quantity_of_text(value, units.value_or("dimensionless"), handle_of(self));
}

/// The quantity a quantity string such as "3.5 km/h" gives.
PyObject* expression_quantity(PyObject* self, std::string_view expr) {
  const std::string_view text = trim(expr);
  if (text.empty()) return raise(PyExc_ValueError, "Cannot parse empty expression");
  const QuantityText parts = parse_quantity_string(text);
  const std::optional<double> m = parse_decimal(parts.magnitude, true);
  if (!m) {
    return raise(PyExc_ValueError,
                 "Cannot parse magnitude: '" + std::string(parts.magnitude) + "'");
  }
  return quantity_of_text(*m, parts.units, handle_of(self));
}

// ---- the queries and result builders of the one-text methods ----

Result<UnitsContainer> units_copy(UnitRegistry&, const UnitsContainer& units) { return units; }

Result<UnitsContainer> dimensionality(UnitRegistry& reg, const UnitsContainer& units) {
  return reg.get_dimensionality(units);
}

Result<std::pair<double, UnitsContainer>> root_units(UnitRegistry& reg,
                                                     const UnitsContainer& units) {
  return reg.get_root_units(units);
}

Result<std::pair<double, std::string>> root_units_text(UnitRegistry& reg,
                                                       const UnitsContainer& units) {
  Result<std::pair<double, UnitsContainer>> root = reg.get_root_units(units);
  if (!root) return root.take_error();
  return std::pair{root->first, reg.format_units(root->second)};
}

Result<std::string> formatted(UnitRegistry& reg, const UnitsContainer& units) {
  return reg.format_units(units);
}

Result<std::string> canonical_name(UnitRegistry& reg, std::string_view name) {
  return reg.get_canonical_name(name);
}

Result<std::string> symbol(UnitRegistry& reg, std::string_view name) {
  Result<std::string> canonical = reg.get_canonical_name(name);
  if (!canonical) return canonical;
  return reg.get_display_name(*canonical);
}

Result<std::vector<std::array<std::string, 3>>> name_splits(UnitRegistry& reg,
                                                            std::string_view name) {
  Result<std::string> canonical = reg.get_canonical_name(name);
  if (!canonical) return canonical.take_error();
  return reg.parse_prefix_and_unit(name);
}

Result<double> conversion_factor(UnitRegistry& reg, const UnitsContainer& src,
                                 const UnitsContainer& dst) {
  return reg.get_conversion_factor(src, dst);
}

Result<bool> same_dimensionality(UnitRegistry& reg, const UnitsContainer& units1,
                                 const UnitsContainer& units2) {
  Result<UnitsContainer> dims1 = reg.get_dimensionality(units1);
  if (!dims1) return dims1.take_error();
  Result<UnitsContainer> dims2 = reg.get_dimensionality(units2);
  if (!dims2) return dims2.take_error();
  return *dims1 == *dims2;
}

PyObject* unit_result(PyObject* self, UnitsContainer&& units) {
  return make_unit(std::move(units), handle_of(self));
}

PyObject* text_result(PyObject*, std::string&& text) { return str_of(text); }

PyObject* bool_result(bool value) { return PyBool_FromLong(value); }

PyObject* dimensionality_result(PyObject*, UnitsContainer&& dims) {
  return str_of(dims.to_string());
}

PyObject* names_result(PyObject*, std::vector<std::string>&& names) { return str_list(names); }

PyObject* root_unit_result(PyObject* self, std::pair<double, UnitsContainer>&& root) {
  return Py_BuildValue("(dN)", root.first, unit_result(self, std::move(root.second)));
}

PyObject* root_text_result(PyObject*, std::pair<double, std::string>&& root) {
  return Py_BuildValue("(dN)", root.first, str_of(root.second));
}

PyObject* splits_result(PyObject*, std::vector<std::array<std::string, 3>>&& splits) {
  return list_of(splits, [](const std::array<std::string, 3>& s) {
    return Py_BuildValue("(NNN)", str_of(s[0]), str_of(s[1]), str_of(s[2]));
  });
}

// ---- constructor, attributes, protocol slots ----

const Signature kNewSig{"UnitRegistry.__new__()", kNoParams, 0, 0};

PyObject* registry_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  // Only the positional count matters: any keyword is accepted and kept.
  PyObject* unused[1];
  if (!bind_args(kNewSig, args, nullptr, unused)) return nullptr;
  PyObject* kept = (kwargs != nullptr && PyDict_GET_SIZE(kwargs) > 0) ? kwargs : nullptr;
  return make_registry(RegistryHandle::fresh(), kept);
}

int registry_traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(as_registry(self)->init_kwargs);
  Py_VISIT(Py_TYPE(self));
  return 0;
}

int registry_clear(PyObject* self) {
  Py_CLEAR(as_registry(self)->init_kwargs);
  return 0;
}

void registry_dealloc(PyObject* self) {
  PyObject_GC_UnTrack(self);
  registry_clear(self);
  as_registry(self)->registry.~RegistryHandle();
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
  return locked(handle_of(self), [&](UnitRegistry& reg) { return reg.knows_spelling(name); }) ? 1
                                                                                              : 0;
}

/// The canonical unit names in byte order.
std::vector<std::string> sorted_unit_names(PyObject* self) {
  std::vector<std::string> names =
      locked(handle_of(self), [](UnitRegistry& reg) { return reg.unit_names(); });
  std::sort(names.begin(), names.end());
  return names;
}

PyObject* registry_iter(PyObject* self) {
  PyObject* list = str_list(sorted_unit_names(self));
  if (list == nullptr) return nullptr;
  PyObject* it = PyObject_GetIter(list);
  Py_DECREF(list);
  return it;
}

const Signature kDirSig{"UnitRegistry.__dir__()", kNoParams, 0, 0};

/// The type's own entries, then the unit names an attribute can reach (so
/// `ureg.me<TAB>` completes).
PyObject* registry_dir(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  if (!bind_no_args(kDirSig, args, nargs, kwnames)) return nullptr;
  const std::vector<std::string> names = sorted_unit_names(self);
  PyObject* entries =
      PyObject_CallMethod(reinterpret_cast<PyObject*>(&PyBaseObject_Type), "__dir__", "O", self);
  if (entries == nullptr) return nullptr;
  for (const std::string& name : names) {
    if (name.starts_with('_')) continue;  // never an attribute
    PyObject* text = str_of(name);
    if (text == nullptr || PyList_Append(entries, text) < 0) {
      Py_XDECREF(text);
      Py_DECREF(entries);
      return nullptr;
    }
    Py_DECREF(text);
  }
  return entries;
}

const char* const kNameParams[] = {"name"};
const Signature kGetattrSig{"UnitRegistry.__getattr__()", kNameParams, 1, 1};

// Unit lookup by attribute (`ureg.meter`) runs only after ordinary lookup
// failed (see install_attribute_hook), so ordinary members cost nothing extra.
PyObject* registry_getattr(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
  PyObject* name;
  if (!bind_args(kGetattrSig, args, nargs, kwnames, &name)) return nullptr;
  std::string_view text;
  if (!extract_str(name, "name", text)) return nullptr;
  if (text.starts_with('_')) {
    return PyErr_Format(PyExc_AttributeError, "'UnitRegistry' object has no attribute '%U'", name);
  }
  PendingQuantity q(1.0, handle_of(self));
  if (!q.ok()) return nullptr;
  bool known = false;
  const Status found = locked(handle_of(self), [&](UnitRegistry& reg) -> Status {
    // Spellings only (prefixed ones included), not whole expressions.
    known = reg.knows_spelling(text);
    if (!known) return QudimError::undefined_unit(std::string(text));
    UnitsContainer scratch;
    Result<const UnitsContainer*> units = reg.parse_unit_expr_ref(text, scratch);
    if (!units) return units.take_error();
    q.set_units(**units);
    return {};
  });
  if (!found) return known ? raise(found.error()) : raise_as(PyExc_AttributeError, found.error());
  return q.take();
}

// ---- methods ----

const char* const kQuantityParams[] = {"value", "units"};
const Signature kF64QuantitySig{"UnitRegistry._f64_quantity()", kQuantityParams, 2, 1};

PyObject* registry_f64_quantity(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
  PyObject* a[2];
  if (!bind_args(kF64QuantitySig, args, nargs, kwnames, a)) return nullptr;
  double value;
  std::optional<std::string_view> units;
  if (!extract_double(a[0], "value", value) || !extract_optional_str(a[1], "units", units)) {
    return nullptr;
  }
  return number_quantity(self, value, units);
}

const Signature kScalarQuantitySig{"UnitRegistry._scalar_quantity()", kQuantityParams, 2, 1};

PyObject* registry_scalar_quantity(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                   PyObject* kwnames) {
  PyObject* a[2];
  if (!bind_args(kScalarQuantitySig, args, nargs, kwnames, a)) return nullptr;
  // The caller holds the arguments for the whole call, so the units view
  // survives the value's float conversion below.
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
}

const char* const kUnitsParams[] = {"units"};
const Signature kUnitSig{"UnitRegistry.Unit()", kUnitsParams, 1, 1};
const Signature kParseUnitsSig{"UnitRegistry.parse_units()", kUnitsParams, 1, 1};

const char* const kExprParams[] = {"expr"};
const Signature kParseExpressionSig{"UnitRegistry.parse_expression()", kExprParams, 1, 1};

PyObject* registry_parse_expression(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                    PyObject* kwnames) {
  std::string_view text;
  if (!bind_text(kParseExpressionSig, args, nargs, kwnames, text)) return nullptr;
  return expression_quantity(self, text);
}

const char* const kConvertParams[] = {"value", "src", "dst"};
const Signature kConvertSig{"UnitRegistry.convert()", kConvertParams, 3, 3};

PyObject* registry_convert(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
  PyObject* a[3];
  if (!bind_args(kConvertSig, args, nargs, kwnames, a)) return nullptr;
  double value;
  std::string_view src, dst;
  if (!extract_double(a[0], "value", value) || !extract_str(a[1], "src", src) ||
      !extract_str(a[2], "dst", dst)) {
    return nullptr;
  }
  const Result<double> r = locked(handle_of(self), [&](UnitRegistry& reg) {
    return with_two_units(reg, src, dst, [&](const UnitsContainer& s, const UnitsContainer& d) {
      return reg.convert(value, s, d);
    });
  });
  if (!r) return raise(r.error());
  return PyFloat_FromDouble(*r);
}

const char* const kDefineParams[] = {"definition"};
const Signature kDefineSig{"UnitRegistry.define()", kDefineParams, 1, 1};
const char* const kLoadParams[] = {"text"};
const Signature kLoadDefinitionsSig{"UnitRegistry.load_definitions()", kLoadParams, 1, 1};

/// define (StopAtError) and load_definitions: the text is read outside the
/// lock and applied under it.
template <const Signature& Sig, bool StopAtError>
PyObject* registry_apply_definitions(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                     PyObject* kwnames) {
  std::string_view text;
  if (!bind_text(Sig, args, nargs, kwnames, text)) return nullptr;
  const std::vector<Definition> defs = parse_definitions(text);
  const Status applied = locked(handle_of(self), [&](UnitRegistry& reg) {
    Status st = reg.apply_definitions(defs, StopAtError);
    // Even a failing define may have added earlier lines of its text.
    handle_of(self).get()->generation.fetch_add(1, std::memory_order_relaxed);
    return st;
  });
  if (!applied) return raise(applied.error());
  Py_RETURN_NONE;
}

const char* const kFactorParams[] = {"src", "dst"};
const Signature kConversionFactorSig{"UnitRegistry._get_conversion_factor()", kFactorParams, 2, 2};
const char* const kCompatibleParams[] = {"unit1", "unit2"};
const Signature kIsCompatibleSig{"UnitRegistry.is_compatible_with()", kCompatibleParams, 2, 2};

const Signature kPrefixesSig{"UnitRegistry._get_prefixes()", kNoParams, 0, 0};

PyObject* registry_get_prefixes(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
  if (!bind_no_args(kPrefixesSig, args, nargs, kwnames)) return nullptr;
  const std::vector<std::pair<std::string, double>> prefixes =
      locked(handle_of(self), [](UnitRegistry& reg) { return reg.prefix_list(); });
  return list_of(prefixes, [](const std::pair<std::string, double>& prefix) {
    return Py_BuildValue("(Nd)", str_of(prefix.first), prefix.second);
  });
}

const char* const kUnitParams[] = {"unit"};
const Signature kCompatibleUnitsSig{"UnitRegistry.get_compatible_units()", kUnitParams, 1, 1};
const Signature kRootUnitsTextSig{"UnitRegistry._get_root_units()", kUnitParams, 1, 1};
const Signature kBaseUnitsSig{"UnitRegistry.get_base_units()", kUnitParams, 1, 1};
const Signature kRootUnitsSig{"UnitRegistry.get_root_units()", kUnitParams, 1, 1};
const Signature kDimensionalitySig{"UnitRegistry.get_dimensionality()", kUnitParams, 1, 1};
const Signature kDimensionalityTextSig{"UnitRegistry._get_dimensionality()", kUnitParams, 1, 1};
const Signature kFormatUnitsSig{"UnitRegistry._format_units()", kUnitParams, 1, 1};
const Signature kGetNameSig{"UnitRegistry.get_name()", kUnitParams, 1, 1};
const Signature kGetSymbolSig{"UnitRegistry.get_symbol()", kUnitParams, 1, 1};
const Signature kParseUnitNameSig{"UnitRegistry.parse_unit_name()", kNameParams, 1, 1};

PyDoc_STRVAR(registry_getattr__doc__, "__getattr__($self, name)\n--\n\n");
PyDoc_STRVAR(registry_dir__doc__, "__dir__($self)\n--\n\n");
PyDoc_STRVAR(registry_f64_quantity__doc__,
             "_f64_quantity($self, value, units=None)\n--\n\n"
             "Fast path: f64 magnitude + unit string, no type dispatch needed.");
PyDoc_STRVAR(registry_scalar_quantity__doc__, "_scalar_quantity($self, value, units=None)\n--\n\n");
PyDoc_STRVAR(registry_unit__doc__, "Unit($self, units)\n--\n\n");
PyDoc_STRVAR(registry_parse_expression__doc__, "parse_expression($self, expr)\n--\n\n");
PyDoc_STRVAR(registry_parse_units__doc__, "parse_units($self, units)\n--\n\n");
PyDoc_STRVAR(registry_convert__doc__, "convert($self, value, src, dst)\n--\n\n");
PyDoc_STRVAR(registry_define__doc__,
             "define($self, definition)\n--\n\n"
             "Define a new unit at runtime: ureg.define(\"smoot = 1.7018 * meter\")");
PyDoc_STRVAR(registry_load_definitions__doc__,
             "load_definitions($self, text)\n--\n\nLoad additional definitions from a string.");
PyDoc_STRVAR(registry_get_compatible_units__doc__,
             "get_compatible_units($self, unit)\n--\n\nGet compatible units for a given unit");
PyDoc_STRVAR(registry_get_conversion_factor__doc__,
             "_get_conversion_factor($self, src, dst)\n--\n\n"
             "Internal: get conversion factor (used by Python wrapper)");
PyDoc_STRVAR(registry_root_units_text__doc__,
             "_get_root_units($self, unit)\n--\n\nInternal: get root units representation");
PyDoc_STRVAR(registry_dimensionality_text__doc__,
             "_get_dimensionality($self, unit)\n--\n\nInternal: get dimensionality string");
PyDoc_STRVAR(registry_format_units__doc__,
             "_format_units($self, unit)\n--\n\nInternal: format units");
PyDoc_STRVAR(registry_get_prefixes__doc__,
             "_get_prefixes($self)\n--\n\nInternal: list all known prefixes with their factors");
PyDoc_STRVAR(registry_get_base_units__doc__,
             "get_base_units($self, unit)\n--\n\n"
             "Get the base units for a unit expression. Returns (factor, Unit).");
PyDoc_STRVAR(registry_get_root_units__doc__,
             "get_root_units($self, unit)\n--\n\nGet root units (alias for get_base_units).");
PyDoc_STRVAR(registry_get_dimensionality__doc__,
             "get_dimensionality($self, unit)\n--\n\nGet the dimensionality of a unit expression.");
PyDoc_STRVAR(registry_get_name__doc__,
             "get_name($self, unit)\n--\n\nGet the canonical name for a unit.");
PyDoc_STRVAR(registry_get_symbol__doc__,
             "get_symbol($self, unit)\n--\n\nGet the symbol for a unit.");
PyDoc_STRVAR(registry_is_compatible_with__doc__,
             "is_compatible_with($self, unit1, unit2)\n--\n\n"
             "Check if two unit expressions are dimensionally compatible.");
PyDoc_STRVAR(registry_parse_unit_name__doc__,
             "parse_unit_name($self, name)\n--\n\n"
             "Parse a unit name into (prefix, unit_name, suffix) tuples.");
PyDoc_STRVAR(registry__doc__, "UnitRegistry(**kwargs)\n--\n\n");
PyDoc_STRVAR(registry_default_format__doc__, "Stub for default_format property.");
PyDoc_STRVAR(registry_auto_reduce__doc__, "Stub for auto_reduce_dimensions property.");

// clang-format off
PyMethodDef registry_methods[] = {
    fastcall_method<registry_getattr>("__getattr__", registry_getattr__doc__),
    fastcall_method<registry_dir>("__dir__", registry_dir__doc__),
    fastcall_method<registry_f64_quantity>("_f64_quantity", registry_f64_quantity__doc__),
    fastcall_method<registry_scalar_quantity>("_scalar_quantity", registry_scalar_quantity__doc__),
    fastcall_method<text_method<kUnitSig, parsed<units_copy>, unit_result>>(
        "Unit", registry_unit__doc__),
    fastcall_method<registry_parse_expression>("parse_expression", registry_parse_expression__doc__),
    fastcall_method<text_method<kParseUnitsSig, parsed<units_copy>, unit_result>>(
        "parse_units", registry_parse_units__doc__),
    fastcall_method<registry_convert>("convert", registry_convert__doc__),
    fastcall_method<registry_apply_definitions<kDefineSig, true>>("define", registry_define__doc__),
    fastcall_method<registry_apply_definitions<kLoadDefinitionsSig, false>>(
        "load_definitions", registry_load_definitions__doc__),
    fastcall_method<text_method<kCompatibleUnitsSig, parsed<compatible_units_of>, names_result>>(
        "get_compatible_units", registry_get_compatible_units__doc__),
    fastcall_method<two_units_method<kConversionFactorSig, conversion_factor, PyFloat_FromDouble>>(
        "_get_conversion_factor", registry_get_conversion_factor__doc__),
    fastcall_method<text_method<kRootUnitsTextSig, parsed<root_units_text>, root_text_result>>(
        "_get_root_units", registry_root_units_text__doc__),
    fastcall_method<text_method<kDimensionalityTextSig, parsed<dimensionality>, dimensionality_result>>(
        "_get_dimensionality", registry_dimensionality_text__doc__),
    fastcall_method<text_method<kFormatUnitsSig, parsed<formatted>, text_result>>(
        "_format_units", registry_format_units__doc__),
    fastcall_method<registry_get_prefixes>("_get_prefixes", registry_get_prefixes__doc__),
    fastcall_method<text_method<kBaseUnitsSig, parsed<root_units>, root_unit_result>>(
        "get_base_units", registry_get_base_units__doc__),
    fastcall_method<text_method<kRootUnitsSig, parsed<root_units>, root_unit_result>>(
        "get_root_units", registry_get_root_units__doc__),
    fastcall_method<text_method<kDimensionalitySig, parsed<dimensionality>, dimensionality_result>>(
        "get_dimensionality", registry_get_dimensionality__doc__),
    fastcall_method<text_method<kGetNameSig, canonical_name, text_result>>(
        "get_name", registry_get_name__doc__),
    fastcall_method<text_method<kGetSymbolSig, symbol, text_result>>(
        "get_symbol", registry_get_symbol__doc__),
    fastcall_method<two_units_method<kIsCompatibleSig, same_dimensionality, bool_result>>(
        "is_compatible_with", registry_is_compatible_with__doc__),
    fastcall_method<text_method<kParseUnitNameSig, name_splits, splits_result>>(
        "parse_unit_name", registry_parse_unit_name__doc__),
    {nullptr, nullptr, 0, nullptr},
};
// clang-format on

PyGetSetDef registry_getset[] = {
    {"_init_kwargs", registry_get_init_kwargs, nullptr, nullptr, nullptr},
    {"default_format", registry_get_default_format, nullptr, registry_default_format__doc__,
     nullptr},
    {"auto_reduce_dimensions", registry_get_auto_reduce, nullptr, registry_auto_reduce__doc__,
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot registry_slots[] = {
    {Py_tp_doc, const_cast<char*>(registry__doc__)},
    {Py_tp_new, reinterpret_cast<void*>(entry<registry_new>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(registry_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(registry_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(registry_clear)},
    {Py_tp_iter, reinterpret_cast<void*>(entry<registry_iter>)},
    {Py_sq_contains, reinterpret_cast<void*>(entry<registry_contains>)},
    {Py_tp_methods, registry_methods},
    {Py_tp_getset, registry_getset},
    {0, nullptr},
};

PyType_Spec registry_spec = {
    .name = "qudimrs._core.UnitRegistry",
    .basicsize = sizeof(PyUnitRegistry),
    .itemsize = 0,
    .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC,
    .slots = registry_slots,
};

/// Gives type the interpreter's own attribute hook for classes with a
/// __getattr__, by assigning the __getattr__ method to the class as Python
/// code would. Method calls such as `ureg.convert(...)` then stay eligible
/// for the interpreter's call specialisation, which a hook of our own (a
/// tp_getattro slot) would rule out.
bool install_attribute_hook(PyTypeObject* type) {
  PyObject* cls = reinterpret_cast<PyObject*>(type);
  PyObject* hook = PyObject_GetAttrString(cls, "__getattr__");
  if (hook == nullptr) return false;
  const int set = PyObject_SetAttrString(cls, "__getattr__", hook);
  Py_DECREF(hook);
  return set == 0;
}

}  // namespace

PyTypeObject* create_registry_type() {
  PyObject* type = PyType_FromSpec(&registry_spec);
  if (type == nullptr) return nullptr;
  if (!install_attribute_hook(reinterpret_cast<PyTypeObject*>(type))) {
    Py_DECREF(type);
    return nullptr;
  }
  return reinterpret_cast<PyTypeObject*>(type);
}

}  // namespace qudim::py
