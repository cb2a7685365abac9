// Quantity conversion methods (stubs until implemented).
#include "lib/quantity.hpp"

namespace qudim::py {

namespace {
PyObject* not_implemented() {
  PyErr_SetString(PyExc_NotImplementedError, "not implemented yet");
  return nullptr;
}
}  // namespace

QUDIM_FASTCALL(quantity_to) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_ito) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_m_as) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_to_base_units) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_ito_base_units) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_to_unprefixed) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_ito_unprefixed) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_to_compact) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_to_preferred) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_ito_preferred) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

}  // namespace qudim::py
