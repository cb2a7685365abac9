// Exception classes of the module and the core-error mapping.
#include "lib/errors_py.hpp"

#include "lib/entry.hpp"  // set_error_from_current_exception

#include <exception>  // std::exception_ptr
#include <new>        // std::bad_alloc

namespace qudim::py {

namespace {

PyObject* make_class(PyObject*& slot, const char* qualified_name, const char* doc, PyObject* base) {
  if (slot != nullptr) return slot;
  if (base == nullptr) return nullptr;
  slot = PyErr_NewExceptionWithDoc(qualified_name, doc, base, nullptr);
  if (slot == nullptr) {
    PyErr_SetString(PyExc_RuntimeError, "Failed to initialize new exception type.");
  }
  return slot;
}

PyObject* g_base = nullptr;
PyObject* g_dimensionality = nullptr;
PyObject* g_undefined = nullptr;
PyObject* g_offset = nullptr;
PyObject* g_syntax = nullptr;
PyObject* g_redefinition = nullptr;

}  // namespace

PyObject* base_error() {
  return make_class(g_base, "_core.QudimError_Py", "Base qudim error.", PyExc_ValueError);
}
PyObject* dimensionality_error() {
  return make_class(g_dimensionality, "_core.DimensionalityError",
                    "Raised when converting between incompatible dimensions.", base_error());
}
PyObject* undefined_unit_error() {
  return make_class(g_undefined, "_core.UndefinedUnitError",
                    "Raised when a unit is not found in the registry.", base_error());
}
PyObject* offset_unit_calculus_error() {
  return make_class(g_offset, "_core.OffsetUnitCalculusError",
                    "Raised on ambiguous operations with offset units.", base_error());
}
PyObject* definition_syntax_error() {
  return make_class(g_syntax, "_core.DefinitionSyntaxError",
                    "Raised on malformed unit definitions.", base_error());
}
PyObject* redefinition_error() {
  return make_class(g_redefinition, "_core.RedefinitionError",
                    "Raised when redefining an existing unit.", base_error());
}

PyObject* error_class(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Dimensionality: return dimensionality_error();
    case ErrorKind::UndefinedUnit: return undefined_unit_error();
    case ErrorKind::OffsetUnitCalculus: return offset_unit_calculus_error();
    case ErrorKind::DefinitionSyntax: return definition_syntax_error();
    case ErrorKind::Redefinition: return redefinition_error();
  }
  return base_error();
}

DeferredError to_py_err(const QudimError& error) {
  return DeferredError{error_class(error.kind()), error.message()};
}

PyObject* raise(const DeferredError& error) {
  if (error.type == nullptr) return nullptr;  // class creation failed: its error is set
  PyObject* msg = PyUnicode_FromStringAndSize(error.message.data(),
                                              static_cast<Py_ssize_t>(error.message.size()));
  if (msg == nullptr) return nullptr;
  PyErr_SetObject(error.type, msg);
  Py_DECREF(msg);
  return nullptr;
}

PyObject* raise(const QudimError& error) {
  raise(to_py_err(error));
  if (error.note().empty()) return nullptr;
  // The note travels on the exception object (shown by tracebacks), never in
  // its message or args.
  PyObject* exc = PyErr_GetRaisedException();
  PyObject* note = PyUnicode_FromStringAndSize(error.note().data(),
                                               static_cast<Py_ssize_t>(error.note().size()));
  PyObject* done = note != nullptr ? PyObject_CallMethod(exc, "add_note", "O", note) : nullptr;
  Py_XDECREF(note);
  if (done == nullptr) {
    Py_DECREF(exc);  // the failure to attach the note is what is raised
    return nullptr;
  }
  Py_DECREF(done);
  PyErr_SetRaisedException(exc);
  return nullptr;
}

PyObject* raise(PyObject* type, const char* message) {
  PyErr_SetString(type, message);
  return nullptr;
}

PyObject* raise(PyObject* type, const std::string& message) {
  return raise(DeferredError{type, message});
}

void set_error_from_current_exception() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "internal error in qudimrs._core");
  }
}

PyObject* raise_from_current_exception() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "internal error in qudimrs._core");
    return nullptr;
  }
}

}  // namespace qudim::py
