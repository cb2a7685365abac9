// Root units, dimensionality and conversion (offset units included).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "parser.hpp"
#include "registry/registry.hpp"
#include "registry_world.hpp"

namespace qudim {
namespace {

using testing::world;
using Pairs = std::vector<std::pair<std::string, double>>;

UnitsContainer make(const Pairs& pairs) {
  UnitsContainer c;
  for (const auto& [n, e] : pairs) c.push_back_unchecked(n, e);
  return c;
}

Pairs pairs_of(const UnitsContainer& c) {
  Pairs out;
  for (const auto& e : c) out.emplace_back(e.name, e.exponent);
  return out;
}

TEST(RootUnits, FactorsAndRoots) {
  UnitRegistry r = world();
  const struct {
    Pairs units;
    double factor;
    Pairs roots;
  } cases[] = {
      {{}, 1, {}},
      {{{"km", 1}, {"hour", -1}}, 1000.0 / 3600.0, {{"meter", 1}, {"second", -1}}},
      {{{"kilogram", 1}}, 1000, {{"gram", 1}}},
      {{{"meter", 0.5}}, 1, {{"meter", 0.5}}},
      {{{"yd", 2}, {"meter", -2}}, 0.9144 * 0.9144, {}},
      {{{"newton", 1}}, 1000, {{"gram", 1}, {"meter", 1}, {"second", -2}}},
      {{{"radian", 1}}, 1, {}},
      {{{"percent", 2}}, 1e-4, {}},
  };
  for (const auto& c : cases) {
    Result<std::pair<double, UnitsContainer>> got = r.get_root_units(make(c.units));
    ASSERT_TRUE(got.ok());
    EXPECT_NEAR(got->first, c.factor, c.factor * 1e-15);
    EXPECT_EQ(pairs_of(got->second), c.roots);
  }
}

TEST(RootUnits, Dimensionality) {
  UnitRegistry r = world();
  const struct {
    Pairs units;
    Pairs dims;
  } cases[] = {
      {{}, {}},
      {{{"newton", 1}}, {{"[mass]", 1}, {"[length]", 1}, {"[time]", -2}}},
      {{{"radian", 1}}, {}},
      {{{"percent", 1}}, {}},
      {{{"km", 1}, {"hour", -1}}, {{"[length]", 1}, {"[time]", -1}}},
      {{{"meter", 0.5}, {"kyd", 0.5}}, {{"[length]", 1}}},
  };
  for (const auto& c : cases) {
    Result<UnitsContainer> got = r.get_dimensionality(make(c.units));
    ASSERT_TRUE(got.ok());
    EXPECT_EQ(pairs_of(*got), c.dims);
  }
}

TEST(RootUnits, FailuresAreRetried) {
  UnitRegistry r = world();
  const UnitsContainer units = make({{"meter", 1}, {"smoot", 1}, {"nope", 1}});
  Result<UnitsContainer> first = r.get_dimensionality(units);
  ASSERT_FALSE(first.ok());
  EXPECT_EQ(first.error().text1(), "smoot");  // the first failing key in order
  ASSERT_FALSE(r.ensure_unit_info_cached("smoot").ok());
  ASSERT_FALSE(r.get_unit_factor("smoot").ok());
  ASSERT_TRUE(r.apply_definitions(parse_definitions("smoot = 1.7018 * meter\nnope = s"), true).ok());
  Result<std::pair<double, UnitsContainer>> again = r.get_root_units(units);
  ASSERT_TRUE(again.ok());
  EXPECT_DOUBLE_EQ(again->first, 1.7018);
  EXPECT_EQ(pairs_of(again->second), (Pairs{{"meter", 2}, {"second", 1}}));
}

TEST(Conversion, Values) {
  UnitRegistry r = world();
  const struct {
    double value;
    const char* src;
    const char* dst;
    double expected;
  } cases[] = {
      {100, "degC", "degF", 212},
      {0, "degC", "kelvin", 273.15},
      {300, "kelvin", "degC", 26.85},
      {32, "degF", "degC", 0},
      {-40, "degF", "°C", -40},
      {1, "km", "m", 1000},
      {3, "km/h", "m/s", 3.0 / 3.6},
      {10, "degC", "kelvin / second * second", 283.15},  // the seconds cancel
      {5, "degC ** 2", "kelvin ** 2", 5},                // factors only
      {2, "degC / s", "K / s", 2},
      {1, "kdegC", "kelvin", 1000},  // a prefixed spelling carries no offset
      {7, "", "", 7},
      {7, "m/m", "dimensionless", 7},
      {1, "mK", "degC", -273.149},
      {1, "day", "min", 1440},
      {1, "rad", "deg", 180 / 3.14159265358979323846},
  };
  for (const auto& c : cases) {
    const UnitsContainer src = r.parse_unit_expr(c.src).value();
    const UnitsContainer dst = r.parse_unit_expr(c.dst).value();
    Result<double> got = r.convert(c.value, src, dst);
    ASSERT_TRUE(got.ok()) << c.src << " -> " << c.dst << ": " << got.error().message();
    EXPECT_NEAR(*got, c.expected, 1e-9) << c.src << " -> " << c.dst;
  }
}

TEST(Conversion, Factors) {
  UnitRegistry r = world();
  const struct {
    const char* src;
    const char* dst;
    double factor;
  } cases[] = {
      {"km", "m", 1000},
      {"m", "km", 1e-3},
      {"degC", "K", 1},  // offsets never enter the factor
      {"yd ** 2", "in ** 2", 1296},
      {"", "", 1},
      {"J", "kg m**2 / s**2", 1},
  };
  for (const auto& c : cases) {
    Result<double> got = r.get_conversion_factor(r.parse_unit_expr(c.src).value(),
                                                 r.parse_unit_expr(c.dst).value());
    ASSERT_TRUE(got.ok()) << c.src;
    EXPECT_NEAR(*got, c.factor, c.factor * 1e-12) << c.src;
  }
}

TEST(Conversion, Errors) {
  UnitRegistry r = world();
  const struct {
    Pairs src;
    Pairs dst;
    ErrorKind kind;
    const char* message;
  } cases[] = {
      {{{"meter", 1}}, {{"second", 1}}, ErrorKind::Dimensionality,
       "Cannot convert from 'meter' ([length]) to 'second' ([time])"},
      {{{"meter", 1}, {"second", -1}}, {{"kg", 1}}, ErrorKind::Dimensionality,
       "Cannot convert from 'meter / second' ([length] / [time]) to 'kg' ([mass])"},
      {{}, {{"meter", 1}}, ErrorKind::Dimensionality,
       "Cannot convert from 'dimensionless' (dimensionless) to 'meter' ([length])"},
      {{{"degree_Celsius", 1}}, {{"meter", 1}}, ErrorKind::Dimensionality,
       "Cannot convert from 'degree_Celsius' ([temperature]) to 'meter' ([length])"},
      {{{"meter", 1}}, {{"nope", 1}}, ErrorKind::UndefinedUnit,
       "'nope' is not defined in the unit registry"},
      {{{"first", 1}}, {{"second_x", 1}}, ErrorKind::UndefinedUnit,
       "'first' is not defined in the unit registry"},
      {{{"degC", 1}}, {{"nope", 1}}, ErrorKind::UndefinedUnit,
       "'nope' is not defined in the unit registry"},
  };
  for (const auto& c : cases) {
    for (const bool with_value : {true, false}) {
      Status failed = with_value ? Status(r.convert(1.0, make(c.src), make(c.dst)).take_error())
                                 : Status(r.get_conversion_factor(make(c.src), make(c.dst))
                                              .take_error());
      ASSERT_FALSE(failed.ok());
      EXPECT_EQ(failed.error().kind(), c.kind) << c.message;
      EXPECT_EQ(failed.error().message(), c.message);
    }
  }
}

}  // namespace
}  // namespace qudim
