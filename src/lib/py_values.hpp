// Small builders of Python values from C++ ones, shared by the classes. Call them only after the registry lock is released.
#pragma once

#include "lib/py.hpp"

#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "units_container.hpp"  // UnitsContainer

namespace qudim::py {

/// A new str from UTF-8 text; nullptr with an error set on failure.
PyObject* str_of(std::string_view text);
/// A new list of str; nullptr with an error set on failure.
PyObject* str_list(const std::vector<std::string>& items);
/// The unit item list [(name, exponent), ...] in the container's order.
PyObject* unit_items(const UnitsContainer& units);

}  // namespace qudim::py
