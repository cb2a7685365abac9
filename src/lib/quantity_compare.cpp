// Quantity comparisons (stubs until implemented).
#include "lib/quantity.hpp"

namespace qudim::py {

namespace {
PyObject* not_implemented() {
  PyErr_SetString(PyExc_NotImplementedError, "not implemented yet");
  return nullptr;
}
}  // namespace

PyObject* quantity_richcompare(PyObject* self, PyObject* other, int op) {
  (void)self; (void)other; (void)op;
  not_implemented();
  return nullptr;
}

QUDIM_FASTCALL(quantity_compare) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

}  // namespace qudim::py
