// Relations: the shared tokenizer and the evaluator that reduces a unit's
// right-hand side, with its operator persistence, exponent look-ahead and
// group handling, at any nesting depth.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <numbers>
#include <string>

#include "parser.hpp"
#include "registry/registry.hpp"
#include "registry_world.hpp"

namespace qudim {
namespace {

using testing::world;

/// Tokens as one line: numbers "#v", names 'n', operators * / ^, parens.
std::string render(const std::vector<RelToken>& tokens) {
  std::string out;
  for (const RelToken& t : tokens) {
    if (!out.empty()) out += ' ';
    switch (t.kind) {
      case RelToken::Kind::Number: {
        char buf[32];
        out += '#';
        out.append(buf, std::to_chars(buf, buf + sizeof buf, t.number).ptr);
        break;
      }
      case RelToken::Kind::Name:
        out += "'" + t.name + "'";
        break;
      case RelToken::Kind::Op:
        out += t.op == RelToken::OpCode::Mul ? "*" : t.op == RelToken::OpCode::Div ? "/" : "^";
        break;
      case RelToken::Kind::LParen:
        out += '(';
        break;
      case RelToken::Kind::RParen:
        out += ')';
        break;
    }
  }
  return out;
}

TEST(RelationTokenizer, Tokens) {
  const struct {
    const char* text;
    const char* tokens;
  } cases[] = {
      {"", ""},
      {"  \t ", ""},
      {"kilogram * meter / second ** 2", "'kilogram' * 'meter' / 'second' ^ #2"},
      {"s^-1", "'s' ^ #-1"},
      {"1-2", "#1 * #2"},
      {"m -3", "'m' * #3"},
      {"m-3", "'m-3'"},
      {")-2", ") * #2"},
      {"(-2)", "( #-2 )"},
      {"m*-2", "'m' * #-2"},
      {"-3 * m", "#-3 * 'm'"},
      {"- 3 * m", "#3 * 'm'"},
      {"-m", "'m'"},
      {"2m", "#2 'm'"},
      {"1em", "'m'"},
      {"1.2.3 m", "'m'"},
      {". m", "'m'"},
      {"5. .5 1e-3 2.5E+10", "#5 #0.5 #0.001 #2.5e+10"},
      {"1e+", ""},
      {"1e999", "#inf"},
      {"-1e999", "#-inf"},
      {"1e-999", "#0"},
      {"-1e-999", "#-0"},
      {"0.000001e-318", "#0"},
      {"12345e-328", "#0"},
      {"5e-324", "#5e-324"},
      {"0.0001e312", "#1e+308"},
      {"100e307", "#inf"},
      {"0.00e999", "#0"},
      {"1e999 -1e999", "#inf * #inf"},
      {"m ** 2 ** 3", "'m' ^ #2 ^ #3"},
      {"m***2", "'m' ^ * #2"},
      {"kg-m", "'kg-m'"},
      {"m2", "'m2'"},
      {"+m", "'+m'"},
      {"m%x", "'m%x'"},
      {"[length]/[time]", "'[length]' / '[time]'"},
      {"1.380649e-23 J K^-1", "#1.380649e-23 'J' 'K' ^ #-1"},
      {"m\nkg", "'m\nkg'"},
      {"\xC2\xA0m\xC2\xA0", "'m'"},  // no-break spaces trimmed off a name
      {"\xC2\xA0", ""},
      {"°C/h", "'°C' / 'h'"},
      {"((m)", "( ( 'm' )"},
  };
  for (const auto& c : cases) EXPECT_EQ(render(tokenize_relation(c.text)), c.tokens) << c.text;
}

TEST(RelationEval, Results) {
  const UnitRegistry r = world();
  const struct {
    const char* relation;
    double factor;
    const char* roots;
    const char* dims;
  } cases[] = {
      {"", 1, "dimensionless", "dimensionless"},
      {"[length] / [time]", 1, "dimensionless", "[length] / [time]"},
      {"[]", 1, "dimensionless", "[]"},
      {"[length] ** 2 / [length] ** 2", 1, "dimensionless", "dimensionless"},
      {"m / [length]", 1, "meter", "dimensionless"},
      {"2 ^ [length]", 2, "dimensionless", "dimensionless"},
      {"m/s/s", 1, "meter / second ** 2", "[length] / [time] ** 2"},
      {"m/(s*s)", 1, "meter / second ** 2", "[length] / [time] ** 2"},
      {"kg / m s", 1000, "gram / meter * second", "[mass] / [length] * [time]"},
      {"kg / m * s", 1000, "gram * second / meter", "[mass] * [time] / [length]"},
      {"1.380649e-23 J K^-1", 1.380649e-20, "gram * meter ** 2 / kelvin * second ** 2",
       "[length] ** 2 * [mass] / [temperature] * [time] ** 2"},
      {"kilogram * meter / second ** 2", 1000, "gram * meter / second ** 2",
       "[length] * [mass] / [time] ** 2"},
      {"5 / 9 * kelvin", 5.0 / 9.0, "kelvin", "[temperature]"},
      {"1e3 * hour", 3.6e6, "second", "[time]"},
      {"yd * yd * in", 0.9144 * 0.9144 * 0.0254, "meter ** 3", "[length] ** 3"},
      {"yd ** 2 ** 3", std::pow(0.9144 * 0.9144, 3), "meter ** 2", "[length] ** 2"},
      {"2 ^ 3", 8, "dimensionless", "dimensionless"},
      {"2 ^ dam", 1024, "dimensionless", "dimensionless"},
      {"2 ^ (yd)", 2, "dimensionless", "dimensionless"},
      {"(yd s) ** 2", 0.9144 * 0.9144, "meter ** 2 * second ** 2", "[length] ** 2 * [time] ** 2"},
      {"s / (yd / s) ** 2", 1 / (0.9144 * 0.9144), "second ** 3 / meter ** 2",
       "[time] ** 3 / [length] ** 2"},
      {"m ** (1/2)", 1, "meter", "[length]"},  // only a plain number is an exponent
      {"(m)", 1, "meter", "[length]"},
      {"((m)", 1, "meter", "[length]"},
      {"m)", 1, "meter", "[length]"},
      {"(yd", 0.9144, "meter", "[length]"},
      {"-3 * m", -3, "meter", "[length]"},
      {"- 3 * m", 3, "meter", "[length]"},
      {"m - 3", 3, "meter", "[length]"},
      {"1 / 0 * m", INFINITY, "meter", "[length]"},
      {"m / m", 1, "dimensionless", "dimensionless"},
      {"π / 180 * radian", std::numbers::pi / 180, "dimensionless", "dimensionless"},
  };
  for (const auto& c : cases) {
    Result<UnitInfo> info = eval_relation_tokens(r, tokenize_relation(c.relation));
    ASSERT_TRUE(info.ok()) << c.relation << ": " << info.error().message();
    if (std::isinf(c.factor)) {
      EXPECT_EQ(info->factor, c.factor) << c.relation;
    } else {
      EXPECT_NEAR(info->factor, c.factor, std::abs(c.factor) * 1e-15) << c.relation;
    }
    EXPECT_EQ(info->root_units.to_string(), c.roots) << c.relation;
    EXPECT_EQ(info->dimensionality.to_string(), c.dims) << c.relation;
  }
}

TEST(RelationEval, UnknownWordIsTheError) {
  const UnitRegistry r = world();
  const struct {
    const char* relation;
    const char* word;
  } cases[] = {
      {"3 * nope * m", "nope"},
      {"m * (s / nope)", "nope"},
      {"2 ^ (nope)", "nope"},  // a group under "^" is dropped, but evaluated first
      {"m ^ nope", "nope"},
      {"m\nkg", "m\nkg"},
      {"kkm", "kkm"},
      {"m's", "m's"},
  };
  for (const auto& c : cases) {
    Result<UnitInfo> info = eval_relation_tokens(r, tokenize_relation(c.relation));
    ASSERT_FALSE(info.ok()) << c.relation;
    EXPECT_EQ(info.error().kind(), ErrorKind::UndefinedUnit) << c.relation;
    EXPECT_EQ(info.error().text1(), c.word) << c.relation;
  }
}

TEST(RelationEval, DeepNesting) {
  const UnitRegistry r = world();
  constexpr std::size_t kDepth = 100000;
  const std::string open(kDepth, '(');
  const std::string close(kDepth, ')');
  const struct {
    std::string relation;
    double factor;
    const char* roots;
  } cases[] = {
      {open + "m" + close, 1, "meter"},
      {open + "yd", 0.9144, "meter"},  // never closed
      {open + "yd) ** 2" + std::string(kDepth - 1, ')'), 0.9144 * 0.9144, "meter ** 2"},
      {open + close + "m", 1, "meter"},
      {close + "m" + open, 1, "meter"},
      {"s * " + open + "m / " + open + "s" + close + close, 1, "meter"},
  };
  for (const auto& c : cases) {
    Result<UnitInfo> info = eval_relation_tokens(r, tokenize_relation(c.relation));
    ASSERT_TRUE(info.ok());
    EXPECT_NEAR(info->factor, c.factor, 1e-15);
    EXPECT_EQ(info->root_units.to_string(), c.roots);
  }
  Result<UnitInfo> failed = eval_relation_tokens(r, tokenize_relation(open + "m * nope" + close));
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().text1(), "nope");
}

TEST(RelationEval, DeeplyNestedDefinition) {
  UnitRegistry r = world();
  const std::string relation = std::string(100000, '(') + "2 * yd" + std::string(100000, ')');
  UnitDef def;
  def.name = "deep";
  def.relation = relation;
  ASSERT_TRUE(r.try_add_unit(def).ok());
  EXPECT_DOUBLE_EQ(r.find_unit("deep")->factor, 2 * 0.9144);
}

}  // namespace
}  // namespace qudim
