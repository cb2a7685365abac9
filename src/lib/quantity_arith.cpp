// Quantity arithmetic slots (stubs until implemented).
#include "lib/quantity.hpp"

namespace qudim::py {

namespace {
PyObject* not_implemented() {
  PyErr_SetString(PyExc_NotImplementedError, "not implemented yet");
  return nullptr;
}
}  // namespace

PyObject* quantity_add(PyObject* left, PyObject* right) {
  (void)left; (void)right;
  not_implemented();
  return nullptr;
}

PyObject* quantity_subtract(PyObject* left, PyObject* right) {
  (void)left; (void)right;
  not_implemented();
  return nullptr;
}

PyObject* quantity_multiply(PyObject* left, PyObject* right) {
  (void)left; (void)right;
  not_implemented();
  return nullptr;
}

PyObject* quantity_true_divide(PyObject* left, PyObject* right) {
  (void)left; (void)right;
  not_implemented();
  return nullptr;
}

PyObject* quantity_floor_divide(PyObject* left, PyObject* right) {
  (void)left; (void)right;
  not_implemented();
  return nullptr;
}

PyObject* quantity_remainder(PyObject* left, PyObject* right) {
  (void)left; (void)right;
  not_implemented();
  return nullptr;
}

PyObject* quantity_power(PyObject* base, PyObject* exp, PyObject* mod) {
  (void)base; (void)exp; (void)mod;
  not_implemented();
  return nullptr;
}

PyObject* quantity_negative(PyObject* self) {
  (void)self;
  not_implemented();
  return nullptr;
}

PyObject* quantity_absolute(PyObject* self) {
  (void)self;
  not_implemented();
  return nullptr;
}

}  // namespace qudim::py
