// Name resolution: exact spellings before prefixes, one prefix only, the
// longest prefix whose rest resolves, canonical and display names, and the
// prefix/unit split.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "registry/registry.hpp"
#include "registry_world.hpp"

namespace qudim {
namespace {

using testing::world;

TEST(RegistryResolution, ResolveUnitRef) {
  const UnitRegistry r = world();
  const struct {
    const char* name;
    double factor;  // 0 marks an undefined name
    const char* roots;
    const char* dims;
  } cases[] = {
      {"meter", 1, "meter", "[length]"},
      {"meters", 1, "meter", "[length]"},
      {"metre", 1, "meter", "[length]"},
      {"metres", 1, "meter", "[length]"},
      {"m", 1, "meter", "[length]"},
      {"km", 1000, "meter", "[length]"},
      {"kilometers", 1000, "meter", "[length]"},
      {"kmetre", 1000, "meter", "[length]"},
      {"mm", 1e-3, "meter", "[length]"},
      {"dam", 10, "meter", "[length]"},  // deca + m, not deci + am
      {"dkm", 0, "", ""},
      {"dyd", 0.09144, "meter", "[length]"},
      {"day", 86400, "second", "[time]"},  // never d + ay
      {"hr", 3600, "second", "[time]"},
      {"hrs", 3600, "second", "[time]"},
      {"µs", 1e-6, "second", "[time]"},
      {"μs", 1e-6, "second", "[time]"},
      {"us", 1e-6, "second", "[time]"},
      {"Kibit", 1024, "dimensionless", "dimensionless"},
      {"kg", 1000, "gram", "[mass]"},
      {"k", 1.380649e-20, "gram * meter ** 2 / kelvin * second ** 2",
       "[length] ** 2 * [mass] / [temperature] * [time] ** 2"},
      {"c", 299792458, "meter / second", "[length] / [time]"},
      {"cm", 0.01, "meter", "[length]"},
      {"da", 0, "", ""},  // a prefix without rest
      {"kilo", 0, "", ""},
      {"kkm", 0, "", ""},  // one prefix only
      {"", 0, "", ""},
      {"Meter", 0, "", ""},  // case matters
      {"ghost", 0, "", ""},
      {"meter ", 0, "", ""},
  };
  for (const auto& c : cases) {
    Result<UnitInfo> info = r.resolve_unit_ref(c.name);
    if (c.factor == 0) {
      ASSERT_FALSE(info.ok()) << c.name;
      EXPECT_EQ(info.error().kind(), ErrorKind::UndefinedUnit);
      EXPECT_EQ(info.error().text1(), c.name);
      continue;
    }
    ASSERT_TRUE(info.ok()) << c.name;
    EXPECT_NEAR(info->factor, c.factor, std::abs(c.factor) * 1e-15) << c.name;
    EXPECT_EQ(info->root_units.to_string(), c.roots) << c.name;
    EXPECT_EQ(info->dimensionality.to_string(), c.dims) << c.name;
  }
}

TEST(RegistryResolution, TryStripPrefix) {
  const UnitRegistry r = world();
  const struct {
    const char* name;
    double factor;  // 0: no match
    const char* canonical;
  } cases[] = {
      {"km", 1000, "meter"},
      {"kilometers", 1000, "meter"},
      {"dam", 10, "meter"},
      {"dekameter", 10, "meter"},
      {"Mbps", 1e6, "point"},
      {"ks", 1000, "second"},
      {"meter", 0, ""},  // registered, and no prefix + rest
      {"m", 0, ""},
      {"k", 0, ""},
      {"mu", 0, ""},
      {"kkm", 0, ""},
      {"xm", 0, ""},
  };
  for (const auto& c : cases) {
    const auto m = r.try_strip_prefix(c.name);
    if (c.factor == 0) {
      EXPECT_FALSE(m.has_value()) << c.name;
      continue;
    }
    ASSERT_TRUE(m.has_value()) << c.name;
    EXPECT_EQ(m->factor, c.factor) << c.name;
    EXPECT_EQ(m->canonical, c.canonical) << c.name;
  }
}

TEST(RegistryResolution, CanonicalAndDisplayNames) {
  const UnitRegistry r = world();
  const struct {
    const char* name;
    const char* canonical;  // nullptr: undefined
  } canon[] = {
      {"meters", "meter"},  {"m", "meter"},        {"km", "meter(prefixed)"},
      {"kilometer", "meter(prefixed)"}, {"bps", "point"}, {"degC", "degree_Celsius"},
      {"nope", nullptr},    {"Meters", nullptr},
  };
  for (const auto& c : canon) {
    Result<std::string> got = r.get_canonical_name(c.name);
    if (c.canonical == nullptr) {
      ASSERT_FALSE(got.ok()) << c.name;
      EXPECT_EQ(got.error().message(),
                std::string("'") + c.name + "' is not defined in the unit registry");
    } else {
      ASSERT_TRUE(got.ok()) << c.name;
      EXPECT_EQ(*got, c.canonical) << c.name;
    }
  }
  const struct {
    const char* name;
    const char* display;
  } display[] = {
      {"meter", "m"},   {"hour", "h"}, {"degree_Celsius", "°C"}, {"km", "km"},
      {"meters", "meters"}, {"bit", "bit"}, {"nope", "nope"},
  };
  for (const auto& c : display) EXPECT_EQ(r.get_display_name(c.name), c.display) << c.name;
}

TEST(RegistryResolution, ParsePrefixAndUnit) {
  const UnitRegistry r = world();
  using Split = std::vector<std::array<std::string, 3>>;
  const struct {
    const char* name;
    Split split;
  } cases[] = {
      {"meter", {{"", "meter", ""}}},
      {"meters", {{"", "meter", ""}}},
      {"m", {{"", "meter", ""}}},
      {"kilometer", {{"kilo", "meter", ""}}},
      {"kmeter", {{"kilo", "meter", ""}}},
      {"damhour", {}},
      {"dahour", {{"deca", "hour", ""}}},
      {"kilometers", {{"kilom", "meter", ""}}},  // the tail is cut at the canonical length
      {"km", {}},  // the canonical name is longer than the text
      {"xyz", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(r.parse_prefix_and_unit(c.name), c.split) << c.name;
}

TEST(RegistryResolution, KnowsSpelling) {
  const UnitRegistry r = world();
  for (const char* yes : {"m", "meters", "km", "µs", "my_meters", "k", "bps"}) {
    EXPECT_TRUE(r.knows_spelling(yes)) << yes;
  }
  for (const char* no : {"", "da", "kkm", "nope", "[length]", "m/s"}) {
    EXPECT_FALSE(r.knows_spelling(no)) << no;
  }
}

}  // namespace
}  // namespace qudim
