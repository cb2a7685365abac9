// Fuzz target: unit expressions on a fresh default registry, then every
// reduction a parsed expression goes through (root units, dimensionality,
// conversion to itself, both text forms).
#include <cstddef>  // size_t
#include <cstdint>  // uint8_t

#include "fuzz_check.hpp"               // check, check_container, all_finite
#include "registry/registry.hpp"        // UnitRegistry
#include "units_container_testing.hpp"  // ContainerTesting

using qudim::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  qudim::UnitRegistry registry = qudim::UnitRegistry::new_registry();
  qudim::Result<qudim::UnitsContainer> units = registry.parse_unit_expr(text);
  if (!units.ok()) {
    check(units.error().kind() == qudim::ErrorKind::UndefinedUnit, "parse fails only on names");
    return 0;
  }
  qudim::fuzz::check_container(*units);
  // The memo gives back exactly what the first parse produced.
  const qudim::Result<qudim::UnitsContainer> again = registry.parse_unit_expr(text);
  check(again.ok() && qudim::ContainerTesting::identical(*again, *units), "memoised parse differs");

  const auto roots = registry.get_root_units(*units);
  const auto dims = registry.get_dimensionality(*units);
  check(roots.ok() && dims.ok(), "a parsed expression always reduces");
  qudim::fuzz::check_container(roots->second);
  qudim::fuzz::check_container(*dims);
  if (qudim::fuzz::all_finite(*dims)) {
    check(registry.convert(2.5, *units, *units).ok(), "an expression converts to itself");
  }
  (void)registry.format_units(*units);
  (void)units->to_string();
  (void)dims->to_string();
  return 0;
}
