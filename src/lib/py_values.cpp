// Builders of Python str and list values.
#include "lib/py_values.hpp"

namespace qudim::py {

PyObject* str_of(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* str_list(const std::vector<std::string>& items) {
  return list_of(items, [](const std::string& item) { return str_of(item); });
}

PyObject* unit_items(const UnitsContainer& units) {
  return list_of(units, [](const UnitsContainer::Entry& e) {
    return Py_BuildValue("(Nd)", str_of(e.name), e.exponent);
  });
}

}  // namespace qudim::py
