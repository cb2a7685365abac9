// The Quantity type: construction, basic properties, truth value, and the
// table that assembles every member into the class.
#include "lib/quantity.hpp"

#include <optional>  // std::optional
#include <string>    // std::string

#include "lib/args.hpp"        // bind_args, extract_*
#include "lib/errors_py.hpp"   // raise
#include "lib/objects.hpp"     // PyQuantity, make_*
#include "lib/quantity_string.hpp"  // parse_quantity_string
#include "number_text.hpp"     // parse_decimal

namespace qudim::py {

namespace {

const char* const kNewParams[] = {"value", "units"};
const Signature kNewSig{"Quantity.__new__()", kNewParams, 2, 1};

}  // namespace

PyObject* quantity_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  try {
    PyObject* argv[2];
    if (!bind_args(kNewSig, args, kwargs, argv)) return nullptr;
    std::optional<std::string_view> units;
    if (!extract_optional_str(argv[1], "units", units)) return nullptr;
    // Every directly constructed quantity gets a registry of its own.
    std::optional<RegistryHandle> handle = fresh_registry();
    if (!handle) return nullptr;
    PyObject* value = argv[0];

    if (is_quantity(value)) return rebind_quantity(as_quantity(value), units, *handle);

    double magnitude;
    std::string_view unit_text = "dimensionless";
    if (PyUnicode_Check(value)) {
      if (units) return raise(PyExc_ValueError, "Cannot specify units when value is a string");
      std::string_view text;
      if (!extract_str(value, "value", text)) return nullptr;
      const QuantityText parts = parse_quantity_string(text);
      const std::optional<double> m = parse_decimal(parts.magnitude, false);
      if (!m) return raise(PyExc_ValueError, "Cannot parse magnitude: '" + std::string(parts.magnitude) + "'");
      magnitude = *m;
      unit_text = parts.units;
    } else {
      magnitude = PyFloat_AsDouble(value);
      if (magnitude == -1.0 && PyErr_Occurred()) return nullptr;
      if (units) unit_text = *units;
    }
    return quantity_of_text(magnitude, unit_text, *handle);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* rebind_quantity(PyQuantity* src, std::optional<std::string_view> units, const RegistryHandle& handle) {
  if (!units) return make_quantity(src->magnitude, src->units, handle);
  const double magnitude = src->magnitude;
  const UnitsContainer src_units = src->units;
  RegistryLock lock(handle);
  Result<UnitsContainer> target = lock->parse_unit_expr(*units);
  if (!target) return lock.unlock(), raise(target.error());
  Result<double> converted = lock->convert(magnitude, src_units, *target);
  lock.unlock();
  if (!converted) return raise(converted.error());
  return make_quantity(*converted, std::move(*target), handle);
}

void quantity_dealloc(PyObject* self) {
  PyQuantity* q = as_quantity(self);
  q->units.~UnitsContainer();
  q->registry.~RegistryHandle();
  Py_CLEAR(q->dimensionality_cache);
  PyTypeObject* type = Py_TYPE(self);
  free_quantity(q);
  Py_DECREF(type);
}

PyObject* quantity_get_magnitude(PyObject* self, void*) {
  SharedBorrow borrow(as_quantity(self));
  if (!borrow.ok()) return nullptr;
  return PyFloat_FromDouble(as_quantity(self)->magnitude);
}

PyObject* quantity_get_units(PyObject* self, void*) {
  try {
    PyQuantity* q = as_quantity(self);
    SharedBorrow borrow(q);
    if (!borrow.ok()) return nullptr;
    return make_unit(q->units, q->registry);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* quantity_get_registry(PyObject* self, void*) {
  SharedBorrow borrow(as_quantity(self));
  if (!borrow.ok()) return nullptr;
  return make_registry(as_quantity(self)->registry, nullptr);
}

int quantity_bool(PyObject* self) { return as_quantity(self)->magnitude != 0.0; }

namespace {

#define DOC(name, text) PyDoc_STRVAR(name, text)

DOC(to_doc, "to($self, units)\n--\n\n");
DOC(ito_doc, "ito($self, units)\n--\n\n");
DOC(m_as_doc, "m_as($self, units)\n--\n\n");
DOC(to_base_units_doc, "to_base_units($self)\n--\n\n");
DOC(to_root_units_doc, "to_root_units($self)\n--\n\n");
DOC(to_reduced_units_doc, "to_reduced_units($self)\n--\n\nReduce compound units to their simplest form.");
DOC(ito_base_units_doc, "ito_base_units($self)\n--\n\n");
DOC(ito_root_units_doc, "ito_root_units($self)\n--\n\n");
DOC(ito_reduced_units_doc, "ito_reduced_units($self)\n--\n\n");
DOC(to_unprefixed_doc, "to_unprefixed($self)\n--\n\nConvert prefixed units to their unprefixed base form.");
DOC(ito_unprefixed_doc, "ito_unprefixed($self)\n--\n\n");
DOC(to_compact_doc,
    "to_compact($self, unit=None)\n--\n\n"
    "Convert to the most \"compact\" form with the most appropriate SI prefix.");
DOC(to_preferred_doc,
    "to_preferred($self, preferred_units=None)\n--\n\nConvert to preferred units (list of unit strings).");
DOC(ito_preferred_doc, "ito_preferred($self, preferred_units=None)\n--\n\n");
DOC(format_doc, "__format__($self, spec)\n--\n\n");
DOC(units_str_doc, "_units_str($self)\n--\n\nInternal: get unit string for serialization");
DOC(units_dict_doc, "_units_dict($self)\n--\n\nInternal: get the raw units container as dict");
DOC(unit_items_doc, "unit_items($self)\n--\n\nReturn unit_name -> exponent items.");
DOC(to_tuple_doc, "to_tuple($self)\n--\n\nReturn (magnitude, units_tuple) for serialization.");
DOC(from_tuple_doc,
    "from_tuple(tup)\n--\n\nConstruct Quantity from tuple (magnitude, ((unit, exp), ...))");
DOC(reduce_doc, "__reduce__($self)\n--\n\n");
DOC(copy_doc, "__copy__($self)\n--\n\n");
DOC(deepcopy_doc, "__deepcopy__($self, _memo)\n--\n\n");
DOC(round_doc, "__round__($self, ndigits=None)\n--\n\n");
DOC(check_doc, "check($self, dimension)\n--\n\n");
DOC(compatible_units_doc, "compatible_units($self)\n--\n\n");
DOC(is_compatible_with_doc, "is_compatible_with($self, other)\n--\n\n");
DOC(to_timedelta_doc,
    "to_timedelta($self)\n--\n\nConvert to datetime.timedelta (for time quantities only).");
DOC(plus_minus_doc,
    "plus_minus($self, error, relative=False)\n--\n\nCreate a Measurement from this Quantity with given error.");
DOC(compare_doc, "compare($self, other, op)\n--\n\nCompare two quantities with a given operator string.");
DOC(quantity_doc, "Quantity(value, units=None)\n--\n\n");

PyMethodDef quantity_methods[] = {
    QUDIM_METHOD("to", quantity_to, to_doc),
    QUDIM_METHOD("ito", quantity_ito, ito_doc),
    QUDIM_METHOD("m_as", quantity_m_as, m_as_doc),
    QUDIM_METHOD("to_base_units", quantity_to_base_units, to_base_units_doc),
    QUDIM_METHOD("to_root_units", quantity_to_base_units, to_root_units_doc),
    QUDIM_METHOD("to_reduced_units", quantity_to_base_units, to_reduced_units_doc),
    QUDIM_METHOD("ito_base_units", quantity_ito_base_units, ito_base_units_doc),
    QUDIM_METHOD("ito_root_units", quantity_ito_base_units, ito_root_units_doc),
    QUDIM_METHOD("ito_reduced_units", quantity_ito_base_units, ito_reduced_units_doc),
    QUDIM_METHOD("to_unprefixed", quantity_to_unprefixed, to_unprefixed_doc),
    QUDIM_METHOD("ito_unprefixed", quantity_ito_unprefixed, ito_unprefixed_doc),
    QUDIM_METHOD("to_compact", quantity_to_compact, to_compact_doc),
    QUDIM_METHOD("to_preferred", quantity_to_preferred, to_preferred_doc),
    QUDIM_METHOD("ito_preferred", quantity_ito_preferred, ito_preferred_doc),
    QUDIM_METHOD("__format__", quantity_format, format_doc),
    QUDIM_METHOD("_units_str", quantity_units_str, units_str_doc),
    QUDIM_METHOD("_units_dict", quantity_units_dict, units_dict_doc),
    QUDIM_METHOD("unit_items", quantity_units_dict, unit_items_doc),
    QUDIM_METHOD("to_tuple", quantity_to_tuple, to_tuple_doc),
    {"from_tuple", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(quantity_from_tuple)),
     METH_FASTCALL | METH_KEYWORDS | METH_STATIC, from_tuple_doc},
    QUDIM_METHOD("__reduce__", quantity_reduce, reduce_doc),
    QUDIM_METHOD("__copy__", quantity_copy, copy_doc),
    QUDIM_METHOD("__deepcopy__", quantity_deepcopy, deepcopy_doc),
    QUDIM_METHOD("__round__", quantity_round, round_doc),
    QUDIM_METHOD("check", quantity_check, check_doc),
    QUDIM_METHOD("compatible_units", quantity_compatible_units, compatible_units_doc),
    QUDIM_METHOD("is_compatible_with", quantity_is_compatible_with, is_compatible_with_doc),
    QUDIM_METHOD("to_timedelta", quantity_to_timedelta, to_timedelta_doc),
    QUDIM_METHOD("plus_minus", quantity_plus_minus, plus_minus_doc),
    QUDIM_METHOD("compare", quantity_compare, compare_doc),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef quantity_getset[] = {
    {"magnitude", quantity_get_magnitude, nullptr, nullptr, nullptr},
    {"m", quantity_get_magnitude, nullptr, nullptr, nullptr},
    {"units", quantity_get_units, nullptr, nullptr, nullptr},
    {"u", quantity_get_units, nullptr, nullptr, nullptr},
    {"_registry", quantity_get_registry, nullptr, nullptr, nullptr},
    {"dimensionality", quantity_get_dimensionality, nullptr, nullptr, nullptr},
    {"dimensionless", quantity_get_dimensionless, nullptr, nullptr, nullptr},
    {"unitless", quantity_get_dimensionless, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot quantity_slots[] = {
    {Py_tp_doc, const_cast<char*>(quantity_doc)},
    {Py_tp_new, reinterpret_cast<void*>(quantity_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(quantity_dealloc)},
    {Py_tp_str, reinterpret_cast<void*>(quantity_str)},
    {Py_tp_repr, reinterpret_cast<void*>(quantity_repr)},
    {Py_tp_hash, reinterpret_cast<void*>(quantity_hash)},
    {Py_tp_richcompare, reinterpret_cast<void*>(quantity_richcompare)},
    {Py_tp_methods, quantity_methods},
    {Py_tp_getset, quantity_getset},
    {Py_nb_bool, reinterpret_cast<void*>(quantity_bool)},
    {Py_nb_float, reinterpret_cast<void*>(quantity_float)},
    {Py_nb_int, reinterpret_cast<void*>(quantity_int)},
    {Py_nb_add, reinterpret_cast<void*>(quantity_add)},
    {Py_nb_subtract, reinterpret_cast<void*>(quantity_subtract)},
    {Py_nb_multiply, reinterpret_cast<void*>(quantity_multiply)},
    {Py_nb_true_divide, reinterpret_cast<void*>(quantity_true_divide)},
    {Py_nb_floor_divide, reinterpret_cast<void*>(quantity_floor_divide)},
    {Py_nb_remainder, reinterpret_cast<void*>(quantity_remainder)},
    {Py_nb_power, reinterpret_cast<void*>(quantity_power)},
    {Py_nb_negative, reinterpret_cast<void*>(quantity_negative)},
    {Py_nb_absolute, reinterpret_cast<void*>(quantity_absolute)},
    {0, nullptr},
};

PyType_Spec quantity_spec = {
    "qudimrs._core.Quantity",
    sizeof(PyQuantity),
    0,
    Py_TPFLAGS_DEFAULT,
    quantity_slots,
};

}  // namespace

PyTypeObject* create_quantity_type() {
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&quantity_spec));
}

}  // namespace qudim::py
