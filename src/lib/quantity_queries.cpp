// Quantity dimension queries and bridges (stubs until implemented).
#include "lib/quantity.hpp"

namespace qudim::py {

namespace {
PyObject* not_implemented() {
  PyErr_SetString(PyExc_NotImplementedError, "not implemented yet");
  return nullptr;
}
}  // namespace

PyObject* quantity_get_dimensionality(PyObject* self, void*) {
  (void)self;
  not_implemented();
  return nullptr;
}

PyObject* quantity_get_dimensionless(PyObject* self, void*) {
  (void)self;
  not_implemented();
  return nullptr;
}

QUDIM_FASTCALL(quantity_check) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_compatible_units) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_is_compatible_with) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_to_timedelta) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_plus_minus) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

}  // namespace qudim::py
