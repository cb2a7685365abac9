// Argument matching and conversion with the module's fixed TypeError texts.
#include "lib/args.hpp"

#include <cstring>  // std::strrchr
#include <string>   // std::string
#include <vector>   // std::vector

namespace qudim::py {

namespace {

/// 'a'; 'a' and 'b'; 'a', 'b', and 'c'.
std::string name_list(const std::vector<const char*>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      if (names.size() == 2) {
        out += " and ";
      } else {
        out += i + 1 == names.size() ? ", and " : ", ";
      }
    }
    out += '\'';
    out += names[i];
    out += '\'';
  }
  return out;
}

bool type_error(const std::string& message) {
  PyErr_SetString(PyExc_TypeError, message.c_str());
  return false;
}

bool too_many_positional(const Signature& sig, Py_ssize_t given) {
  const char* verb = given == 1 ? "was" : "were";
  std::string msg = sig.display;
  if (sig.required != sig.count) {
    msg += " takes from " + std::to_string(sig.required) + " to " + std::to_string(sig.count);
  } else {
    msg += " takes " + std::to_string(sig.count);
  }
  msg += " positional arguments but " + std::to_string(given) + " " + verb + " given";
  return type_error(msg);
}

/// The index of the parameter named key, or -1. Keys are compared as Python
/// strings, so a name with a NUL or a lone surrogate simply matches nothing.
int find_param(const Signature& sig, PyObject* key) {
  if (!PyUnicode_Check(key)) return -1;
  for (int i = 0; i < sig.count; ++i) {
    if (PyUnicode_CompareWithASCIIString(key, sig.names[i]) == 0) return i;
  }
  return -1;
}

/// Places one keyword argument; false with TypeError set on a conflict.
bool place_keyword(const Signature& sig, PyObject* key, PyObject* value, PyObject** out,
                   std::vector<const char*>& positional_only_used) {
  const int i = find_param(sig, key);
  if (i < 0) {
    // %U keeps the whole name, embedded NULs and surrogates included; a key
    // that is no str (possible when a dict reaches a constructor directly)
    // shows as its str().
    PyErr_Format(PyExc_TypeError,
                 PyUnicode_Check(key) ? "%s got an unexpected keyword argument '%U'"
                                      : "%s got an unexpected keyword argument '%S'",
                 sig.display, key);
    return false;
  }
  if (i < sig.positional_only) {
    positional_only_used.push_back(sig.names[i]);
    return true;
  }
  if (out[i] != nullptr) {
    return type_error(std::string(sig.display) + " got multiple values for argument '" +
                      sig.names[i] + "'");
  }
  out[i] = value;
  return true;
}

bool finish(const Signature& sig, PyObject** out,
            const std::vector<const char*>& positional_only_used) {
  if (!positional_only_used.empty()) {
    return type_error(std::string(sig.display) +
                      " got some positional-only arguments passed as keyword arguments: " +
                      name_list(positional_only_used));
  }
  std::vector<const char*> missing;
  for (int i = 0; i < sig.required; ++i) {
    if (out[i] == nullptr) missing.push_back(sig.names[i]);
  }
  if (!missing.empty()) {
    return type_error(std::string(sig.display) + " missing " + std::to_string(missing.size()) +
                      " required positional " + (missing.size() == 1 ? "argument" : "arguments") +
                      ": " + name_list(missing));
  }
  return true;
}

}  // namespace

bool bind_args_matching(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames, PyObject** out) {
  for (int i = 0; i < sig.count; ++i) out[i] = nullptr;
  if (nargs > sig.count) return too_many_positional(sig, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
  std::vector<const char*> positional_only_used;
  if (kwnames != nullptr) {
    const Py_ssize_t nk = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nk; ++k) {
      if (!place_keyword(sig, PyTuple_GET_ITEM(kwnames, k), args[nargs + k], out,
                         positional_only_used)) {
        return false;
      }
    }
  }
  return finish(sig, out, positional_only_used);
}

bool bind_no_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                  PyObject* kwnames) {
  if (nargs == 0 && (kwnames == nullptr || PyTuple_GET_SIZE(kwnames) == 0)) return true;
  PyObject* unused[1];
  return bind_args(sig, args, nargs, kwnames, unused);
}

bool bind_args(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out) {
  for (int i = 0; i < sig.count; ++i) out[i] = nullptr;
  const Py_ssize_t nargs = args == nullptr ? 0 : PyTuple_GET_SIZE(args);
  if (nargs > sig.count) return too_many_positional(sig, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = PyTuple_GET_ITEM(args, i);
  if (kwargs == nullptr && nargs >= sig.required) return true;  // nothing to match or report
  std::vector<const char*> positional_only_used;
  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject* key;
    PyObject* value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      if (!place_keyword(sig, key, value, out, positional_only_used)) return false;
    }
  }
  return finish(sig, out, positional_only_used);
}

bool argument_error(const char* name) {
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) return false;
  PyObject* exc = PyErr_GetRaisedException();
  PyObject* text = PyObject_Str(exc);
  if (text == nullptr) {
    Py_DECREF(exc);
    return false;
  }
  PyErr_Format(PyExc_TypeError, "argument '%s': %U", name, text);
  PyObject* fresh = PyErr_GetRaisedException();
  PyException_SetCause(fresh, exc);  // steals exc
  PyErr_SetRaisedException(fresh);
  Py_DECREF(text);
  return false;
}

const char* short_type_name(PyObject* obj) {
  const char* full = Py_TYPE(obj)->tp_name;
  const char* dot = std::strrchr(full, '.');
  return dot == nullptr ? full : dot + 1;
}

bool conversion_error(const char* name, PyObject* given, const char* expected) {
  PyErr_Format(PyExc_TypeError, "argument '%s': '%s' object cannot be converted to '%s'", name,
               short_type_name(given), expected);
  return false;
}

bool extract_str(PyObject* obj, const char* name, std::string_view& out) {
  if (!PyUnicode_Check(obj)) return conversion_error(name, obj, "str");
  Py_ssize_t len = 0;
  const char* data = PyUnicode_AsUTF8AndSize(obj, &len);
  if (data == nullptr) return false;
  out = std::string_view(data, static_cast<std::size_t>(len));
  return true;
}

bool extract_optional_str(PyObject* obj, const char* name, std::optional<std::string_view>& out) {
  out.reset();
  if (obj == nullptr || obj == Py_None) return true;
  std::string_view v;
  if (!extract_str(obj, name, v)) return false;
  out = v;
  return true;
}

bool extract_double(PyObject* obj, const char* name, double& out) {
  if (PyFloat_CheckExact(obj)) {
    out = PyFloat_AS_DOUBLE(obj);
    return true;
  }
  out = PyFloat_AsDouble(obj);
  if (out == -1.0 && PyErr_Occurred()) return argument_error(name);
  return true;
}

}  // namespace qudim::py
