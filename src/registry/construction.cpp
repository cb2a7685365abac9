// Building registries: the built-in layer once per process, fresh registries
// on top of it, and the admission of unit definitions.
#include <utility>  // std::move
#include <variant>  // std::get_if

#include "parser.hpp"                         // parse_definitions
#include "registry/embedded_definitions.hpp"  // kDefaultDefinitions, kConstantsDefinitions
#include "registry/registry_impl.hpp"         // UnitRegistry::Impl, detail::Layer
#include "text_util.hpp"                      // trim

namespace qudim {

namespace {

/// Definitions still pending after this many passes are dropped.
constexpr int kResolutionPasses = 20;

/// The built-in layer, built on first use and shared by every registry.
const std::shared_ptr<const detail::Layer>& default_layer() {
  static const std::shared_ptr<const detail::Layer> layer = std::make_shared<const detail::Layer>(
      build_layer(kDefaultDefinitions, kConstantsDefinitions));
  return layer;
}

}  // namespace

Result<UnitEntry> UnitRegistry::Impl::reduce_definition(const UnitDef& def) const {
  UnitEntry entry;
  entry.offset = def.offset.value_or(0.0);
  if (def.is_base) {
    entry.root_units = UnitsContainer::single(def.name, 1.0);
    entry.dimensionality = UnitsContainer::single(def.dimension.value_or(def.relation), 1.0);
    return entry;
  }
  const std::string_view relation = trim(def.relation);
  if (relation.empty() || relation == "[]") return entry;  // dimensionless, factor 1
  Result<UnitInfo> info = eval_relation(*this, tokenize_relation(relation));
  if (!info.ok()) return info.take_error();
  entry.factor = info->factor;
  entry.root_units = std::move(info->root_units);
  entry.dimensionality = std::move(info->dimensionality);
  return entry;
}

detail::Layer build_layer(std::string_view main_text, std::string_view constants_text) {
  UnitRegistry::Impl impl;
  detail::Layer& layer = impl.own;
  layer.units.reserve(512);
  layer.unit_lookup.reserve(4096);
  layer.prefixes.reserve(64);
  layer.prefix_lookup.reserve(128);

  std::vector<Definition> records;
  records.reserve(1024);
  for (Definition& record : parse_definitions(main_text)) {
    const auto* import = std::get_if<ImportDef>(&record);
    if (import != nullptr && import->path == "constants_en.txt") {
      for (Definition& constant : parse_definitions(constants_text)) {
        records.push_back(std::move(constant));
      }
    } else {
      records.push_back(std::move(record));
    }
  }

  for (const Definition& record : records) {
    if (const auto* prefix = std::get_if<PrefixDef>(&record)) impl.store_prefix(*prefix);
  }

  std::vector<UnitDef*> pending;
  std::vector<const AliasDef*> aliases;
  for (Definition& record : records) {
    if (auto* unit = std::get_if<UnitDef>(&record))
      pending.push_back(unit);
    else if (const auto* alias = std::get_if<AliasDef>(&record))
      aliases.push_back(alias);
  }

  // Later passes admit units whose relations name units defined further down.
  std::vector<UnitDef*> retry;
  for (int pass = 0; pass < kResolutionPasses && !pending.empty(); ++pass) {
    retry.clear();
    for (UnitDef* def : pending) {
      Result<UnitEntry> entry = impl.reduce_definition(*def);
      if (!entry.ok()) {
        retry.push_back(def);
        continue;
      }
      entry->name = std::move(def->name);
      entry->aliases = std::move(def->aliases);
      entry->symbol = std::move(def->symbol);
      impl.store_unit(std::move(*entry));
    }
    if (retry.size() == pending.size()) break;
    pending.swap(retry);
  }

  for (const AliasDef* alias : aliases) {
    const std::string* found = impl.find_spelling(alias->name);
    if (found == nullptr) continue;
    const std::string canonical = *found;
    std::string plural;
    for (const std::string& spelling : alias->aliases) {
      detail::assign(layer.unit_lookup, spelling, canonical);
      plural.assign(spelling);
      plural += 's';
      detail::assign(layer.unit_lookup, plural, canonical);
    }
  }
  return std::move(impl.own);
}

UnitRegistry UnitRegistry::new_registry() {
  auto impl = std::make_unique<Impl>();
  impl->base = default_layer();
  impl->shared_parse_memo = &detail::builtin_parse_memo();
  return UnitRegistry(std::move(impl));
}

Status UnitRegistry::try_add_unit(const UnitDef& def) {
  Result<UnitEntry> entry = impl_->reduce_definition(def);
  if (!entry.ok()) return entry.take_error();
  entry->name = def.name;
  entry->aliases = def.aliases;
  entry->symbol = def.symbol;
  register_unit(std::move(*entry));
  return {};
}

Status UnitRegistry::apply_definitions(const std::vector<Definition>& defs, bool stop_at_error) {
  for (const Definition& record : defs) {
    if (const auto* prefix = std::get_if<PrefixDef>(&record)) {
      add_prefix(*prefix);
    } else if (const auto* unit = std::get_if<UnitDef>(&record)) {
      Status status = try_add_unit(*unit);
      if (!status.ok() && stop_at_error) return status;
    }
  }
  return {};
}

}  // namespace qudim
