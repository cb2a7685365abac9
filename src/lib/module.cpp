// The extension module qudimrs._core: its entry point and contents.
#include "lib/py.hpp"

#include "lib/entry.hpp"      // entry
#include "lib/errors_py.hpp"  // base_error, error_class, raise
#include "lib/objects.hpp"    // the three types

namespace qudim::py {
namespace {

PyModuleDef g_module_def = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "_core",
    .m_doc = "",
    .m_size = 0,  // no per-module state
    .m_methods = nullptr,
    .m_slots = nullptr,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nullptr,
};

PyObject* g_module = nullptr;
PyInterpreterState* g_interpreter = nullptr;

/// The three classes, in the order they join the module.
struct TypeAttribute {
  const char* name;
  PyTypeObject*& type;
  PyTypeObject* (*create)();
};
const TypeAttribute kTypes[] = {
    {"UnitRegistry", RegistryType, create_registry_type},
    {"Quantity", QuantityType, create_quantity_type},
    {"Unit", UnitType, create_unit_type},
};

/// The exception classes after the base class, in the order they join.
struct ErrorAttribute {
  const char* name;
  ErrorKind kind;
};
constexpr ErrorAttribute kErrors[] = {
    {"DimensionalityError", ErrorKind::Dimensionality},
    {"UndefinedUnitError", ErrorKind::UndefinedUnit},
    {"OffsetUnitCalculusError", ErrorKind::OffsetUnitCalculus},
    {"DefinitionSyntaxError", ErrorKind::DefinitionSyntax},
    {"RedefinitionError", ErrorKind::Redefinition},
};

/// Adds obj under name (new reference taken); false with the error pending.
bool add(PyObject* module, const char* name, PyObject* obj) {
  return obj != nullptr && PyModule_AddObjectRef(module, name, obj) == 0;
}

/// Adds the classes and exception classes to a new module.
bool fill(PyObject* module) {
  for (const TypeAttribute& t : kTypes) {
    if (t.type == nullptr) t.type = t.create();
    if (!add(module, t.name, reinterpret_cast<PyObject*>(t.type))) return false;
  }
  if (!add(module, "QudimError", base_error())) return false;
  for (const ErrorAttribute& e : kErrors) {
    if (!add(module, e.name, error_class(e.kind))) return false;
  }
  return true;
}

/// The module, made on the first import and the same one afterwards.
PyObject* init_module() {
  PyInterpreterState* interp = PyInterpreterState_Get();
  if (g_module != nullptr) {
    // Types and exception classes are process-wide, so the module can only
    // live in the interpreter that first imported it.
    if (interp != g_interpreter) {
      return raise(PyExc_ImportError, "qudimrs._core does not support loading in subinterpreters");
    }
    return Py_NewRef(g_module);
  }
  PyObject* m = PyModule_Create2(&g_module_def, PYTHON_API_VERSION);
  if (m == nullptr) return nullptr;
  if (!fill(m)) {
    Py_DECREF(m);
    return nullptr;
  }
  g_module = Py_NewRef(m);
  g_interpreter = interp;
  return m;
}

}  // namespace
}  // namespace qudim::py

PyMODINIT_FUNC PyInit__core(void) { return qudim::py::entry<qudim::py::init_module>(); }
