// The one argument-binding helper every method uses: matches positional and
// keyword arguments to parameter names and converts them, with the exact
// TypeError texts of the module's calling conventions.
#pragma once

#include "lib/py.hpp"

#include <optional>     // std::optional
#include <string_view>  // std::string_view

namespace qudim::py {

/// A method's parameters: display name "Class.method()", parameter names,
/// how many are required (the first ones) and how many are positional-only.
struct Signature {
  const char* display;
  const char* const* names;
  int count;
  int required;
  int positional_only = 0;
};

/// The parameter names of every method that takes none.
inline constexpr const char* kNoParams[] = {nullptr};

/// bind_args for calls with keywords or a wrong argument count.
bool bind_args_matching(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames, PyObject** out);

/// Matches vectorcall-style arguments; out[i] receives a borrowed reference
/// or nullptr for a parameter not given. False with TypeError set on mismatch.
inline bool bind_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames, PyObject** out) {
  // The common call, positional arguments in the accepted range, has
  // nothing to match or report.
  if (kwnames == nullptr && nargs >= sig.required && nargs <= sig.count) {
    for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
    for (Py_ssize_t i = nargs; i < sig.count; ++i) out[i] = nullptr;
    return true;
  }
  return bind_args_matching(sig, args, nargs, kwnames, out);
}
/// Binds a method without parameters (surplus arguments get the same texts).
bool bind_no_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
/// The same for a tuple and an optional dict (type constructors). What comes
/// from the dict is borrowed from an object other code can change (unpickling
/// hands a constructor a dict of its own): hold a reference to an argument
/// before anything that can run Python code while it is still in use.
bool bind_args(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out);

/// Prefixes a pending TypeError with "argument '{name}': "; other errors pass
/// unchanged. Always returns false.
bool argument_error(const char* name);
/// Raises "argument '{name}': '{type}' object cannot be converted to '{expected}'".
bool conversion_error(const char* name, PyObject* given, const char* expected);

/// The class name of obj's type without its module ("Quantity", "int").
const char* short_type_name(PyObject* obj);

/// A str argument as UTF-8, a view into obj: valid only while obj lives, so
/// nothing that can run Python code may come between this and its last use
/// unless the caller holds its own reference to obj.
bool extract_str(PyObject* obj, const char* name, std::string_view& out);
/// A str-or-None argument; nullptr (not given) and None give nullopt.
bool extract_optional_str(PyObject* obj, const char* name, std::optional<std::string_view>& out);
/// A double through the float protocol (float, int, __float__, __index__).
bool extract_double(PyObject* obj, const char* name, double& out);

/// The float protocol with exact floats and ints taken directly, so ordinary
/// operands never allocate a temporary float. False with the conversion's
/// own error set (OverflowError, TypeError, ...).
inline bool number_value(PyObject* o, double& x) {
  if (PyFloat_CheckExact(o)) {
    x = PyFloat_AS_DOUBLE(o);
    return true;
  }
  x = PyLong_CheckExact(o) ? PyLong_AsDouble(o) : PyFloat_AsDouble(o);
  return !(x == -1.0 && PyErr_Occurred());
}

/// After a failed operand conversion: clears an ordinary Exception, so the
/// operator can answer with its own TypeError, False or NotImplemented, and
/// returns true (also when nothing is pending). KeyboardInterrupt,
/// SystemExit and MemoryError are no answer about the operand: they stay
/// pending and the result is false.
inline bool forgive_conversion_error() {
  if (!PyErr_Occurred()) return true;
  if (!PyErr_ExceptionMatches(PyExc_Exception) || PyErr_ExceptionMatches(PyExc_MemoryError)) {
    return false;
  }
  PyErr_Clear();
  return true;
}

}  // namespace qudim::py
