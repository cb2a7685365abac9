// Dimensional compatibility of a unit map with the other side of the question.
#include "quantity/compatibility.hpp"

namespace qudim {

Result<bool> units_compatible(UnitRegistry& reg, const UnitsContainer& units,
                              const CompatArg& other) {
  Result<UnitsContainer> dims = reg.get_dimensionality(units);
  if (!dims) return dims.take_error();
  switch (other.kind) {
    case CompatArg::Kind::Plain:
      return dims->empty();
    case CompatArg::Kind::Never:
      return false;
    case CompatArg::Kind::Units: {
      Result<UnitsContainer> other_dims = reg.get_dimensionality(other.units);
      if (!other_dims) return other_dims.take_error();
      return *dims == *other_dims;
    }
    case CompatArg::Kind::Text: {
      Result<UnitsContainer> parsed = reg.parse_unit_expr(other.text);
      if (!parsed) return parsed.take_error();
      Result<UnitsContainer> other_dims = reg.get_dimensionality(*parsed);
      if (!other_dims) return other_dims.take_error();
      return *dims == *other_dims;
    }
  }
  return false;
}

Result<std::vector<std::string>> compatible_units_of(UnitRegistry& reg,
                                                     const UnitsContainer& units) {
  Result<UnitsContainer> dims = reg.get_dimensionality(units);
  if (!dims) return dims.take_error();
  return reg.compatible_units(*dims);
}

}  // namespace qudim
