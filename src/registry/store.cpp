// The store: putting prefixes and units into the registry's own layer, the
// prefix strip list, and the registry's lifetime.
#include <algorithm>  // std::sort
#include <utility>    // std::move

#include "registry/registry_impl.hpp"  // UnitRegistry::Impl, detail::Layer

namespace qudim {

UnitRegistry::UnitRegistry(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
UnitRegistry::UnitRegistry(UnitRegistry&&) noexcept = default;
UnitRegistry& UnitRegistry::operator=(UnitRegistry&&) noexcept = default;
UnitRegistry::~UnitRegistry() = default;

void UnitRegistry::Impl::store_prefix(const PrefixDef& def) {
  detail::assign(own.prefix_lookup, def.name, def.name);
  if (def.symbol) detail::assign(own.prefix_lookup, *def.symbol, def.name);
  for (const std::string& alias : def.aliases) detail::assign(own.prefix_lookup, alias, def.name);
  own.prefixes.insert_or_assign(def.name, PrefixEntry{def.aliases, def.symbol, def.value});
}

void UnitRegistry::Impl::rebuild_strip_list() {
  // Built from the spellings rather than the prefix entries, so a spelling
  // strips with the current factor of the prefix it names, also after that
  // prefix was redefined without it.
  std::vector<detail::StripEntry> list;
  const auto add_spellings = [&](const detail::StringMap<std::string>& lookup, bool shadowed) {
    for (const auto& [spelling, prefix_name] : lookup) {
      if (spelling.empty()) continue;
      if (shadowed && own.prefix_lookup.find(spelling) != own.prefix_lookup.end()) continue;
      if (const PrefixEntry* p = find_prefix(prefix_name)) list.push_back({spelling, p->factor});
    }
  };
  add_spellings(own.prefix_lookup, false);
  if (base) add_spellings(base->prefix_lookup, true);
  // Longest first; equal lengths never both begin one name, the byte order
  // among them only makes the list reproducible.
  std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
    if (a.spelling.size() != b.spelling.size()) return a.spelling.size() > b.spelling.size();
    return a.spelling < b.spelling;
  });
  own.prefix_strip_list = std::move(list);
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
  impl_->rebuild_strip_list();
  impl_->clear_memos();
}

void UnitRegistry::register_unit(UnitEntry entry) {
  impl_->store_unit(std::move(entry));
  impl_->clear_memos();
}

std::size_t UnitRegistry::parse_memo_size() const { return impl_->parse_cache.size(); }

std::size_t UnitRegistry::unit_info_memo_size() const { return impl_->unit_info_cache.size(); }

}  // namespace qudim
