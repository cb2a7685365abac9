// Private layout of the registry: an immutable shared layer of built-in
// definitions, the registry's own layer on top of it, and the two memos.
#pragma once

#include <cstddef>        // size_t
#include <functional>     // std::hash, std::equal_to
#include <memory>         // std::shared_ptr
#include <string>         // std::string
#include <string_view>    // std::string_view
#include <unordered_map>  // std::unordered_map
#include <vector>         // std::vector

#include "registry/registry.hpp"  // UnitRegistry, UnitEntry, PrefixEntry, UnitInfo, RelToken
#include "registry/shared_parse_memo.hpp"  // detail::SharedParseMemo

namespace qudim {

namespace detail {

/// Hashes std::string and std::string_view alike, so maps keyed by
/// std::string can be searched with a string_view without allocating.
struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept {
    return std::hash<std::string_view>{}(s);
  }
};

template <class V>
using StringMap = std::unordered_map<std::string, V, StringHash, std::equal_to<>>;

/// One layer of definitions. The built-in layer is built once per process
/// and shared read-only; each registry keeps its own additions in another.
struct Layer {
  StringMap<UnitEntry> units;
  StringMap<PrefixEntry> prefixes;
  StringMap<std::string> unit_lookup;    // spelling -> canonical unit name
  StringMap<std::string> prefix_lookup;  // spelling -> prefix name
  // The distinct lengths of the prefix spellings, longest first: stripping
  // tries the name's head of each length, so its cost does not grow with the
  // number of prefixes. In a registry's own layer it is filled only once the
  // registry has prefixes of its own, and then covers both layers.
  std::vector<std::size_t> prefix_lengths;
};

/// Value of `map[key]` in `own`, else in `base` (which may be null), else null.
template <class V>
const V* find_layered(const StringMap<V>& own, const StringMap<V>* base,
                      std::string_view key) noexcept {
  if (!own.empty()) {
    const auto it = own.find(key);
    if (it != own.end()) return &it->second;
  }
  if (base != nullptr) {
    const auto it = base->find(key);
    if (it != base->end()) return &it->second;
  }
  return nullptr;
}

/// Sets `map[key] = value`, allocating a key only when it is new.
inline void assign(StringMap<std::string>& map, std::string_view key, std::string_view value) {
  const auto it = map.find(key);
  if (it != map.end()) {
    it->second.assign(value);
  } else {
    map.emplace(std::string(key), std::string(value));
  }
}

/// What the memo keeps per spelling: its UnitInfo, and the offset of its
/// unit when the spelling is registered (a prefixed spelling has none).
struct CachedUnit : UnitInfo {
  double offset = 0.0;
};

}  // namespace detail

struct UnitRegistry::Impl {
  std::shared_ptr<const detail::Layer> base;  // null while the built-in layer is being built
  detail::Layer own;
  detail::StringMap<UnitsContainer> parse_cache;
  detail::StringMap<detail::CachedUnit> unit_info_cache;
  // The built-in layer's shared parse memo, used while the registry has no
  // definitions of its own; null for registries on another base.
  detail::SharedParseMemo* shared_parse_memo = nullptr;

  /// True while the registry has no units or prefixes of its own.
  bool pristine() const noexcept { return own.units.empty() && own.prefixes.empty(); }

  const detail::StringMap<UnitEntry>* base_units() const noexcept {
    return base ? &base->units : nullptr;
  }
  const detail::StringMap<std::string>* base_unit_lookup() const noexcept {
    return base ? &base->unit_lookup : nullptr;
  }

  /// The canonical name a registered spelling maps to, or null.
  const std::string* find_spelling(std::string_view spelling) const noexcept {
    return detail::find_layered(own.unit_lookup, base_unit_lookup(), spelling);
  }
  /// The entry of a canonical name, or null.
  const UnitEntry* find_unit(std::string_view canonical) const noexcept {
    return detail::find_layered(own.units, base_units(), canonical);
  }
  const PrefixEntry* find_prefix(std::string_view name) const noexcept {
    return detail::find_layered(own.prefixes, base ? &base->prefixes : nullptr, name);
  }
  const std::string* find_prefix_spelling(std::string_view spelling) const noexcept {
    return detail::find_layered(own.prefix_lookup, base ? &base->prefix_lookup : nullptr, spelling);
  }
  const std::vector<std::size_t>& prefix_lengths() const noexcept {
    return (own.prefixes.empty() && base) ? base->prefix_lengths : own.prefix_lengths;
  }

  /// Prefix stripping without allocating: the unit entry and prefix factor.
  const UnitEntry* strip_prefix(std::string_view name, double& factor) const noexcept;
  /// A registered spelling, else one prefix plus a registered spelling.
  const UnitEntry* resolve_entry(std::string_view name, double& factor) const noexcept;

  /// Stores a prefix and the lengths of its spellings; the memos stay.
  void store_prefix(const PrefixDef& def);
  void store_unit(UnitEntry&& entry);
  void clear_memos() noexcept;
  /// The reduced entry of a unit definition, its name, aliases and symbol
  /// still empty; or the error of its relation.
  Result<UnitEntry> reduce_definition(const UnitDef& def) const;
  /// The memoised information of one spelling, resolving it on first use.
  Result<const detail::CachedUnit*> cached_info(std::string_view name);
};

/// eval_relation_tokens over the layout directly.
Result<UnitInfo> eval_relation(const UnitRegistry::Impl& impl, const std::vector<RelToken>& tokens);

/// Builds a complete layer from a main text and the constants text it imports.
detail::Layer build_layer(std::string_view main_text, std::string_view constants_text);

}  // namespace qudim
