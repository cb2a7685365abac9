// The extension module qudimrs._core: its entry point and contents.
#include "lib/py.hpp"

#include "lib/errors_py.hpp"  // exception classes
#include "lib/objects.hpp"    // the three types

namespace qudim::py {
namespace {

PyModuleDef g_module_def = {
    PyModuleDef_HEAD_INIT,
    "_core",  // m_name
    "",       // m_doc
    0,        // m_size: no per-module state
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

PyObject* g_module = nullptr;
PyInterpreterState* g_interpreter = nullptr;

/// Adds obj under name (new reference taken); false with the error pending.
bool add(PyObject* module, const char* name, PyObject* obj) {
  return obj != nullptr && PyModule_AddObjectRef(module, name, obj) == 0;
}

PyObject* create_module() {
  PyObject* m = PyModule_Create2(&g_module_def, PYTHON_API_VERSION);
  if (m == nullptr) return nullptr;
  if (RegistryType == nullptr) RegistryType = create_registry_type();
  if (!add(m, "UnitRegistry", reinterpret_cast<PyObject*>(RegistryType))) goto fail;
  if (QuantityType == nullptr) QuantityType = create_quantity_type();
  if (!add(m, "Quantity", reinterpret_cast<PyObject*>(QuantityType))) goto fail;
  if (UnitType == nullptr) UnitType = create_unit_type();
  if (!add(m, "Unit", reinterpret_cast<PyObject*>(UnitType))) goto fail;
  if (!add(m, "QudimError", base_error())) goto fail;
  if (!add(m, "DimensionalityError", dimensionality_error())) goto fail;
  if (!add(m, "UndefinedUnitError", undefined_unit_error())) goto fail;
  if (!add(m, "OffsetUnitCalculusError", offset_unit_calculus_error())) goto fail;
  if (!add(m, "DefinitionSyntaxError", definition_syntax_error())) goto fail;
  if (!add(m, "RedefinitionError", redefinition_error())) goto fail;
  return m;
fail:
  Py_DECREF(m);
  return nullptr;
}

}  // namespace
}  // namespace qudim::py

PyMODINIT_FUNC PyInit__core(void) {
  using namespace qudim::py;
  try {
    PyInterpreterState* interp = PyInterpreterState_Get();
    if (g_module != nullptr) {
      // Types and exception classes are process-wide, so the module can only
      // live in the interpreter that first imported it.
      if (interp != g_interpreter) {
        PyErr_SetString(PyExc_ImportError,
                        "qudimrs._core does not support loading in subinterpreters");
        return nullptr;
      }
      return Py_NewRef(g_module);
    }
    PyObject* m = create_module();
    if (m == nullptr) return nullptr;
    g_module = Py_NewRef(m);
    g_interpreter = interp;
    return m;
  } catch (...) {
    return raise_from_current_exception();
  }
}
