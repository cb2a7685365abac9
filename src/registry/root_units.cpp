// Reduction of parsed unit maps to factor, root units and dimensionality,
// with a per-spelling memo of what each spelling resolves to.
#include <cmath>  // std::pow

#include "registry/registry_impl.hpp"  // UnitRegistry::Impl

namespace qudim {

Result<const detail::CachedUnit*> UnitRegistry::Impl::cached_info(std::string_view name) {
  if (const auto it = unit_info_cache.find(name); it != unit_info_cache.end()) {
    return &it->second;
  }
  double factor = 1.0;
  const UnitEntry* entry = resolve_entry(name, factor);
  // Failures are not memoised: a later definition may make the name resolve.
  if (entry == nullptr) return QudimError::undefined_unit(std::string(name));
  detail::CachedUnit cached;
  cached.factor = factor;
  cached.root_units = entry->root_units;
  cached.dimensionality = entry->dimensionality;
  // Only a registered spelling carries its unit's offset ("degC" does,
  // "kdegC" does not); a spelling that resolved exactly is registered.
  if (entry->offset != 0.0 && find_spelling(name) != nullptr) cached.offset = entry->offset;
  const auto [it, inserted] = unit_info_cache.emplace(std::string(name), std::move(cached));
  return &it->second;
}

Status UnitRegistry::ensure_unit_info_cached(std::string_view name) {
  auto info = impl_->cached_info(name);
  if (!info.ok()) return info.take_error();
  return {};
}

Result<double> UnitRegistry::get_unit_factor(std::string_view name) {
  auto info = impl_->cached_info(name);
  if (!info.ok()) return info.take_error();
  return (*info)->factor;
}

Result<std::pair<double, UnitsContainer>> UnitRegistry::get_root_units(
    const UnitsContainer& units) {
  double factor = 1.0;
  UnitsContainer roots;
  for (const UnitsContainer::Entry& term : units) {
    auto info = impl_->cached_info(term.name);
    if (!info.ok()) return info.take_error();
    const UnitInfo& u = **info;
    factor *= term.exponent == 1.0 ? u.factor : std::pow(u.factor, term.exponent);
    roots.mul_in_place(u.root_units, term.exponent);
  }
  return std::pair<double, UnitsContainer>{factor, std::move(roots)};
}

Result<UnitsContainer> UnitRegistry::get_dimensionality(const UnitsContainer& units) {
  UnitsContainer dims;
  for (const UnitsContainer::Entry& term : units) {
    auto info = impl_->cached_info(term.name);
    if (!info.ok()) return info.take_error();
    dims.mul_in_place((*info)->dimensionality, term.exponent);
  }
  return dims;
}

}  // namespace qudim
