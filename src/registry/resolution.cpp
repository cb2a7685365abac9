// Name resolution: registered spellings first, then one stripped prefix.
#include "registry/registry_impl.hpp"  // UnitRegistry::Impl

namespace qudim {

const UnitEntry* UnitRegistry::Impl::strip_prefix(std::string_view name,
                                                  double& factor) const noexcept {
  // Longest prefix first; two spellings of one length never both begin a name.
  for (const std::size_t length : prefix_lengths()) {
    if (length >= name.size()) continue;
    const std::string* prefix = find_prefix_spelling(name.substr(0, length));
    if (prefix == nullptr) continue;
    const PrefixEntry* p = find_prefix(*prefix);
    if (p == nullptr) continue;
    // A shorter prefix is still tried when this rest does not resolve
    // ("dam" is deca + m), but the rest is never stripped again.
    const std::string* canonical = find_spelling(name.substr(length));
    if (canonical == nullptr) continue;
    if (const UnitEntry* entry = find_unit(*canonical)) {
      factor = p->factor;
      return entry;
    }
  }
  return nullptr;
}

const UnitEntry* UnitRegistry::Impl::resolve_entry(std::string_view name,
                                                   double& factor) const noexcept {
  if (const std::string* canonical = find_spelling(name)) {
    if (const UnitEntry* entry = find_unit(*canonical)) {
      factor = entry->factor;
      return entry;
    }
  }
  double prefix = 1.0;
  const UnitEntry* entry = strip_prefix(name, prefix);
  if (entry != nullptr) factor = prefix * entry->factor;
  return entry;
}

std::optional<PrefixMatch> UnitRegistry::try_strip_prefix(std::string_view name) const {
  double factor = 1.0;
  const UnitEntry* entry = impl_->strip_prefix(name, factor);
  if (entry == nullptr) return std::nullopt;
  return PrefixMatch{factor, entry->name};
}

Result<UnitInfo> UnitRegistry::resolve_unit_ref(std::string_view name) const {
  double factor = 1.0;
  const UnitEntry* entry = impl_->resolve_entry(name, factor);
  if (entry == nullptr) return QudimError::undefined_unit(std::string(name));
  return UnitInfo{factor, entry->root_units, entry->dimensionality};
}

Result<std::string> UnitRegistry::get_canonical_name(std::string_view name) const {
  // Registries are always case-sensitive, so the name itself is the key.
  if (const std::string* canonical = impl_->find_spelling(name)) return *canonical;
  double factor = 1.0;
  if (const UnitEntry* entry = impl_->strip_prefix(name, factor)) {
    return entry->name + "(prefixed)";
  }
  return QudimError::undefined_unit(std::string(name));
}

std::string UnitRegistry::get_display_name(std::string_view name) const {
  const UnitEntry* entry = impl_->find_unit(name);
  if (entry != nullptr && entry->symbol) return *entry->symbol;
  return std::string(name);
}

std::vector<std::array<std::string, 3>> UnitRegistry::parse_prefix_and_unit(
    std::string_view name) const {
  if (const std::string* canonical = impl_->find_spelling(name)) {
    if (impl_->find_unit(*canonical) != nullptr) return {{"", *canonical, ""}};
  }
  double factor = 1.0;
  const UnitEntry* entry = impl_->strip_prefix(name, factor);
  if (entry == nullptr) return {};
  const std::string& canonical = entry->name;
  if (canonical.empty() || canonical.size() >= name.size()) return {};
  // The prefix text is whatever precedes a tail as long as the canonical
  // name; a cut inside a multi-byte character has no meaningful split.
  const std::size_t k = name.size() - canonical.size();
  if ((static_cast<unsigned char>(name[k]) & 0xC0) == 0x80) return {};
  const std::string_view text = name.substr(0, k);
  if (const std::string* prefix = impl_->find_prefix_spelling(text)) {
    return {{*prefix, canonical, ""}};
  }
  return {{std::string(text), canonical, ""}};
}

bool UnitRegistry::knows_spelling(std::string_view name) const {
  double factor = 1.0;
  return impl_->find_spelling(name) != nullptr || impl_->strip_prefix(name, factor) != nullptr;
}

const UnitEntry* UnitRegistry::find_unit(std::string_view canonical) const {
  return impl_->find_unit(canonical);
}

const std::string* UnitRegistry::lookup_spelling(std::string_view spelling) const {
  return impl_->find_spelling(spelling);
}

}  // namespace qudim
