// Builders of Python str and list values.
#include "lib/py_values.hpp"

namespace qudim::py {

PyObject* str_of(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* str_list(const std::vector<std::string>& items) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* s = str_of(items[i]);
    if (s == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), s);
  }
  return list;
}

PyObject* unit_items(const UnitsContainer& units) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(units.size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const UnitsContainer::Entry& e = units[i];
    PyObject* item = Py_BuildValue("(s#d)", e.name.data(), static_cast<Py_ssize_t>(e.name.size()), e.exponent);
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
  }
  return list;
}

}  // namespace qudim::py
