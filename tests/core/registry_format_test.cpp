// Unit formatting: symbols, sorted terms, one " / " per denominator term.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "registry/registry.hpp"
#include "registry_world.hpp"

namespace qudim {
namespace {

using Pairs = std::vector<std::pair<std::string, double>>;

UnitsContainer make(const Pairs& pairs) {
  UnitsContainer c;
  for (const auto& [n, e] : pairs) c.push_back_unchecked(n, e);
  return c;
}

TEST(FormatUnits, Texts) {
  const UnitRegistry r = testing::world();
  const struct {
    Pairs units;
    const char* text;
  } cases[] = {
      {{}, "dimensionless"},
      {{{"meter", 1}}, "m"},
      {{{"meter", 2}}, "m ** 2"},
      {{{"meter", 0.5}}, "m ** 0.5"},
      {{{"meter", -1}}, "1 / m"},
      {{{"meter", -1.5}}, "1 / m ** 1.5"},
      {{{"second", 1}, {"meter", 1}}, "m * s"},  // sorted by key, not by symbol
      {{{"km", 1}, {"hour", -1}}, "km / h"},
      {{{"meter", 1}, {"second", -2}}, "m / s ** 2"},
      {{{"gram", 1}, {"meter", 2}, {"second", -2}, {"kelvin", -1}}, "g * m ** 2 / K / s ** 2"},
      {{{"mole", -1}, {"kelvin", -1}}, "1 / K / mol"},
      {{{"bit", 1}}, "bit"},
      {{{"degree_Celsius", 1}}, "°C"},
      {{{"meter", 2.0000000000000004}}, "m ** 2.0000000000000004"},
      {{{"meter", 1.0000000000000002}}, "m ** 1.0000000000000002"},
      {{{"meter", 0.9999999999999999}}, "m"},
      {{{"meter", 1e300}}, "m ** 9223372036854775807"},
      {{{"meter", 1e-7}}, "m ** 0.0000001"},
      {{{"meter", std::nan("")}}, ""},
      {{{"meter", 0.0}}, ""},
      {{{"meter", 0.0}, {"second", -1}}, "1 / s"},
      {{{"yard", 1}, {"Zebra", 1}}, "Zebra * yd"},  // byte order: capitals first
  };
  for (const auto& c : cases) EXPECT_EQ(r.format_units(make(c.units)), c.text) << c.text;
}

}  // namespace
}  // namespace qudim
