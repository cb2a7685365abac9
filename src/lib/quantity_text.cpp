// Quantity text, tuple and pickle forms, copies, hash, numbers (stubs until implemented).
#include "lib/quantity.hpp"

namespace qudim::py {

namespace {
PyObject* not_implemented() {
  PyErr_SetString(PyExc_NotImplementedError, "not implemented yet");
  return nullptr;
}
}  // namespace

PyObject* quantity_str(PyObject* self) {
  (void)self;
  not_implemented();
  return nullptr;
}

PyObject* quantity_repr(PyObject* self) {
  (void)self;
  not_implemented();
  return nullptr;
}

Py_hash_t quantity_hash(PyObject* self) {
  (void)self;
  not_implemented();
  return -1;
}

PyObject* quantity_float(PyObject* self) {
  (void)self;
  not_implemented();
  return nullptr;
}

PyObject* quantity_int(PyObject* self) {
  (void)self;
  not_implemented();
  return nullptr;
}

QUDIM_FASTCALL(quantity_format) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_units_str) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_units_dict) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_to_tuple) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_from_tuple) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_reduce) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_copy) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_deepcopy) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

QUDIM_FASTCALL(quantity_round) {
  (void)self; (void)args; (void)nargs; (void)kwnames;
  return not_implemented();
}

}  // namespace qudim::py
