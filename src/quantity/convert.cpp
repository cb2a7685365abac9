// Quantity conversions: to a unit text, to base units, unprefixed, to a
// compact decimal prefix and to the first fitting preferred unit.
#include <cmath>    // std::fabs, std::pow
#include <utility>  // std::move

#include "quantity/quantity_ops.hpp"

namespace qudim {

namespace {

// Built in on purpose: the choice of prefix must not depend on which
// prefixes a registry happens to define. There is no entry for factor 1.
constexpr CompactPrefix kCompactPrefixes[] = {
    {"quecto", 1e-30}, {"ronto", 1e-27}, {"yocto", 1e-24}, {"zepto", 1e-21}, {"atto", 1e-18},
    {"femto", 1e-15},  {"pico", 1e-12},  {"nano", 1e-9},   {"micro", 1e-6},  {"milli", 1e-3},
    {"centi", 1e-2},   {"deci", 1e-1},   {"deca", 1e1},    {"hecto", 1e2},   {"kilo", 1e3},
    {"mega", 1e6},     {"giga", 1e9},    {"tera", 1e12},   {"peta", 1e15},   {"exa", 1e18},
    {"zetta", 1e21},   {"yotta", 1e24},  {"ronna", 1e27},  {"quetta", 1e30},
};

}  // namespace

Result<double> convert_to_text(UnitRegistry& reg, double m, const UnitsContainer& u,
                               std::string_view text, UnitsContainer& scratch,
                               const UnitsContainer*& target) {
  Result<const UnitsContainer*> parsed = reg.parse_unit_expr_ref(text, scratch);
  if (!parsed) return parsed.take_error();
  target = *parsed;
  return reg.convert(m, u, *target);
}

Result<QuantityValue> to_units(UnitRegistry& reg, double m, const UnitsContainer& u,
                               std::string_view text) {
  UnitsContainer scratch;
  const UnitsContainer* target = nullptr;
  Result<double> value = convert_to_text(reg, m, u, text, scratch, target);
  if (!value) return value.take_error();
  return QuantityValue{*value, *target};
}

Result<QuantityValue> to_base(UnitRegistry& reg, double m, const UnitsContainer& u) {
  auto roots = reg.get_root_units(u);
  if (!roots) return roots.take_error();
  return QuantityValue{roots->first * m, std::move(roots->second)};
}

Result<QuantityValue> to_unprefixed(UnitRegistry& reg, double m, const UnitsContainer& u) {
  double total = 1.0;
  UnitsContainer result;
  for (const UnitsContainer::Entry& e : u) {
    auto roots = reg.get_root_units(UnitsContainer::single(e.name, 1.0));
    if (!roots) return roots.take_error();
    result = result * roots->second.pow(e.exponent);
    total *= std::pow(roots->first, e.exponent);
  }
  return QuantityValue{m * total, std::move(result)};
}

const CompactPrefix* best_compact_prefix(double value) noexcept {
  const CompactPrefix* best = nullptr;
  for (const CompactPrefix& p : kCompactPrefixes) {
    const double r = std::fabs(value) / p.factor;  // NaN fails both tests
    if (r >= 1.0 && r < 1000.0 && (best == nullptr || p.factor > best->factor)) best = &p;
  }
  return best;
}

namespace {

/// m in u with a compact prefix, when one applies; else m in a copy of u.
QuantityValue compact(UnitRegistry& reg, double m, const UnitsContainer& u) {
  if (u.size() != 1 || std::fabs(u[0].exponent - 1.0) > EPSILON || m == 0.0) return {m, u};
  double value = m;
  std::string name = u[0].name;
  if (const std::string* canonical = reg.lookup_spelling(name)) {
    // A prefixed temperature scale would lose its zero point: 1500 degC is
    // not 1.5 kilodegree_Celsius. (A prefixed spelling carries no offset.)
    const UnitEntry* unit = reg.find_unit(*canonical);
    if (unit != nullptr && unit->offset != 0.0) return {m, u};
  } else if (std::optional<PrefixMatch> match = reg.try_strip_prefix(name)) {
    // A key that resolves only by prefix stripping (km, kilometer) is first
    // taken back to its unit, so 5000 km becomes 5 megameter rather than the
    // unusable "kilokilometer".
    value *= match->factor;
    name = std::move(match->canonical);
  }
  // Without a fitting prefix the quantity stays as it was, prefix included.
  const CompactPrefix* prefix = best_compact_prefix(value);
  if (prefix == nullptr) return {m, u};
  return {value / prefix->factor, UnitsContainer::single(prefix->name + name, 1.0)};
}

}  // namespace

Result<QuantityValue> to_compact(UnitRegistry& reg, double m, const UnitsContainer& u,
                                 std::optional<std::string_view> unit) {
  if (!unit) return compact(reg, m, u);
  Result<QuantityValue> target = to_units(reg, m, u, *unit);
  if (!target) return target;
  return compact(reg, target->magnitude, target->units);
}

Result<QuantityValue> to_preferred(UnitRegistry& reg, double m, const UnitsContainer& u,
                                   const std::vector<std::string>& texts) {
  if (texts.empty()) return to_base(reg, m, u);
  Result<UnitsContainer> own = reg.get_dimensionality(u);
  if (!own) return own.take_error();
  for (const std::string& text : texts) {
    Result<UnitsContainer> candidate = reg.parse_unit_expr(text);
    if (!candidate) return candidate.take_error();
    Result<UnitsContainer> dims = reg.get_dimensionality(*candidate);
    if (!dims) return dims.take_error();
    if (*dims == *own) {
      Result<double> value = reg.convert(m, u, *candidate);
      if (!value) return value.take_error();
      return QuantityValue{*value, std::move(*candidate)};
    }
  }
  return to_base(reg, m, u);
}

}  // namespace qudim
