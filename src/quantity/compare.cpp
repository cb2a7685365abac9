// Quantity comparisons and the unit checks of + and -: tolerant equality,
// exact ordering, other quantities brought into self's units by the
// multiplicative factor.
#include <algorithm>  // std::max
#include <cmath>      // std::fabs, std::isnan

#include "quantity/quantity_ops.hpp"

namespace qudim {

std::optional<CompareOp> compare_op_named(std::string_view text) noexcept {
  struct Name {
    std::string_view word, symbol;
    CompareOp op;
  };
  static constexpr Name kNames[] = {
      {"eq", "==", CompareOp::Eq}, {"ne", "!=", CompareOp::Ne}, {"lt", "<", CompareOp::Lt},
      {"le", "<=", CompareOp::Le}, {"gt", ">", CompareOp::Gt},  {"ge", ">=", CompareOp::Ge},
  };
  for (const Name& n : kNames) {
    if (text == n.word || text == n.symbol) return n.op;
  }
  return std::nullopt;
}

bool nearly_equal(double a, double b, double scale) noexcept {
  // The floor of 1 makes the tolerance absolute below 1.
  const double s = std::isnan(scale) ? 1.0 : std::max(std::fabs(scale), 1.0);
  return std::fabs(a - b) < s * EPSILON;
}

bool ordered(double a, double b, CompareOp op) noexcept {
  switch (op) {
    case CompareOp::Lt:
      return a < b;
    case CompareOp::Le:
      return a <= b;
    case CompareOp::Gt:
      return a > b;
    default:
      return a >= b;
  }
}

Result<double> magnitude_in(UnitRegistry& reg, const UnitsContainer& units, double other_m,
                            const UnitsContainer& other_u) {
  Result<double> factor = reg.get_conversion_factor(other_u, units);
  if (!factor) return factor.take_error();
  return *factor * other_m;
}

bool equals_quantity(UnitRegistry& reg, double m, const UnitsContainer& u, double other_m,
                     const UnitsContainer& other_u) {
  Result<double> other = magnitude_in(reg, u, other_m, other_u);
  return other.ok() && nearly_equal(m, *other, m);
}

Result<bool> equals_number(UnitRegistry& reg, double m, const UnitsContainer& u, double x) {
  // The tolerance scales with the number.
  if (u.empty()) return nearly_equal(m, x, x);
  Result<PlainNumber> value = plain_number(reg, m, u);
  if (!value) return value.take_error();
  return !value->refused && nearly_equal(value->value, x, x);
}

Result<bool> number_joins(UnitRegistry& reg, const UnitsContainer& u, double x) {
  if (x == 0.0 || u.empty()) return true;
  Result<UnitsContainer> dims = reg.get_dimensionality(u);
  if (!dims) return dims.take_error();
  return dims->empty();
}

}  // namespace qudim
