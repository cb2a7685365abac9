// Invariant checks shared by the fuzz targets: a broken invariant aborts so
// libFuzzer records the input as a crash.
#pragma once

#include <cstdio>       // std::fprintf
#include <cstdlib>      // std::abort
#include <string_view>  // std::string_view

#include "units_container.hpp"  // UnitsContainer

namespace qudim::fuzz {

/// Aborts with a message when cond is false.
inline void check(bool cond, const char* what) {
  if (!cond) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

/// The container algebra never keeps an exact zero exponent or a name twice.
inline void check_container(const UnitsContainer& units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    check(units[i].exponent != 0.0, "zero exponent kept in a unit map");
    check(units.find(units[i].name) == &units[i].exponent, "unit map name found at another entry");
  }
}

/// True when every exponent is finite, so tolerant comparisons are meaningful.
inline bool all_finite(const UnitsContainer& units) {
  for (const auto& e : units) {
    if (!(e.exponent - e.exponent == 0.0)) return false;
  }
  return true;
}

}  // namespace qudim::fuzz
