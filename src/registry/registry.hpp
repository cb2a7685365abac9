// The core unit registry: the store of units and prefixes and every
// operation that reads it (resolution, relations, unit expressions, root
// units, conversion, formatting). Plain C++; the binding holds the lock.
#pragma once

#include <array>        // std::array
#include <cstddef>      // size_t
#include <cstdint>      // uint8_t
#include <memory>       // std::shared_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::pair
#include <vector>       // std::vector

#include "definition.hpp"       // Definition, PrefixDef, UnitDef
#include "errors.hpp"           // QudimError, Result, Status
#include "units_container.hpp"  // UnitsContainer

namespace qudim {

struct RegistryTesting;

/// One registered unit, fully reduced to root units.
struct UnitEntry {
  std::string name;
  UnitsContainer root_units;
  UnitsContainer dimensionality;
  std::vector<std::string> aliases;
  std::optional<std::string> symbol;
  double factor = 1.0;
  double offset = 0.0;
};

/// One registered prefix (its name is the map key).
struct PrefixEntry {
  std::vector<std::string> aliases;
  std::optional<std::string> symbol;
  double factor = 1.0;
};

/// What one unit spelling resolves to.
struct UnitInfo {
  double factor = 1.0;
  UnitsContainer root_units;
  UnitsContainer dimensionality;
};

/// A prefix-stripping match: the prefix factor and the unit's canonical name.
struct PrefixMatch {
  double factor;
  std::string canonical;
};

/// A token of a relation or unit expression.
struct RelToken {
  enum class Kind : std::uint8_t { Number, Name, Op, LParen, RParen };
  enum class OpCode : std::uint8_t { Mul = 0, Div = 1, Pow = 2 };
  Kind kind;
  OpCode op = OpCode::Mul;  // for Op
  double number = 0.0;      // for Number
  std::string name;         // for Name
};

/// Cuts a relation or unit expression into tokens. Never fails.
std::vector<RelToken> tokenize_relation(std::string_view text);

class UnitRegistry;

/// Reduces relation tokens to (factor, root units, dimensionality).
Result<UnitInfo> eval_relation_tokens(const UnitRegistry& registry,
                                      const std::vector<RelToken>& tokens);

class UnitRegistry {
 public:
  /// A complete registry of the built-in definitions. Cheap after the first
  /// call in a process: every registry shares one immutable default layer and
  /// keeps only its own additions and memos.
  static UnitRegistry new_registry();

  /// The layout behind a registry; complete only inside src/registry.
  struct Impl;

  UnitRegistry(UnitRegistry&&) noexcept;
  UnitRegistry& operator=(UnitRegistry&&) noexcept;
  ~UnitRegistry();

  // --- store ---
  void add_prefix(const PrefixDef& def);
  void register_unit(UnitEntry entry);
  /// Admits one unit definition; on failure nothing changes.
  Status try_add_unit(const UnitDef& def);
  /// Applies reader records in order: prefixes and units (others ignored).
  /// With stop_at_error the first failing unit stops the walk and its error
  /// is returned; otherwise failing units are skipped.
  Status apply_definitions(const std::vector<Definition>& defs, bool stop_at_error);

  // --- resolution ---
  std::optional<PrefixMatch> try_strip_prefix(std::string_view name) const;
  Result<UnitInfo> resolve_unit_ref(std::string_view name) const;
  Result<std::string> get_canonical_name(std::string_view name) const;
  std::string get_display_name(std::string_view name) const;
  std::vector<std::array<std::string, 3>> parse_prefix_and_unit(std::string_view name) const;
  /// True when the spelling is registered or resolves by prefix stripping.
  bool knows_spelling(std::string_view name) const;
  /// The entry of a canonical name, or nullptr.
  const UnitEntry* find_unit(std::string_view canonical) const;
  /// The canonical name a registered spelling maps to, or nullptr.
  const std::string* lookup_spelling(std::string_view spelling) const;

  // --- unit expressions, root units, conversion, formatting ---
  Result<UnitsContainer> parse_unit_expr(std::string_view text);
  /// parse_unit_expr without copying the result: the memo's own entry, or
  /// `scratch` holding a result the memo does not keep. Valid until the
  /// registry next changes, so copy it out before the lock is released.
  Result<const UnitsContainer*> parse_unit_expr_ref(std::string_view text, UnitsContainer& scratch);
  Status ensure_unit_info_cached(std::string_view name);
  Result<double> get_unit_factor(std::string_view name);
  Result<std::pair<double, UnitsContainer>> get_root_units(const UnitsContainer& units);
  Result<UnitsContainer> get_dimensionality(const UnitsContainer& units);
  Result<double> get_conversion_factor(const UnitsContainer& src, const UnitsContainer& dst);
  Result<double> convert(double value, const UnitsContainer& src, const UnitsContainer& dst);
  std::string format_units(const UnitsContainer& units) const;

  // --- listings ---
  /// Every canonical unit name, in no particular order.
  std::vector<std::string> unit_names() const;
  /// Canonical names whose stored dimensionality equals dims (within EPSILON).
  std::vector<std::string> compatible_units(const UnitsContainer& dims) const;
  /// (prefix name, factor) for every prefix, in no particular order.
  std::vector<std::pair<std::string, double>> prefix_list() const;
  /// Every registered unit spelling (names, plurals, symbols, aliases), in no
  /// particular order; the views last until the registry next changes.
  std::vector<std::string_view> unit_spellings() const;
  /// Every prefix spelling (names, symbols, aliases), likewise.
  std::vector<std::string_view> prefix_spellings() const;

 private:
  friend Result<UnitInfo> eval_relation_tokens(const UnitRegistry&, const std::vector<RelToken>&);
  friend struct RegistryTesting;
  explicit UnitRegistry(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace qudim
