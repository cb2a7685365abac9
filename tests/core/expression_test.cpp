// Relations and unit expressions: the shared tokenizer, the relation
// evaluator, unit-expression parsing, the bounded memo, 100 000-deep nesting,
// root units, dimensionality, conversion and formatting.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "parser.hpp"
#include "registry/registry.hpp"
#include "registry_world.hpp"
#include "units_container_testing.hpp"

namespace qudim {
namespace {

using testing::world;
using Pairs = std::vector<std::pair<std::string, double>>;

UnitsContainer make(const Pairs& pairs) {
  UnitsContainer c;
  for (const auto& [n, e] : pairs) ContainerTesting::append(c, n, e);
  return c;
}

Pairs pairs_of(const UnitsContainer& c) {
  Pairs out;
  for (const auto& e : c) out.emplace_back(e.name, e.exponent);
  return out;
}

/// Tokens as one line: numbers "#v", names 'n', operators * / ^, parens.
std::string render(const std::vector<RelToken>& tokens) {
  std::string out;
  for (const RelToken& t : tokens) {
    if (!out.empty()) out += ' ';
    if (t.kind == RelToken::Kind::Number) {
      char buf[32];
      out += '#';
      out.append(buf, std::to_chars(buf, buf + sizeof buf, t.number).ptr);
    } else if (t.kind == RelToken::Kind::Name) {
      out += "'" + t.name + "'";
    } else if (t.kind == RelToken::Kind::Op) {
      out += t.op == RelToken::OpCode::Mul ? "*" : t.op == RelToken::OpCode::Div ? "/" : "^";
    } else {
      out += t.kind == RelToken::Kind::LParen ? '(' : ')';
    }
  }
  return out;
}

TEST(Tokenizer, Tokens) {
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"  \t ", ""}, {"kilogram * meter / second ** 2", "'kilogram' * 'meter' / 'second' ^ #2"},
      {"s^-1", "'s' ^ #-1"}, {"1-2", "#1 * #2"}, {"m -3", "'m' * #3"}, {"m-3", "'m-3'"},
      {")-2", ") * #2"}, {"(-2)", "( #-2 )"}, {"m*-2", "'m' * #-2"}, {"-3 * m", "#-3 * 'm'"},
      {"- 3 * m", "#3 * 'm'"}, {"-m", "'m'"}, {"2m", "#2 'm'"}, {"1em", "'m'"}, {"1.2.3 m", "'m'"},
      {". m", "'m'"}, {"5. .5 1e-3 2.5E+10", "#5 #0.5 #0.001 #2.5e+10"}, {"1e+", ""},
      {"12345e-328", "#0"}, {"5e-324", "#5e-324"},
      {"0.0001e312", "#1e+308"}, {"100e307", "#inf"}, {"0.00e999", "#0"},
      {"m ** 2 ** 3", "'m' ^ #2 ^ #3"}, {"m***2", "'m' ^ * #2"}, {"kg-m", "'kg-m'"},
      {"m2", "'m2'"}, {"+m", "'+m'"}, {"[length]/[time]", "'[length]' / '[time]'"},
      {"m\nkg", "'m\nkg'"}, {"\xC2\xA0m\xC2\xA0", "'m'"}, {"\xC2\xA0", ""}, {"°C/h", "'°C' / 'h'"},
  };
  // clang-format on
  for (const auto& [text, tokens] : cases)
    EXPECT_EQ(render(tokenize_relation(text)), tokens) << text;
}

TEST(RelationEval, Results) {
  const UnitRegistry r = world();
  constexpr std::size_t kDepth = 100000;
  const std::string open(kDepth, '('), close(kDepth, ')');
  // clang-format off
  const struct {
    std::string relation;
    double factor;
    const char* roots;
    const char* dims;
  } cases[] = {
      {"", 1, "dimensionless", "dimensionless"},
      {"[length] / [time]", 1, "dimensionless", "[length] / [time]"},
      {"[]", 1, "dimensionless", "[]"},
      {"m / [length]", 1, "meter", "dimensionless"},
      {"2 ^ [length]", 2, "dimensionless", "dimensionless"},
      {"m/s/s", 1, "meter / second ** 2", "[length] / [time] ** 2"},
      {"kg / m s", 1000, "gram / meter * second", "[mass] / [length] * [time]"},
      {"kg / m * s", 1000, "gram * second / meter", "[mass] * [time] / [length]"},
      {"5 / 9 * kelvin", 5.0 / 9.0, "kelvin", "[temperature]"},
      {"yd ** 2 ** 3", std::pow(0.9144 * 0.9144, 3), "meter ** 2", "[length] ** 2"},
      {"2 ^ dam", 1024, "dimensionless", "dimensionless"},
      {"2 ^ (yd)", 2, "dimensionless", "dimensionless"},
      {"(yd s) ** 2", 0.9144 * 0.9144, "meter ** 2 * second ** 2", "[length] ** 2 * [time] ** 2"},
      {"s / (yd / s) ** 2", 1 / (0.9144 * 0.9144), "second ** 3 / meter ** 2",
       "[time] ** 3 / [length] ** 2"},
      {"m ** (1/2)", 1, "meter", "[length]"},  // only a plain number is an exponent
      {"-3 * m", -3, "meter", "[length]"}, {"- 3 * m", 3, "meter", "[length]"},
      {"m - 3", 3, "meter", "[length]"}, {"1 / 0 * m", INFINITY, "meter", "[length]"},
      {"π / 180 * radian", std::numbers::pi / 180, "dimensionless", "dimensionless"},
      {open + "m" + close, 1, "meter", "[length]"},
      {open + "yd", 0.9144, "meter", "[length]"},  // never closed
      {open + "yd) ** 2" + std::string(kDepth - 1, ')'), 0.9144 * 0.9144, "meter ** 2",
       "[length] ** 2"},
      {close + "m" + open, 1, "meter", "[length]"},
      {"s * " + open + "m / " + open + "s" + close + close, 1, "meter", "[length]"},
  };
  // clang-format on
  for (const auto& c : cases) {
    Result<UnitInfo> info = eval_relation_tokens(r, tokenize_relation(c.relation));
    const std::string shown = c.relation.substr(0, 40);
    ASSERT_TRUE(info.ok()) << shown << ": " << info.error().message();
    if (std::isinf(c.factor)) {
      EXPECT_EQ(info->factor, c.factor) << shown;
    } else {
      EXPECT_NEAR(info->factor, c.factor, std::abs(c.factor) * 1e-15) << shown;
    }
    EXPECT_EQ(info->root_units.to_string(), c.roots) << shown;
    EXPECT_EQ(info->dimensionality.to_string(), c.dims) << shown;
  }
  UnitRegistry defining = world();
  UnitDef def;
  def.name = "deep";
  def.relation = open + "2 * yd" + close;
  ASSERT_TRUE(defining.try_add_unit(def).ok());
  EXPECT_DOUBLE_EQ(defining.find_unit("deep")->factor, 2 * 0.9144);
}

TEST(UnitExpression, Parses) {
  UnitRegistry r = world();
  // clang-format off
  const struct {
    std::string text;
    Pairs units;
  } cases[] = {
      {"   ", {}},
      {"\xC2\xA0m\xE2\x80\x83", {{"meter", 1}}},  // Unicode spaces are trimmed
      {"km/h", {{"km", 1}, {"hour", -1}}},
      {"meter / (second * kelvin)", {{"meter", 1}, {"second", -1}, {"kelvin", -1}}},
      {"J K^-1", {{"joule", 1}, {"kelvin", -1}}},
      {"m/s*s", {{"meter", 1}}}, {"m / s kg", {{"meter", 1}, {"second", -1}, {"kg", -1}}},
      {"1000 m", {{"meter", 1}}},
      {"2 ** 3 m", {}},  // numbers take no exponent: "**" stays the operator
      {"m ** 2 ** 3", {{"meter", 2}}}, {"m - s", {{"meter", 1}, {"second", 1}}},
      {"s / (m/s) ** 2", {{"second", 3}, {"meter", -2}}}, {"µs us", {{"µs", 1}, {"us", 1}}},
      {"km ** 2 / km ** 2", {}}, {"metres * hrs", {{"meter", 1}, {"hour", 1}}},
      {"°C", {{"degree_Celsius", 1}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    for (int twice = 0; twice < 2; ++twice) {  // the memo hands back the same result
      Result<UnitsContainer> got = r.parse_unit_expr(c.text);
      ASSERT_TRUE(got.ok()) << c.text.substr(0, 40) << ": " << got.error().message();
      EXPECT_EQ(pairs_of(*got), c.units) << c.text.substr(0, 40);
    }
  }
}

TEST(UnitExpression, UnknownWordIsTheError) {
  UnitRegistry r = world();
  const std::string deep = std::string(100000, '(') + "m * nope" + std::string(100000, ')');
  // clang-format off
  const std::pair<std::string, const char*> cases[] = {
      {"3 * nope * m", "nope"}, {"m * (s / nope)", "nope"}, {"m ^ nope", "nope"},
      {"nope1 / nope2", "nope1"}, {"(m / (s * furlongz", "furlongz"}, {"m\nkg", "m\nkg"},
      {"kkm", "kkm"}, {deep, "nope"}};
  // clang-format on
  for (const auto& [text, word] : cases) {
    Result<UnitsContainer> got = r.parse_unit_expr(text);
    ASSERT_FALSE(got.ok()) << text;
    EXPECT_EQ(got.error().kind(), ErrorKind::UndefinedUnit) << text;
    EXPECT_EQ(got.error().text1(), word) << text;
    Result<UnitInfo> info = eval_relation_tokens(r, tokenize_relation(text));
    ASSERT_FALSE(info.ok()) << text;
    EXPECT_EQ(info.error().text1(), word) << text;
  }
  for (const char* text : {"[length]", "2 ^ (nope)"}) {  // a group under "^" is evaluated first
    EXPECT_FALSE(text[0] == '[' ? r.parse_unit_expr(text).ok()
                                : eval_relation_tokens(r, tokenize_relation(text)).ok());
  }
  EXPECT_EQ(RegistryTesting::parse_memo_size(r), 0u);  // failures are not memoised
}

TEST(UnitExpression, MemoHoldsAtMost512Texts) {
  UnitRegistry r = world();
  ASSERT_TRUE(r.parse_unit_expr("dimensionless").ok());
  ASSERT_TRUE(r.parse_unit_expr("  ").ok());
  EXPECT_EQ(RegistryTesting::parse_memo_size(r), 0u);
  for (int i = 1; i <= 600; ++i) {
    EXPECT_EQ(pairs_of(r.parse_unit_expr("m ** " + std::to_string(i)).value()),
              (Pairs{{"meter", double(i)}}));
  }
  EXPECT_EQ(RegistryTesting::parse_memo_size(r), 512u);
  // Texts past the bound still parse, and the trimmed text is the key.
  EXPECT_EQ(pairs_of(r.parse_unit_expr(" m ** 600 ").value()), (Pairs{{"meter", 600}}));
  EXPECT_EQ(pairs_of(r.parse_unit_expr(" m ** 1\t").value()), (Pairs{{"meter", 1}}));
  EXPECT_EQ(RegistryTesting::parse_memo_size(r), 512u);
}

TEST(RootUnits, FactorsRootsAndDimensionality) {
  UnitRegistry r = world();
  // clang-format off
  const struct {
    Pairs units;
    double factor;
    Pairs roots;
    Pairs dims;
  } cases[] = {
      {{}, 1, {}, {}}, {{{"radian", 1}}, 1, {}, {}}, {{{"percent", 2}}, 1e-4, {}, {}},
      {{{"km", 1}, {"hour", -1}}, 1000.0 / 3600.0, {{"meter", 1}, {"second", -1}},
       {{"[length]", 1}, {"[time]", -1}}},
      {{{"kilogram", 1}}, 1000, {{"gram", 1}}, {{"[mass]", 1}}},
      {{{"meter", 0.5}, {"kyd", 0.5}}, std::sqrt(914.4), {{"meter", 1}}, {{"[length]", 1}}},
      {{{"yd", 2}, {"meter", -2}}, 0.9144 * 0.9144, {}, {}},
      {{{"newton", 1}}, 1000, {{"gram", 1}, {"meter", 1}, {"second", -2}},
       {{"[mass]", 1}, {"[length]", 1}, {"[time]", -2}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    Result<std::pair<double, UnitsContainer>> got = r.get_root_units(make(c.units));
    ASSERT_TRUE(got.ok());
    EXPECT_NEAR(got->first, c.factor, c.factor * 1e-15);
    EXPECT_EQ(pairs_of(got->second), c.roots);
    EXPECT_EQ(pairs_of(r.get_dimensionality(make(c.units)).value()), c.dims);
  }
}

TEST(Conversion, ValuesAndFactors) {
  UnitRegistry r = world();
  // clang-format off
  const struct {
    double value;
    const char* src;
    const char* dst;
    double expected;
    double factor;
  } cases[] = {
      {100, "degC", "degF", 212, 9.0 / 5},
      {0, "degC", "kelvin", 273.15, 1},  // offsets never enter the factor
      {300, "kelvin", "degC", 26.85, 1}, {-40, "degF", "°C", -40, 5.0 / 9},
      {1, "km", "m", 1000, 1000}, {1, "m", "km", 1e-3, 1e-3},
      {3, "km/h", "m/s", 3.0 / 3.6, 1 / 3.6},
      {10, "degC", "kelvin / second * second", 283.15, 1},  // the seconds cancel
      {5, "degC ** 2", "kelvin ** 2", 5, 1},                // factors only
      {2, "degC / s", "K / s", 2, 1},
      {1, "kdegC", "kelvin", 1000, 1000},  // a prefixed spelling carries no offset
      {7, "", "", 7, 1}, {7, "m/m", "dimensionless", 7, 1}, {1, "mK", "degC", -273.149, 1e-3},
      {1, "J", "kg m**2 / s**2", 1, 1},
      {1, "rad", "deg", 180 / std::numbers::pi, 180 / std::numbers::pi},
  };
  // clang-format on
  for (const auto& c : cases) {
    const UnitsContainer src = r.parse_unit_expr(c.src).value();
    const UnitsContainer dst = r.parse_unit_expr(c.dst).value();
    Result<double> got = r.convert(c.value, src, dst);
    ASSERT_TRUE(got.ok()) << c.src << " -> " << c.dst << ": " << got.error().message();
    EXPECT_NEAR(*got, c.expected, 1e-9) << c.src << " -> " << c.dst;
    EXPECT_NEAR(r.get_conversion_factor(src, dst).value(), c.factor, c.factor * 1e-12) << c.src;
  }
}

TEST(FormatUnits, Texts) {
  const UnitRegistry r = world();
  // clang-format off
  const std::pair<Pairs, const char*> cases[] = {
      {{}, "dimensionless"}, {{{"meter", 2}}, "m ** 2"}, {{{"meter", -1.5}}, "1 / m ** 1.5"},
      {{{"second", 1}, {"meter", 1}}, "m * s"},  // sorted by key, not by symbol
      {{{"km", 1}, {"hour", -1}}, "km / h"},
      {{{"gram", 1}, {"meter", 2}, {"second", -2}, {"kelvin", -1}}, "g * m ** 2 / K / s ** 2"},
      {{{"mole", -1}, {"kelvin", -1}}, "1 / K / mol"}, {{{"bit", 1}}, "bit"},
      {{{"degree_Celsius", 1}}, "°C"}, {{{"meter", 2.0000000000000004}}, "m ** 2.0000000000000004"},
      {{{"meter", 0.9999999999999999}}, "m"}, {{{"meter", 1e300}}, "m ** 9223372036854775807"},
      {{{"meter", 1e-7}}, "m ** 0.0000001"}, {{{"meter", std::nan("")}}, ""},
      {{{"meter", 0.0}, {"second", -1}}, "1 / s"},
      {{{"yard", 1}, {"Zebra", 1}}, "Zebra * yd"},  // byte order: capitals first
  };
  // clang-format on
  for (const auto& [units, text] : cases) EXPECT_EQ(r.format_units(make(units)), text) << text;
}

}  // namespace
}  // namespace qudim
