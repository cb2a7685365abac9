// Reaches into unit maps for the core tests and fuzzers: building a map
// entry by entry past the algebra's rules, and exact comparison.
// Production code never includes this header.
#pragma once

#include <cstring>      // std::memcmp
#include <string_view>  // std::string_view

#include "units_container.hpp"  // UnitsContainer

namespace qudim {

struct ContainerTesting {
  /// Appends {name: exponent} as given: a zero exponent or a name already
  /// present is kept, as a map built from a list of pairs may hold them.
  static void append(UnitsContainer& units, std::string_view name, double exponent) {
    units.append(name, exponent);
  }

  /// Exact identity: the same names in the same order with the same bits.
  static bool identical(const UnitsContainer& a, const UnitsContainer& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i].name != b[i].name) return false;
      if (std::memcmp(&a[i].exponent, &b[i].exponent, sizeof(double)) != 0) return false;
    }
    return true;
  }
};

}  // namespace qudim
