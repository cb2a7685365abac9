// Small builders of Python values from C++ ones, shared by the classes.
// Call them only after the registry lock is released.
#pragma once

#include "lib/py.hpp"

#include <iterator>     // std::size
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "units_container.hpp"  // UnitsContainer

namespace qudim::py {

/// A new str from UTF-8 text; nullptr with an error set on failure.
PyObject* str_of(std::string_view text);

/// A new list of build(item) for each of items, in order; nullptr with an
/// error set when the list or any element cannot be made.
template <class Items, class Build>
PyObject* list_of(const Items& items, Build build) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(std::size(items)));
  if (list == nullptr) return nullptr;
  Py_ssize_t i = 0;
  for (const auto& item : items) {
    PyObject* element = build(item);
    if (element == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, i++, element);
  }
  return list;
}

/// A new list of str; nullptr with an error set on failure.
PyObject* str_list(const std::vector<std::string>& items);
/// The unit item list [(name, exponent), ...] in the container's order.
PyObject* unit_items(const UnitsContainer& units);

}  // namespace qudim::py
