// Quantity operations on the built-in registry: compact prefixes (the other
// conversions are checked through Quantity's methods), rounding, tolerant
// comparison, the hash scheme, the float hash and the quantity-string splitter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "quantity/quantity_ops.hpp"
#include "quantity/quantity_string.hpp"
#include "registry/registry.hpp"

namespace qudim {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

UnitsContainer one(const char* name) { return UnitsContainer::single(name, 1.0); }

TEST(CompactPrefix, ChoosesTheLargestFittingFactor) {
  struct Row {
    double value;
    const char* prefix;  // nullptr: none fits
  };
  const Row rows[] = {
      {1500, "kilo"},   {-1500, "kilo"}, {1000, "kilo"},   {999.9, "hecto"},
      {2, "deci"},      {0.05, "centi"}, {1e30, "quetta"}, {2e33, nullptr},
      {1e-31, nullptr}, {0, nullptr},    {kNaN, nullptr},  {kInf, nullptr},
  };
  for (const Row& r : rows) {
    const CompactPrefix* p = best_compact_prefix(r.value);
    EXPECT_EQ(p == nullptr ? std::string("none") : p->name, r.prefix ? r.prefix : "none")
        << r.value;
  }
}

TEST(ToCompact, PrefixesOneUnitAndLeavesTheRest) {
  struct Row {
    double m;
    const char* units;
    std::optional<const char*> unit;
    double want_m;
    const char* want_units;  // the single name expected, or "" for unchanged units
  };
  const Row rows[] = {
      {1500, "meter", std::nullopt, 1.5, "kilometer"},
      {5000, "kilometer", std::nullopt, 5, "megameter"},  // the existing prefix is reduced
      {1.5, "kilometer", "m", 1.5, "kilometer"},
      {1500, "degree_Celsius", std::nullopt, 1500, ""},  // a temperature keeps its zero point
      {1, "degree_Celsius", "degree_Fahrenheit", 33.8, ""},
      {1500, "meter ** 2", std::nullopt, 1500, ""},
      {0, "meter", std::nullopt, 0, ""},
  };
  UnitRegistry reg = UnitRegistry::new_registry();
  for (const Row& r : rows) {
    const UnitsContainer u = *reg.parse_unit_expr(r.units);
    Result<QuantityValue> got = to_compact(reg, r.m, u, r.unit);
    ASSERT_TRUE(got.ok()) << r.units;
    EXPECT_NEAR(got->magnitude, r.want_m, 1e-9) << r.units;
    if (*r.want_units == '\0') {
      const UnitsContainer want = r.unit ? *reg.parse_unit_expr(*r.unit) : u;
      EXPECT_EQ(got->units, want) << r.units;
    } else {
      EXPECT_EQ(got->units, one(r.want_units)) << r.units;
    }
  }
}

TEST(RoundMagnitude, HalvesAwayAndScalesBeyondTheFiniteRange) {
  struct Row {
    double m;
    std::optional<std::int32_t> ndigits;
    double want;
  };
  // Infinities under every ndigits are checked through Quantity's round.
  const Row rows[] = {
      {2.5, std::nullopt, 3}, {-2.5, std::nullopt, -3},
      {1.25, 1, 1.3},         {15, -1, 20},
      {1.5, -400, 0},         {1e300, 10, 1e300},
      {1.5, INT32_MAX, 1.5},  {kInf, std::nullopt, kInf},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(round_magnitude(r.m, r.ndigits), r.want) << r.m << " " << r.ndigits.value_or(0);
  }
  EXPECT_TRUE(std::signbit(round_magnitude(-1.5, -400)));
  EXPECT_TRUE(std::isnan(round_magnitude(kNaN, 2)));
}

TEST(Comparison, ToleranceOrderingAndNumbers) {
  struct Row {
    double a, b, scale;
    bool close;
  };
  const Row rows[] = {
      {1, 1 + 2.220446049250313e-16, 1, false},  // strictly below the tolerance
      {1e10, 1e10 + 1e-6, 1e10, true},           // the tolerance scales
      {0.5, 0.5 + 1e-17, 0.5, true},             // with a floor of one epsilon
      {kNaN, kNaN, kNaN, false},
      {kInf, kInf, kInf, false},
  };
  for (const Row& r : rows) EXPECT_EQ(nearly_equal(r.a, r.b, r.scale), r.close) << r.a;
  for (CompareOp op : {CompareOp::Lt, CompareOp::Le, CompareOp::Gt, CompareOp::Ge}) {
    EXPECT_FALSE(ordered(kNaN, 1, op));
  }
  EXPECT_TRUE(ordered(1, 1, CompareOp::Le) && !ordered(1, 1, CompareOp::Lt));
  EXPECT_EQ(compare_op_named("<="), CompareOp::Le);
  EXPECT_EQ(compare_op_named("ge"), CompareOp::Ge);
  EXPECT_FALSE(compare_op_named("LT").has_value());

  UnitRegistry reg = UnitRegistry::new_registry();
  EXPECT_TRUE(*equals_number(reg, 50, one("percent"), 0.5));
  EXPECT_FALSE(*equals_number(reg, 2, one("meter"), 2));
  EXPECT_TRUE(equals_quantity(reg, 1000, one("meter"), 1, one("kilometer")));
  EXPECT_FALSE(equals_quantity(reg, 1, one("meter"), 1, one("second")));
  EXPECT_FALSE(magnitude_in(reg, one("meter"), 1, one("second")).ok());
  EXPECT_TRUE(*number_joins(reg, one("meter"), 0.0));
  EXPECT_FALSE(*number_joins(reg, one("meter"), 1.0));
  EXPECT_TRUE(*number_joins(reg, one("radian"), 1.0));
}

TEST(Hash, QuantitiesOfOneValueHashAlike) {
  UnitRegistry reg = UnitRegistry::new_registry();
  const auto km = hash_quantity(reg, 1, one("kilometer"));
  const auto m = hash_quantity(reg, 1000, one("meter"));
  ASSERT_TRUE(km.ok() && m.ok() && km->hash && m->hash);
  EXPECT_EQ(*km->hash, *m->hash);
  EXPECT_EQ(*hash_quantity(reg, -0.0, one("meter"))->hash,
            *hash_quantity(reg, 0.0, one("meter"))->hash);
  EXPECT_NE(*hash_quantity(reg, 1, one("meter"))->hash,
            *hash_quantity(reg, 1, one("second"))->hash);
  const auto pct = hash_quantity(reg, 50, one("percent"));
  ASSERT_TRUE(pct.ok());
  EXPECT_FALSE(pct->hash.has_value());  // hashes as the number 0.5
  EXPECT_DOUBLE_EQ(pct->base, 0.5);
}

TEST(Hash, FloatsAndAddressesAsTheInterpreterHashesThem) {
  struct Row {
    double x;
    std::int64_t want;
  };
  // clang-format off
  const Row rows[] = {
      {1.0, 1}, {0.5, 1152921504606846976}, {-1.0, -2}, {-2.5, -1152921504606846978},
      {0.1, 230584300921369408}, {1e300, 1224995262755759164}, {1.5e-300, 1876877353711978326},
      {2305843009213693952.0, 1}, {-0.0, 0}, {kInf, 314159}, {-kInf, -314159},
  };
  // clang-format on
  for (const Row& r : rows) EXPECT_EQ(hash_double(r.x), r.want) << r.x;
  EXPECT_EQ(hash_pointer(0x10), 1);
  EXPECT_EQ(hash_pointer(0xF), static_cast<std::int64_t>(0xF000000000000000u));
  EXPECT_EQ(hash_pointer(~std::uintptr_t{0}), -2);  // -1 is reserved for errors
}

TEST(QuantityString, SplitsNumberFromUnits) {
  struct Row {
    const char* text;
    const char* magnitude;
    const char* units;
  };
  // clang-format off
  const Row rows[] = {
      {"3.5 km", "3.5", "km"}, {"km", "1", "km"}, {"", "1", ""}, {"  -2e3 m/s  ", "-2e3", "m/s"},
      {"1e5.5 m", "1e5", ".5 m"}, {"- m", "-", "m"}, {"e", "1", "e"}, {"2e", "2e", ""},
      {"1.2.3", "1.2", ".3"}, {"+-1", "+", "-1"}, {"1e+5e", "1e+5", "e"},
      {"\u00a05\u3000m\u2003", "5", "m"},
  };
  // clang-format on
  for (const Row& r : rows) {
    const QuantityText t = parse_quantity_string(r.text);
    EXPECT_EQ(t.magnitude, r.magnitude) << r.text;
    EXPECT_EQ(t.units, r.units) << r.text;
  }
}

}  // namespace
}  // namespace qudim
