// Dimensional compatibility of a unit map with another unit map, a unit
// expression or a plain value.
#pragma once

#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "errors.hpp"             // Result
#include "registry/registry.hpp"  // UnitRegistry
#include "units_container.hpp"    // UnitsContainer

namespace qudim {

/// The other side of a compatibility question, detached from any object.
struct CompatArg {
  enum class Kind {
    Units,  // a unit map (copied)
    Text,   // a unit expression still to be parsed
    Plain,  // a plain value: compatible only with dimensionless units
    Never,  // a value never compatible
  };
  Kind kind = Kind::Never;
  UnitsContainer units;
  std::string_view text;  // borrowed; the caller keeps its owner alive
};

/// Do units and other have equal dimensionalities (both looked up in reg)?
/// Failures of either lookup are returned.
Result<bool> units_compatible(UnitRegistry& reg, const UnitsContainer& units,
                              const CompatArg& other);

/// The names of the registry's units whose dimensionality equals that of units.
Result<std::vector<std::string>> compatible_units_of(UnitRegistry& reg,
                                                     const UnitsContainer& units);

}  // namespace qudim
