// Unit expressions: spellings kept or canonicalised, numbers ignored,
// operator persistence, groups and exponents, errors, and the bounded memo.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "registry/registry.hpp"
#include "registry_world.hpp"

namespace qudim {
namespace {

using testing::world;
using Pairs = std::vector<std::pair<std::string, double>>;

Pairs pairs_of(const UnitsContainer& c) {
  Pairs out;
  for (const auto& e : c) out.emplace_back(e.name, e.exponent);
  return out;
}

TEST(UnitExpression, Parses) {
  UnitRegistry r = world();
  const struct {
    const char* text;
    Pairs units;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"dimensionless", {}},
      {" dimensionless ", {}},
      {"\xC2\xA0m\xE2\x80\x83", {{"meter", 1}}},  // Unicode spaces are trimmed
      {"km/h", {{"km", 1}, {"hour", -1}}},
      {"kilometer/hour", {{"kilometer", 1}, {"hour", -1}}},
      {"kg*m**2/s**2", {{"kg", 1}, {"meter", 2}, {"second", -2}}},
      {"meter / (second * kelvin)", {{"meter", 1}, {"second", -1}, {"kelvin", -1}}},
      {"J K^-1", {{"joule", 1}, {"kelvin", -1}}},
      {"m/m", {}},
      {"m m", {{"meter", 2}}},
      {"m/s/s", {{"meter", 1}, {"second", -2}}},
      {"m/s*s", {{"meter", 1}}},
      {"m / s kg", {{"meter", 1}, {"second", -1}, {"kg", -1}}},
      {"s m / s", {{"meter", 1}}},
      {"3 m", {{"meter", 1}}},
      {"1000 m", {{"meter", 1}}},
      {"1/s", {{"second", -1}}},
      {"2 ** 3 m", {}},  // numbers take no exponent: "**" stays the operator
      {"m ** 2 ** 3", {{"meter", 2}}},
      {"s^-1", {{"second", -1}}},
      {"m**0.5", {{"meter", 0.5}}},
      {"m - s", {{"meter", 1}, {"second", 1}}},
      {"(m/s) ** 2", {{"meter", 2}, {"second", -2}}},
      {"s / (m/s) ** 2", {{"second", 3}, {"meter", -2}}},
      {"m ^ (s)", {{"meter", 1}}},
      {"((m)", {{"meter", 1}}},
      {"m)", {{"meter", 1}}},
      {"µs us", {{"µs", 1}, {"us", 1}}},
      {"km ** 2 / km ** 2", {}},
      {"metres * hrs", {{"meter", 1}, {"hour", 1}}},
      {"bps", {{"point", 1}}},
      {"°C", {{"degree_Celsius", 1}}},
  };
  for (const auto& c : cases) {
    Result<UnitsContainer> got = r.parse_unit_expr(c.text);
    ASSERT_TRUE(got.ok()) << c.text << ": " << got.error().message();
    EXPECT_EQ(pairs_of(*got), c.units) << c.text;
    // The memo hands back the same result.
    EXPECT_EQ(pairs_of(r.parse_unit_expr(c.text).value()), c.units) << c.text;
  }
}

TEST(UnitExpression, UnknownWordIsTheError) {
  UnitRegistry r = world();
  const struct {
    const char* text;
    const char* word;
  } cases[] = {
      {"[length]", "[length]"},
      {"m * nope", "nope"},
      {"nope1 / nope2", "nope1"},
      {"m ^ nope", "nope"},
      {"(m / (s * furlongz", "furlongz"},
      {"kkm", "kkm"},
      {"da", "da"},
      {"it's", "it's"},
      {"Meter", "Meter"},
  };
  for (const auto& c : cases) {
    Result<UnitsContainer> got = r.parse_unit_expr(c.text);
    ASSERT_FALSE(got.ok()) << c.text;
    EXPECT_EQ(got.error().kind(), ErrorKind::UndefinedUnit) << c.text;
    EXPECT_EQ(got.error().text1(), c.word) << c.text;
  }
  EXPECT_EQ(r.parse_memo_size(), 0u);  // failures are not memoised
}

TEST(UnitExpression, MemoHoldsAtMost512Texts) {
  UnitRegistry r = world();
  ASSERT_TRUE(r.parse_unit_expr("dimensionless").ok());
  ASSERT_TRUE(r.parse_unit_expr("  ").ok());
  EXPECT_EQ(r.parse_memo_size(), 0u);
  for (int i = 1; i <= 600; ++i) {
    const std::string text = "m ** " + std::to_string(i);
    Result<UnitsContainer> got = r.parse_unit_expr(text);
    ASSERT_TRUE(got.ok());
    EXPECT_EQ(pairs_of(*got), (Pairs{{"meter", double(i)}}));
  }
  EXPECT_EQ(r.parse_memo_size(), 512u);
  // Texts past the bound still parse, and the trimmed text is the key.
  EXPECT_EQ(pairs_of(r.parse_unit_expr(" m ** 600 ").value()), (Pairs{{"meter", 600}}));
  EXPECT_EQ(pairs_of(r.parse_unit_expr(" m ** 1\t").value()), (Pairs{{"meter", 1}}));
  EXPECT_EQ(r.parse_memo_size(), 512u);
}

TEST(UnitExpression, DeepNestingAndLongProducts) {
  UnitRegistry r = world();
  constexpr std::size_t kDepth = 100000;
  const std::string open(kDepth, '(');
  const std::string close(kDepth, ')');
  EXPECT_EQ(pairs_of(r.parse_unit_expr(open + "m" + close).value()), (Pairs{{"meter", 1}}));
  EXPECT_EQ(pairs_of(r.parse_unit_expr(open + "m").value()), (Pairs{{"meter", 1}}));
  EXPECT_EQ(pairs_of(r.parse_unit_expr("s / " + open + "m) ** 2" + std::string(kDepth - 1, ')'))
                         .value()),
            (Pairs{{"second", 1}, {"meter", -2}}));
  Result<UnitsContainer> failed = r.parse_unit_expr(open + "nope" + close);
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().text1(), "nope");

  // Many distinct spellings in one product, then all cancelled.
  std::string product;
  std::string quotient;
  const char* prefixes[] = {"k", "m", "c", "d", "da", "h", "µ", "M", "Ki", "u"};
  const char* units[] = {"m", "s", "g", "K", "A", "yd", "in", "h", "min", "J", "W", "L"};
  std::size_t count = 0;
  for (const char* p : prefixes) {
    for (const char* u : units) {
      product += std::string(p) + u + " * ";
      quotient += " / " + std::string(p) + u;
      ++count;
    }
  }
  Result<UnitsContainer> many = r.parse_unit_expr(product + "m");
  ASSERT_TRUE(many.ok()) << many.error().message();
  EXPECT_EQ(many->size(), count + 1);
  EXPECT_EQ(pairs_of(r.parse_unit_expr(product + "m" + quotient).value()),
            (Pairs{{"meter", 1}}));
}

}  // namespace
}  // namespace qudim
