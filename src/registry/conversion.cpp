// Conversion between unit maps: the multiplicative factor, and values with
// offset units (temperature scales) taken through the root unit.
#include <cmath>  // std::fabs, std::pow

#include "registry/registry_impl.hpp"  // UnitRegistry::Impl

namespace qudim {

namespace {

/// The offset of a registered spelling's unit; prefixed or unknown
/// spellings count as having none.
double offset_of(const UnitRegistry::Impl& impl, std::string_view key) {
  if (const std::string* canonical = impl.find_spelling(key)) {
    if (const UnitEntry* entry = impl.find_unit(*canonical)) return entry->offset;
  }
  return 0.0;
}

bool has_offset_unit(const UnitRegistry::Impl& impl, const UnitsContainer& units) {
  for (const UnitsContainer::Entry& term : units) {
    if (offset_of(impl, term.name) != 0.0) return true;
  }
  return false;
}

/// Dimensionalities of both sides, or the error that the two disagree.
Result<std::pair<UnitsContainer, UnitsContainer>> matching_dimensionalities(
    UnitRegistry& registry, const UnitsContainer& src, const UnitsContainer& dst) {
  Result<UnitsContainer> d1 = registry.get_dimensionality(src);
  if (!d1.ok()) return d1.take_error();
  Result<UnitsContainer> d2 = registry.get_dimensionality(dst);
  if (!d2.ok()) return d2.take_error();
  // Container equality is exactly the agreement rule: same dimensions,
  // exponents within EPSILON, order ignored.
  if (!(*d1 == *d2)) {
    return QudimError::dimensionality(src.to_string(), dst.to_string(), std::move(*d1),
                                      std::move(*d2));
  }
  return std::pair<UnitsContainer, UnitsContainer>{std::move(*d1), std::move(*d2)};
}

}  // namespace

Result<double> UnitRegistry::get_conversion_factor(const UnitsContainer& src,
                                                   const UnitsContainer& dst) {
  auto dims = matching_dimensionalities(*this, src, dst);
  if (!dims.ok()) return dims.take_error();
  double factors[2] = {1.0, 1.0};
  const UnitsContainer* sides[2] = {&src, &dst};
  for (int side = 0; side < 2; ++side) {
    for (const UnitsContainer::Entry& term : *sides[side]) {
      Result<const UnitInfo*> info = impl_->cached_info(term.name);
      if (!info.ok()) return info.take_error();
      const double f = (*info)->factor;
      factors[side] *= term.exponent == 1.0 ? f : std::pow(f, term.exponent);
    }
  }
  return factors[0] / factors[1];
}

Result<double> UnitRegistry::convert(double value, const UnitsContainer& src,
                                     const UnitsContainer& dst) {
  if (!has_offset_unit(*impl_, src) && !has_offset_unit(*impl_, dst)) {
    Result<double> factor = get_conversion_factor(src, dst);
    if (!factor.ok()) return factor.take_error();
    return value * *factor;
  }
  auto dims = matching_dimensionalities(*this, src, dst);
  if (!dims.ok()) return dims.take_error();
  const bool single_units = src.size() == 1 && dst.size() == 1 &&
                            std::fabs(src[0].exponent - 1.0) < EPSILON &&
                            std::fabs(dst[0].exponent - 1.0) < EPSILON;
  if (!single_units) {
    // Offsets only make sense for a lone unit to the first power
    // ("degC ** 2", "degC / second"); anything else converts by factors.
    Result<double> factor = get_conversion_factor(src, dst);
    if (!factor.ok()) return factor.take_error();
    return value * *factor;
  }
  Result<double> fs = get_unit_factor(src[0].name);
  if (!fs.ok()) return fs.take_error();
  Result<double> fd = get_unit_factor(dst[0].name);
  if (!fd.ok()) return fd.take_error();
  // Scale and shift into the root unit, then shift and scale back out.
  const double os = offset_of(*impl_, src[0].name);
  const double od = offset_of(*impl_, dst[0].name);
  return (value * *fs + os - od) / *fd;
}

}  // namespace qudim
