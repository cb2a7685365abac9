// Exception classes of the module and the core-error mapping.
#include "lib/errors_py.hpp"

#include <cstddef>  // std::size_t
#include <new>      // std::bad_alloc

#include "lib/entry.hpp"  // set_error_from_current_exception

namespace qudim::py {

namespace {

/// Qualified name and docstring of each core error kind's class, in the
/// order of ErrorKind.
struct ClassText {
  const char* name;
  const char* doc;
};
constexpr ClassText kKindClasses[] = {
    {"_core.DimensionalityError", "Raised when converting between incompatible dimensions."},
    {"_core.UndefinedUnitError", "Raised when a unit is not found in the registry."},
    {"_core.OffsetUnitCalculusError", "Raised on ambiguous operations with offset units."},
    {"_core.DefinitionSyntaxError", "Raised on malformed unit definitions."},
    {"_core.RedefinitionError", "Raised when redefining an existing unit."},
};
constexpr std::size_t kKinds = sizeof(kKindClasses) / sizeof(kKindClasses[0]);

PyObject* g_base = nullptr;
PyObject* g_kind_classes[kKinds] = {};

/// The class cached in slot, created on first need.
PyObject* cached_class(PyObject*& slot, const char* qualified_name, const char* doc,
                       PyObject* base) {
  if (slot != nullptr) return slot;
  if (base == nullptr) return nullptr;
  slot = PyErr_NewExceptionWithDoc(qualified_name, doc, base, nullptr);
  if (slot == nullptr) {
    PyErr_SetString(PyExc_RuntimeError, "Failed to initialize new exception type.");
  }
  return slot;
}

}  // namespace

PyObject* base_error() {
  return cached_class(g_base, "_core.QudimError_Py", "Base qudim error.", PyExc_ValueError);
}

PyObject* error_class(ErrorKind kind) {
  const auto i = static_cast<std::size_t>(kind);
  return cached_class(g_kind_classes[i], kKindClasses[i].name, kKindClasses[i].doc, base_error());
}

PyObject* raise(PyObject* type, const char* message) {
  PyErr_SetString(type, message);
  return nullptr;
}

PyObject* raise(PyObject* type, std::string_view message) {
  PyObject* text =
      PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size()));
  if (text == nullptr) return nullptr;
  PyErr_SetObject(type, text);
  Py_DECREF(text);
  return nullptr;
}

PyObject* raise_as(PyObject* type, const QudimError& error) {
  if (type == nullptr) return nullptr;  // class creation failed: its error is set
  raise(type, error.message());
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

PyObject* raise(const QudimError& error) { return raise_as(error_class(error.kind()), error); }

void set_error_from_current_exception() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "internal error in qudimrs._core");
  }
}

}  // namespace qudim::py
