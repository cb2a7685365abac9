// Listings over both layers: a registry's own entries shadow built-in ones
// of the same name.
#include "registry/registry_impl.hpp"  // UnitRegistry::Impl

namespace qudim {

namespace {

/// Calls visit(key, value) for every key of own and of base not in own.
template <class V, class Visit>
void for_each_layered(const detail::StringMap<V>& own, const detail::StringMap<V>* base,
                      Visit&& visit) {
  for (const auto& [key, value] : own) visit(key, value);
  if (base == nullptr) return;
  for (const auto& [key, value] : *base) {
    if (own.empty() || own.find(key) == own.end()) visit(key, value);
  }
}

}  // namespace

std::vector<std::string> UnitRegistry::unit_names() const {
  std::vector<std::string> names;
  for_each_layered(impl_->own.units, impl_->base_units(),
                   [&](const std::string& name, const UnitEntry&) { names.push_back(name); });
  return names;
}

std::vector<std::string> UnitRegistry::compatible_units(const UnitsContainer& dims) const {
  std::vector<std::string> names;
  for_each_layered(impl_->own.units, impl_->base_units(),
                   [&](const std::string& name, const UnitEntry& entry) {
                     if (entry.dimensionality == dims) names.push_back(name);
                   });
  return names;
}

std::vector<std::pair<std::string, double>> UnitRegistry::prefix_list() const {
  std::vector<std::pair<std::string, double>> prefixes;
  for_each_layered(impl_->own.prefixes, impl_->base ? &impl_->base->prefixes : nullptr,
                   [&](const std::string& name, const PrefixEntry& entry) {
                     prefixes.emplace_back(name, entry.factor);
                   });
  return prefixes;
}

std::vector<std::string_view> UnitRegistry::unit_spellings() const {
  std::vector<std::string_view> spellings;
  for_each_layered(
      impl_->own.unit_lookup, impl_->base_unit_lookup(),
      [&](const std::string& spelling, const std::string&) { spellings.emplace_back(spelling); });
  return spellings;
}

std::vector<std::string_view> UnitRegistry::prefix_spellings() const {
  std::vector<std::string_view> spellings;
  for_each_layered(
      impl_->own.prefix_lookup, impl_->base ? &impl_->base->prefix_lookup : nullptr,
      [&](const std::string& spelling, const std::string&) { spellings.emplace_back(spelling); });
  return spellings;
}

}  // namespace qudim
