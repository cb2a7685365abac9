// The module's six exception classes and the one place core errors become
// Python exceptions.
#pragma once

#include "lib/py.hpp"

#include <string_view>  // std::string_view

#include "errors.hpp"  // QudimError, ErrorKind

namespace qudim::py {

/// The base class _core.QudimError_Py and the class of each core error kind,
/// created once per process on first need. Borrowed references, or nullptr
/// with an exception set.
PyObject* base_error();
PyObject* error_class(ErrorKind kind);
inline PyObject* dimensionality_error() { return error_class(ErrorKind::Dimensionality); }

/// The one place a core error becomes a Python exception: the class of its
/// kind with its message as the only argument, its note (if any) attached
/// with add_note. Always returns nullptr.
PyObject* raise(const QudimError& error);
/// The same message and note raised as type (unit attributes report an
/// unknown name as AttributeError).
PyObject* raise_as(PyObject* type, const QudimError& error);
/// Raises type with a message. Always returns nullptr.
PyObject* raise(PyObject* type, const char* message);
PyObject* raise(PyObject* type, std::string_view message);

}  // namespace qudim::py
