// The Unit type (minimal until its members are implemented).
#include "lib/py.hpp"

#include "lib/objects.hpp"  // PyUnit

namespace qudim::py {

namespace {

void unit_dealloc(PyObject* self) {
  PyUnit* u = as_unit(self);
  u->units.~UnitsContainer();
  u->registry.~RegistryHandle();
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyType_Slot unit_slots[] = {
    {Py_tp_doc, const_cast<char*>("Unit(units)\n--\n\n")},
    {Py_tp_dealloc, reinterpret_cast<void*>(unit_dealloc)},
    {0, nullptr},
};

PyType_Spec unit_spec = {"qudimrs._core.Unit", sizeof(PyUnit), 0, Py_TPFLAGS_DEFAULT, unit_slots};

}  // namespace

PyTypeObject* create_unit_type() {
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&unit_spec));
}

}  // namespace qudim::py
