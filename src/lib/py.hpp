// Python.h, included first everywhere in the binding, with the clean-API macro.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

/// Parameters of a METH_FASTCALL | METH_KEYWORDS method.
#define QUDIM_FASTCALL_PARAMS PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kwnames

/// A PyMethodDef entry of a METH_FASTCALL | METH_KEYWORDS method.
#define QUDIM_METHOD(pyname, fn, doc) \
  {pyname, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn)), METH_FASTCALL | METH_KEYWORDS, doc}
