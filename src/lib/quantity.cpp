// The Quantity type: construction, basic properties, truth value, and the
// table that assembles every member into the class.
#include "lib/quantity.hpp"

#include <optional>  // std::optional
#include <string>    // std::string

#include "lib/args.hpp"                  // bind_args, extract_*
#include "lib/entry.hpp"                 // entry, fastcall_method, locked
#include "lib/errors_py.hpp"             // raise
#include "lib/objects.hpp"               // PyQuantity, make_*
#include "number_text.hpp"               // parse_decimal
#include "quantity/quantity_ops.hpp"     // to_units
#include "quantity/quantity_string.hpp"  // parse_quantity_string

namespace qudim::py {

namespace {

const char* const kNewParams[] = {"value", "units"};
const Signature kNewSig{"Quantity.__new__()", kNewParams, 2, 1};

}  // namespace

PyObject* quantity_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  PyObject* a[2];
  if (!bind_args(kNewSig, args, kwargs, a)) return nullptr;
  // Keyword arguments are borrowed from a dict that Python code run below
  // (value's __float__, a finalizer) may empty; the views into the units
  // text must outlive that, so both arguments are held.
  const Held value(Py_XNewRef(a[0]));
  const Held units_arg(Py_XNewRef(a[1]));
  std::optional<std::string_view> units;
  if (!extract_optional_str(units_arg.get(), "units", units)) return nullptr;
  // Every directly constructed quantity gets a registry of its own.
  const RegistryHandle handle = RegistryHandle::fresh();

  if (is_quantity(value.get())) return rebind_quantity(as_quantity(value.get()), units, handle);

  double magnitude;
  std::string_view unit_text = "dimensionless";
  if (PyUnicode_Check(value.get())) {
    if (units) return raise(PyExc_ValueError, "Cannot specify units when value is a string");
    std::string_view text;
    if (!extract_str(value.get(), "value", text)) return nullptr;
    const QuantityText parts = parse_quantity_string(text);
    const std::optional<double> m = parse_decimal(parts.magnitude, false);
    if (!m) {
      return raise(PyExc_ValueError,
                   "Cannot parse magnitude: '" + std::string(parts.magnitude) + "'");
    }
    magnitude = *m;
    unit_text = parts.units;
  } else {
    magnitude = PyFloat_AsDouble(value.get());
    if (magnitude == -1.0 && PyErr_Occurred()) return nullptr;
    if (units) unit_text = *units;
  }
  return quantity_of_text(magnitude, unit_text, handle);
}

PyObject* rebind_quantity(PyQuantity* src, std::optional<std::string_view> units,
                          const RegistryHandle& handle) {
  if (!units) return make_quantity(src->magnitude, src->units, handle);
  Result<QuantityValue> r = locked(
      handle, [&](UnitRegistry& reg) { return to_units(reg, src->magnitude, src->units, *units); });
  if (!r) return raise(r.error());
  return make_quantity(r->magnitude, std::move(r->units), handle);
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
  SharedBorrow b(as_quantity(self));
  if (!b.ok()) return nullptr;
  return PyFloat_FromDouble(as_quantity(self)->magnitude);
}

PyObject* quantity_get_units(PyObject* self, void*) {
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return make_unit(q->units, q->registry);
}

PyObject* quantity_get_registry(PyObject* self, void*) {
  SharedBorrow b(as_quantity(self));
  if (!b.ok()) return nullptr;
  return make_registry(as_quantity(self)->registry, nullptr);
}

int quantity_bool(PyObject* self) { return as_quantity(self)->magnitude != 0.0; }

namespace {

// The methods whose implementation another name shares have their own
// signatures here, so that argument errors name the method called.
const Signature kToBaseUnitsSig{"Quantity.to_base_units()", kNoParams, 0, 0};
const Signature kToRootUnitsSig{"Quantity.to_root_units()", kNoParams, 0, 0};
const Signature kToReducedUnitsSig{"Quantity.to_reduced_units()", kNoParams, 0, 0};
const Signature kItoBaseUnitsSig{"Quantity.ito_base_units()", kNoParams, 0, 0};
const Signature kItoRootUnitsSig{"Quantity.ito_root_units()", kNoParams, 0, 0};
const Signature kItoReducedUnitsSig{"Quantity.ito_reduced_units()", kNoParams, 0, 0};
const Signature kToUnprefixedSig{"Quantity.to_unprefixed()", kNoParams, 0, 0};
const Signature kItoUnprefixedSig{"Quantity.ito_unprefixed()", kNoParams, 0, 0};
const Signature kUnitsDictSig{"Quantity._units_dict()", kNoParams, 0, 0};
const Signature kUnitItemsSig{"Quantity.unit_items()", kNoParams, 0, 0};

PyDoc_STRVAR(to_doc, "to($self, units)\n--\n\n");
PyDoc_STRVAR(ito_doc, "ito($self, units)\n--\n\n");
PyDoc_STRVAR(m_as_doc, "m_as($self, units)\n--\n\n");
PyDoc_STRVAR(to_base_units_doc, "to_base_units($self)\n--\n\n");
PyDoc_STRVAR(to_root_units_doc, "to_root_units($self)\n--\n\n");
PyDoc_STRVAR(to_reduced_units_doc,
             "to_reduced_units($self)\n--\n\nReduce compound units to their simplest form.");
PyDoc_STRVAR(ito_base_units_doc, "ito_base_units($self)\n--\n\n");
PyDoc_STRVAR(ito_root_units_doc, "ito_root_units($self)\n--\n\n");
PyDoc_STRVAR(ito_reduced_units_doc, "ito_reduced_units($self)\n--\n\n");
PyDoc_STRVAR(to_unprefixed_doc,
             "to_unprefixed($self)\n--\n\nConvert prefixed units to their unprefixed base form.");
PyDoc_STRVAR(ito_unprefixed_doc, "ito_unprefixed($self)\n--\n\n");
PyDoc_STRVAR(to_compact_doc,
             "to_compact($self, unit=None)\n--\n\n"
             "Convert to the most \"compact\" form with the most appropriate SI prefix.");
PyDoc_STRVAR(to_preferred_doc,
             "to_preferred($self, preferred_units=None)\n--\n\nConvert to preferred units (list of "
             "unit strings).");
PyDoc_STRVAR(ito_preferred_doc, "ito_preferred($self, preferred_units=None)\n--\n\n");
PyDoc_STRVAR(format_doc, "__format__($self, spec)\n--\n\n");
PyDoc_STRVAR(units_str_doc, "_units_str($self)\n--\n\nInternal: get unit string for serialization");
PyDoc_STRVAR(units_dict_doc,
             "_units_dict($self)\n--\n\nInternal: get the raw units container as dict");
PyDoc_STRVAR(unit_items_doc, "unit_items($self)\n--\n\nReturn unit_name -> exponent items.");
PyDoc_STRVAR(to_tuple_doc,
             "to_tuple($self)\n--\n\nReturn (magnitude, units_tuple) for serialization.");
PyDoc_STRVAR(
    from_tuple_doc,
    "from_tuple(tup)\n--\n\nConstruct Quantity from tuple (magnitude, ((unit, exp), ...))");
PyDoc_STRVAR(reduce_doc, "__reduce__($self)\n--\n\n");
PyDoc_STRVAR(copy_doc, "__copy__($self)\n--\n\n");
PyDoc_STRVAR(deepcopy_doc, "__deepcopy__($self, _memo)\n--\n\n");
PyDoc_STRVAR(round_doc, "__round__($self, ndigits=None)\n--\n\n");
PyDoc_STRVAR(check_doc, "check($self, dimension)\n--\n\n");
PyDoc_STRVAR(compatible_units_doc, "compatible_units($self)\n--\n\n");
PyDoc_STRVAR(is_compatible_with_doc, "is_compatible_with($self, other)\n--\n\n");
PyDoc_STRVAR(
    to_timedelta_doc,
    "to_timedelta($self)\n--\n\nConvert to datetime.timedelta (for time quantities only).");
PyDoc_STRVAR(plus_minus_doc,
             "plus_minus($self, error, relative=False)\n--\n\nCreate a Measurement from this "
             "Quantity with given error.");
PyDoc_STRVAR(
    compare_doc,
    "compare($self, other, op)\n--\n\nCompare two quantities with a given operator string.");
PyDoc_STRVAR(quantity_doc, "Quantity(value, units=None)\n--\n\n");

PyMethodDef quantity_methods[] = {
    fastcall_method<quantity_to>("to", to_doc),
    fastcall_method<quantity_ito>("ito", ito_doc),
    fastcall_method<quantity_m_as>("m_as", m_as_doc),
    fastcall_method<quantity_convert<kToBaseUnitsSig, to_base>>("to_base_units", to_base_units_doc),
    fastcall_method<quantity_convert<kToRootUnitsSig, to_base>>("to_root_units", to_root_units_doc),
    fastcall_method<quantity_convert<kToReducedUnitsSig, to_base>>("to_reduced_units",
                                                                   to_reduced_units_doc),
    fastcall_method<quantity_convert_in_place<kItoBaseUnitsSig, to_base>>("ito_base_units",
                                                                          ito_base_units_doc),
    fastcall_method<quantity_convert_in_place<kItoRootUnitsSig, to_base>>("ito_root_units",
                                                                          ito_root_units_doc),
    fastcall_method<quantity_convert_in_place<kItoReducedUnitsSig, to_base>>("ito_reduced_units",
                                                                             ito_reduced_units_doc),
    fastcall_method<quantity_convert<kToUnprefixedSig, to_unprefixed>>("to_unprefixed",
                                                                       to_unprefixed_doc),
    fastcall_method<quantity_convert_in_place<kItoUnprefixedSig, to_unprefixed>>(
        "ito_unprefixed", ito_unprefixed_doc),
    fastcall_method<quantity_to_compact>("to_compact", to_compact_doc),
    fastcall_method<quantity_to_preferred>("to_preferred", to_preferred_doc),
    fastcall_method<quantity_ito_preferred>("ito_preferred", ito_preferred_doc),
    fastcall_method<quantity_format>("__format__", format_doc),
    fastcall_method<quantity_units_str>("_units_str", units_str_doc),
    fastcall_method<quantity_units_dict<kUnitsDictSig>>("_units_dict", units_dict_doc),
    fastcall_method<quantity_units_dict<kUnitItemsSig>>("unit_items", unit_items_doc),
    fastcall_method<quantity_to_tuple>("to_tuple", to_tuple_doc),
    {"from_tuple",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry<quantity_from_tuple>)),
     METH_FASTCALL | METH_KEYWORDS | METH_STATIC, from_tuple_doc},
    fastcall_method<quantity_reduce>("__reduce__", reduce_doc),
    fastcall_method<quantity_copy>("__copy__", copy_doc),
    fastcall_method<quantity_deepcopy>("__deepcopy__", deepcopy_doc),
    fastcall_method<quantity_round>("__round__", round_doc),
    fastcall_method<quantity_check>("check", check_doc),
    fastcall_method<quantity_compatible_units>("compatible_units", compatible_units_doc),
    fastcall_method<quantity_is_compatible_with>("is_compatible_with", is_compatible_with_doc),
    fastcall_method<quantity_to_timedelta>("to_timedelta", to_timedelta_doc),
    fastcall_method<quantity_plus_minus>("plus_minus", plus_minus_doc),
    fastcall_method<quantity_compare>("compare", compare_doc),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef quantity_getset[] = {
    {"magnitude", entry<quantity_get_magnitude>, nullptr, nullptr, nullptr},
    {"m", entry<quantity_get_magnitude>, nullptr, nullptr, nullptr},
    {"units", entry<quantity_get_units>, nullptr, nullptr, nullptr},
    {"u", entry<quantity_get_units>, nullptr, nullptr, nullptr},
    {"_registry", entry<quantity_get_registry>, nullptr, nullptr, nullptr},
    {"dimensionality", entry<quantity_get_dimensionality>, nullptr, nullptr, nullptr},
    {"dimensionless", entry<quantity_get_dimensionless>, nullptr, nullptr, nullptr},
    {"unitless", entry<quantity_get_dimensionless>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot quantity_slots[] = {
    {Py_tp_doc, const_cast<char*>(quantity_doc)},
    {Py_tp_new, reinterpret_cast<void*>(entry<quantity_new>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(quantity_dealloc)},
    {Py_tp_str, reinterpret_cast<void*>(entry<quantity_str>)},
    {Py_tp_repr, reinterpret_cast<void*>(entry<quantity_repr>)},
    {Py_tp_hash, reinterpret_cast<void*>(entry<quantity_hash>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(entry<quantity_richcompare>)},
    {Py_tp_methods, quantity_methods},
    {Py_tp_getset, quantity_getset},
    {Py_nb_bool, reinterpret_cast<void*>(quantity_bool)},
    {Py_nb_float, reinterpret_cast<void*>(entry<quantity_float>)},
    {Py_nb_int, reinterpret_cast<void*>(entry<quantity_int>)},
    {Py_nb_add, reinterpret_cast<void*>(entry<quantity_add>)},
    {Py_nb_subtract, reinterpret_cast<void*>(entry<quantity_subtract>)},
    {Py_nb_multiply, reinterpret_cast<void*>(entry<quantity_multiply>)},
    {Py_nb_true_divide, reinterpret_cast<void*>(entry<quantity_true_divide>)},
    {Py_nb_floor_divide, reinterpret_cast<void*>(entry<quantity_floor_divide>)},
    {Py_nb_remainder, reinterpret_cast<void*>(entry<quantity_remainder>)},
    {Py_nb_power, reinterpret_cast<void*>(entry<quantity_power>)},
    {Py_nb_negative, reinterpret_cast<void*>(entry<quantity_negative>)},
    {Py_nb_absolute, reinterpret_cast<void*>(entry<quantity_absolute>)},
    {0, nullptr},
};

PyType_Spec quantity_spec = {
    .name = "qudimrs._core.Quantity",
    .basicsize = sizeof(PyQuantity),
    .itemsize = 0,
    .flags = Py_TPFLAGS_DEFAULT,
    .slots = quantity_slots,
};

}  // namespace

PyTypeObject* create_quantity_type() {
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&quantity_spec));
}

}  // namespace qudim::py
