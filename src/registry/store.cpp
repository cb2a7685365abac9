// The store: putting prefixes and units into the registry's own layer, the
// prefix spelling lengths, and the registry's lifetime.
#include <algorithm>   // std::lower_bound
#include <functional>  // std::greater
#include <utility>     // std::move

#include "registry/registry_impl.hpp"  // UnitRegistry::Impl, detail::Layer

namespace qudim {

UnitRegistry::UnitRegistry(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
UnitRegistry::UnitRegistry(UnitRegistry&&) noexcept = default;
UnitRegistry& UnitRegistry::operator=(UnitRegistry&&) noexcept = default;
UnitRegistry::~UnitRegistry() = default;

void UnitRegistry::Impl::store_prefix(const PrefixDef& def) {
  // The first own prefix starts the own length list from the built-in one.
  if (own.prefixes.empty() && base) own.prefix_lengths = base->prefix_lengths;
  const auto note = [&](const std::string& spelling) {
    detail::assign(own.prefix_lookup, spelling, def.name);
    if (spelling.empty()) return;  // never strips anything
    auto& lengths = own.prefix_lengths;
    const auto at =
        std::lower_bound(lengths.begin(), lengths.end(), spelling.size(), std::greater<>());
    if (at == lengths.end() || *at != spelling.size()) lengths.insert(at, spelling.size());
  };
  note(def.name);
  if (def.symbol) note(*def.symbol);
  for (const std::string& alias : def.aliases) note(alias);
  own.prefixes.insert_or_assign(def.name, PrefixEntry{def.aliases, def.symbol, def.value});
}

void UnitRegistry::Impl::store_unit(UnitEntry&& entry) {
  const std::string& n = entry.name;
  std::string spelling;
  spelling.reserve(n.size() + 1);
  const auto map_with_plural = [&](const std::string& word) {
    detail::assign(own.unit_lookup, word, n);
    spelling.assign(word);
    spelling += 's';
    detail::assign(own.unit_lookup, spelling, n);
  };
  map_with_plural(n);
  if (entry.symbol) detail::assign(own.unit_lookup, *entry.symbol, n);
  for (const std::string& alias : entry.aliases) map_with_plural(alias);
  const auto it = own.units.find(n);
  if (it != own.units.end()) {
    it->second = std::move(entry);
  } else {
    std::string key = n;
    own.units.emplace(std::move(key), std::move(entry));
  }
}

void UnitRegistry::Impl::clear_memos() noexcept {
  if (!parse_cache.empty()) parse_cache.clear();
  if (!unit_info_cache.empty()) unit_info_cache.clear();
}

void UnitRegistry::add_prefix(const PrefixDef& def) {
  impl_->store_prefix(def);
  impl_->clear_memos();
}

void UnitRegistry::register_unit(UnitEntry entry) {
  impl_->store_unit(std::move(entry));
  impl_->clear_memos();
}

}  // namespace qudim
