// is_compatible_with for Quantity and Unit: the argument is sorted into a
// kind and copied before the registry lock is taken, then compared under it.
#pragma once

#include "lib/py.hpp"

#include <string_view>  // std::string_view

#include "errors.hpp"             // Result
#include "registry/registry.hpp"  // UnitRegistry
#include "units_container.hpp"    // UnitsContainer

namespace qudim::py {

/// The other side of a compatibility question, detached from Python.
struct CompatArg {
  enum class Kind {
    Units,      // a Unit's or Quantity's unit map (copied)
    Text,       // a unit expression still to be parsed
    Plain,      // anything else: compatible only with a dimensionless self
    Never,      // anything else, where plain values are never compatible
  };
  Kind kind = Kind::Never;
  UnitsContainer units;
  std::string_view text;  // borrowed from the argument str, which the caller keeps alive
};

/// Sorts other into its kind. For a quantity's question a Quantity counts as
/// units and a plain value as Plain; for a unit's question both are Never.
/// False with an error set when a str cannot be read as UTF-8.
bool classify_compat_arg(PyObject* other, bool for_quantity, CompatArg& out);

/// Under the lock: do units and other have equal dimensionalities (both
/// looked up in registry)? Failures of either lookup are returned.
Result<bool> units_compatible(UnitRegistry& registry, const UnitsContainer& units,
                              const CompatArg& other);

}  // namespace qudim::py
