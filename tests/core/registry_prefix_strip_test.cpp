// Prefix stripping once a registry has many prefixes of its own: longest
// spelling first, fallback to shorter ones, own spellings shadowing built-in
// ones, and prefixes added between units.
#include <gtest/gtest.h>

#include <string>

#include "parser.hpp"
#include "registry/registry.hpp"

namespace qudim {
namespace {

Status define(UnitRegistry& r, std::string_view text) {
  return r.apply_definitions(parse_definitions(text), true);
}

/// "canonical * factor" of a stripped spelling, or "<none>".
std::string strip(const UnitRegistry& r, std::string_view name) {
  const std::optional<PrefixMatch> m = r.try_strip_prefix(name);
  return m ? m->canonical + " * " + std::to_string(m->factor) : "<none>";
}

TEST(RegistryPrefixStrip, LongestThenShorterSpellings) {
  UnitRegistry r = UnitRegistry::new_registry();
  ASSERT_TRUE(define(r, "aq- = 2\naqaq- = 3 = aqz-\naqaqaq- = 5\nzork = 7 * m\nqzork = 11 * m").ok());
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"aqzork", "zork * 2.000000"},
      {"aqaqzork", "zork * 3.000000"},      // the longer own prefix wins
      {"aqzzork", "zork * 3.000000"},       // through the symbol aqz
      {"aqaqaqzork", "zork * 5.000000"},
      {"aqaqaqm", "meter * 5.000000"},      // own prefix on a built-in unit
      {"aqqzork", "qzork * 2.000000"},      // aqq is no prefix: aq + qzork
      {"aqaqaq", "<none>"},                 // a prefix alone strips nothing
      {"kzork", "zork * 1000.000000"},      // built-in prefixes still strip
      {"kaqm", "<none>"},                   // the rest is never stripped again
      {"dam", "meter * 10.000000"},         // "da" is tried before "d"
      {"aq", "<none>"},
  };
  for (const auto& c : cases) EXPECT_EQ(strip(r, c.name), c.expected) << c.name;
}

TEST(RegistryPrefixStrip, OwnSpellingShadowsBuiltInAndRedefinitionTakesNewFactor) {
  UnitRegistry r = UnitRegistry::new_registry();
  EXPECT_EQ(strip(r, "km"), "meter * 1000.000000");
  ASSERT_TRUE(define(r, "kay- = 7 = k-").ok());
  EXPECT_EQ(strip(r, "km"), "meter * 7.000000");
  EXPECT_EQ(strip(r, "kilom"), "meter * 1000.000000");
  ASSERT_TRUE(define(r, "kay- = 9").ok());
  EXPECT_EQ(strip(r, "km"), "meter * 9.000000");
  EXPECT_EQ(strip(r, "kaym"), "meter * 9.000000");
  // The memo was cleared by the prefix definitions.
  const auto factor = r.get_unit_factor("km");
  ASSERT_TRUE(factor.ok());
  EXPECT_EQ(*factor, 9.0);
}

TEST(RegistryPrefixStrip, ManyPrefixesInterleavedWithUnits) {
  UnitRegistry r = UnitRegistry::new_registry();
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i);
    text += "pf" + n + "x- = " + std::to_string(i + 2) + "\n";
    text += "lu" + n + " = pf" + n + "xm\n";
  }
  ASSERT_TRUE(r.apply_definitions(parse_definitions(text), false).ok());
  for (int i : {0, 1, 999, 2999}) {
    const std::string n = std::to_string(i);
    auto from = r.parse_unit_expr("lu" + n);
    auto to = r.parse_unit_expr("m");
    ASSERT_TRUE(from.ok() && to.ok());
    auto v = r.convert(1.0, *from, *to);
    ASSERT_TRUE(v.ok()) << n;
    EXPECT_EQ(*v, i + 2.0) << n;
  }
  EXPECT_EQ(strip(r, "pf12xkm"), "<none>");
}

}  // namespace
}  // namespace qudim
