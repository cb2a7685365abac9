// The module's six exception classes and the one place core errors become
// Python exceptions.
#pragma once

#include "lib/py.hpp"

#include <string>  // std::string

#include "errors.hpp"  // QudimError, ErrorKind

namespace qudim::py {

/// The six exception classes, created once per process on first need.
/// Returns a borrowed reference, or nullptr with an exception set.
PyObject* base_error();              // _core.QudimError_Py
PyObject* dimensionality_error();
PyObject* undefined_unit_error();
PyObject* offset_unit_calculus_error();
PyObject* definition_syntax_error();
PyObject* redefinition_error();
/// The class for a core error kind (borrowed).
PyObject* error_class(ErrorKind kind);

/// A Python error held as a value (class + message) until it is raised, so
/// nothing Python is built while a registry lock is held.
struct DeferredError {
  PyObject* type = nullptr;  // borrowed: a builtin or one of the cached classes
  std::string message;
};

/// Turns a core error into its deferred Python error.
DeferredError to_py_err(const QudimError& error);

/// Raises a deferred error (sets the current exception). Always returns nullptr.
PyObject* raise(const DeferredError& error);
/// Raises a core error through to_py_err. Always returns nullptr.
PyObject* raise(const QudimError& error);
/// Raises type with a fixed message. Always returns nullptr.
PyObject* raise(PyObject* type, const char* message);
PyObject* raise(PyObject* type, const std::string& message);

/// Raises MemoryError for std::bad_alloc and SystemError for anything else
/// thrown by C++ code; used in the catch blocks of every entry point.
PyObject* raise_from_current_exception();

}  // namespace qudim::py
