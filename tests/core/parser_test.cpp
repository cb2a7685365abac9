// The definitions reader (every kind of line, directives and blocks) and the
// numeric evaluator (literals, operators, quirks and deep nesting).
#include "parser.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <variant>
#include <vector>

namespace qudim {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.141592653589793;

std::string repeat(std::string_view piece, int count) {
  std::string out;
  for (int k = 0; k < count; ++k) out.append(piece);
  return out;
}

std::string number_text(double value) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

std::string join(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ",") + name;
  return out;
}

std::string opt(const std::optional<std::string>& text) { return text ? *text : "~"; }

/// One line per record, fields separated by '|'; "~" marks an absent field.
///   Prefix name|value|symbol|aliases
///   Unit name|relation|symbol|aliases|offset|dimension (present iff base)
std::string describe(const Definition& def) {
  struct Describer {
    std::string operator()(const PrefixDef& d) const {
      return "Prefix " + d.name + "|" + number_text(d.value) + "|" + opt(d.symbol) + "|" +
             join(d.aliases);
    }
    std::string operator()(const UnitDef& d) const {
      if (d.is_base != d.dimension.has_value()) return "Unit " + d.name + ": base flag disagrees";
      return "Unit " + d.name + "|" + d.relation + "|" + opt(d.symbol) + "|" + join(d.aliases) +
             "|" + (d.offset ? number_text(*d.offset) : "~") + "|" + opt(d.dimension);
    }
    std::string operator()(const DimensionDef& d) const {
      return "Dimension " + d.name + "|" + opt(d.relation);
    }
    std::string operator()(const AliasDef& d) const {
      return "Alias " + d.name + "|" + join(d.aliases);
    }
    std::string operator()(const DefaultsDef&) const { return "Defaults"; }
    std::string operator()(const CommentDef&) const { return "Comment"; }
    std::string operator()(const ImportDef& d) const { return "Import " + d.path; }
  };
  return std::visit(Describer{}, def);
}

TEST(DefinitionsReader, Records) {
  const std::string deep = repeat("(", 100'000) + "2" + repeat(")", 100'000);
  // clang-format off
  const struct {
    std::string text;
    std::vector<std::string> records;
  } cases[] = {
      // Line shapes of the built-in texts (every line of them loads in the registry tests).
      {"micro- = 1e-6  = µ- = μ- = u- = mu- = mc-", {"Prefix micro|1e-06|µ|μ,u,mu,mc"}},
      {"radian = [] = rad", {"Unit radian|[]|rad||~|~"}},  // "[]" makes no base unit
      {"[area] = [length] ** 2", {"Dimension [area]|[length] ** 2"}},
      // Blank lines, comments and line ends.
      {"\n  \n\t\n\u3000\n", {}}, {"# a\n   # b", {"Comment", "Comment"}},
      {"foo = bar # = baz", {"Unit foo|bar|~||~|~"}},
      {"kilo- = 1#e3", {"Prefix kilo|1|~|"}},  // '#' cuts the value before evaluation
      {"kilo- = 1e3 = k-\r\nmeter = [length] = m\r\n\r\n",
       {"Prefix kilo|1000|k|", "Unit meter|[length]|m||~|[length]"}},
      {"\u00a0meter\u3000=\u2003[length]\u00a0=\u2002m\u2009",
       {"Unit meter|[length]|m||~|[length]"}},
      // Blocks.
      {"@defaults\n  group = international\n@end", {"Defaults"}},
      {"@defaults\n  group = international\nmeter = [length]", {}},  // never closed
      {"@defaults extra words\n@end\n@end", {"Defaults"}},
      {"@defaults\n@end # closes\nfoo", {"Defaults", "Unit foo||~||~|~"}},
      {"@defaults\nfoo = bar\n@end x\nbaz", {}},  // `@end x` is no `@end`
      {"@end\nfoo", {"Unit foo||~||~|~"}},
      {"@system SI\n  meter = [length]\n@end\nsecond = [time]", {"Unit second|[time]|~||~|[time]"}},
      {"@systemic\nfoo\n@end\nbar", {"Unit bar||~||~|~"}},
      {"@group G\n  foot = 0.3048 * meter\n@end\nyard",
       {"Unit foot|0.3048 * meter|~||~|~", "Unit yard||~||~|~"}},
      {"@system X\n@alias meter = m2\n@import a.txt\n@defaults\n@end\nfoo",
       {"Alias meter|m2", "Import a.txt", "Defaults", "Unit foo||~||~|~"}},
      {"@context(n=1) optics = op\n[length] <-> [frequency]: c / value\nfoo = bar\n@end",
       {"Unit foo|bar|~||~|~"}},  // contexts open no block
      // Directives.
      {"@a = b", {}}, {"@alias meter", {}},
      {"@alias meter = a = _ =  = b", {"Alias meter|a,b"}}, {"@alias  meter=a", {"Alias meter|a"}},
      {"@import   other.txt  ", {"Import other.txt"}}, {"@importother.txt", {}},
      {"@unknown foo = bar", {}},
      // Prefixes.
      {"semi- = 0.5 = _ = demi-", {"Prefix semi|0.5|demi|"}},
      {"foo-- = 2 = f-- = _- = - = g", {"Prefix foo|2|f|g"}}, {"foo- = abc", {}},
      {"foo- = 2 * (3 + 4", {"Prefix foo|14|~|"}},
      {"pi- = π / 2 = p", {"Prefix pi|1.5707963267948966|p|"}}, {"- = 5 = x", {}}, {"-- = 5", {}},
      {"deep- = " + deep + " = d-", {"Prefix deep|2|d|"}},
      // Dimensions.
      {"[length] -> [frequency]: value", {}}, {"[foo] =", {"Dimension [foo]|~"}},
      {"[a] = b = c", {"Dimension [a]|b = c"}},
      // Units.
      {"foo = bar; offset: 3 = f = ff", {"Unit foo|bar|f|ff|3|~"}},
      {"foo; offset: 3 = f = ff", {"Unit foo||~|f,ff|3|~"}},  // without '=' all are aliases
      {"foo = bar; offset: abc", {"Unit foo|bar|~||~|~"}},
      {"foo = bar; offset: 1 + 2 = f", {"Unit foo|bar|f||3|~"}},
      {"foo = bar; offset : 3 = f", {"Unit foo|bar|f||~|~"}},
      {"foo = [length]; offset: 273.15", {"Unit foo|[length]|~||273.15|[length]"}},
      {"decibel = 1 ; logbase: 10; logfactor: 10 = dB", {"Unit decibel|1|dB||~|~"}},
      {"foo = bar = s; offset: 1 = x = y", {"Unit foo|bar|s|x,y|1|~"}},
      {"foo = bar; x = _ =  = y = z", {"Unit foo|bar|y|z|~|~"}},
      {"foo = bar = = _ = baz = qux-", {"Unit foo|bar|baz|qux-|~|~"}},
      {"foo = [length] ** 2", {"Unit foo|[length] ** 2|~||~|~"}},
      {"foo = [a] / [b]", {"Unit foo|[a] / [b]|~||~|[a] / [b]"}},
      {"foo = [length", {"Unit foo|[length|~||~|~"}},
      {"= 5", {}},  // no name: unusable
      {" = 5 = sym", {}}, {"; offset: 3 = f", {}},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::vector<std::string> got;
    for (const Definition& def : parse_definitions(c.text)) got.push_back(describe(def));
    EXPECT_EQ(got, c.records) << "text:\n" << c.text;
  }
}

TEST(NumericEval, Values) {
  constexpr int kDepth = 100'000;
  // clang-format off
  const struct {
    std::string text;
    double expected;  // compared bit for bit, so -0.0 differs from 0.0
  } cases[] = {
      // Literals, with overflow to an infinity and underflow to a signed zero.
      {"1e-3", 1e-3}, {"+5", 5.0}, {".5", 0.5}, {"1.", 1.0}, {"-.5", -0.5}, {"007", 7.0},
      {"  12\t", 12.0}, {"\u00a012\u3000", 12.0}, {"-inf", -kInf}, {"INFINITY", kInf},
      {"1e400", kInf}, {"-1e-400", -0.0}, {repeat("1", 1) + repeat("0", 400), kInf},
      {repeat("1", 1) + repeat("0", 400) + "e-100", 1e300},
      {repeat("0.", 1) + repeat("0", 400) + "1e400", 0.1},
      {repeat("0.", 1) + repeat("0", 400) + "1e10", 0.0}, {"0e99999", 0.0}, {"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()},
      {"3.1415926535897932384626433832795028841971693993751", kPi},
      // Operators: power groups to the right, the rest to the left.
      {"2**10", 1024.0}, {"2 ** 3 ** 2", 512.0}, {"(2**3)**2", 64.0}, {"2 + 3 * 4", 14.0},
      {"2 ** 3 * 2", 16.0}, {"5 - 3 - 1", 1.0}, {"10 / 2 / 5", 1.0}, {"2\t*\t3", 6.0},
      {"1/0", kInf}, {"-1/0", -kInf}, {"2 ** 0.5", 1.4142135623730951}, {"1+2e+3", 2001.0},
      // '-' after an operator starts a literal; a leading '-' belongs to it.
      {"2**-3", 0.125}, {"2*-3", -6.0}, {"5 - -3", 8.0}, {"(-3)", -3.0}, {"-2**2", 4.0},
      // π is replaced by its digits before tokenizing.
      {"π", kPi}, {"π / 2", kPi / 2.0}, {"2*-π", -2.0 * kPi}, {"2π", 23.141592653589793},
      // Lenient: missing ')' accepted, leftover tokens ignored, lone letters skipped.
      {"2 * (3 + 4", 14.0}, {"1 + (2 * (3", 7.0}, {"2 3", 2.0}, {"2^3", 2.0}, {"2 ) * 3", 2.0},
      {"(2 3) * 4", 2.0}, {"0x10", 0.0}, {"1_000", 1.0}, {"e5", 5.0},
      // Deep nesting; 1-(1-(...(1-x))) flips with the depth's parity.
      {repeat("(", kDepth) + "2.5" + repeat(")", kDepth), 2.5},
      {repeat("(", kDepth) + "2" + repeat(")", kDepth) + " * 3", 6.0},
      {repeat("1-(", kDepth) + "0.25" + repeat(")", kDepth), 0.25},
      {repeat("1-(", kDepth - 1) + "0.25" + repeat(")", kDepth - 1), 0.75},
      {"2**" + repeat("1**", kDepth) + "3", 2.0},  // left grouping would give 8
      {repeat("2**", kDepth) + "2", kInf},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::optional<double> got = eval_simple_expr(c.text);
    ASSERT_TRUE(got.has_value()) << "text: '" << c.text.substr(0, 40) << "'";
    EXPECT_EQ(std::bit_cast<std::uint64_t>(*got), std::bit_cast<std::uint64_t>(c.expected))
        << "text: '" << c.text.substr(0, 40) << "' gave " << *got;
  }
  for (const char* text : {"nan", "NaN", "-nan", "+NAN", "0/0"}) {
    EXPECT_TRUE(std::isnan(eval_simple_expr(text).value_or(0))) << text;
  }
}

TEST(NumericEval, NoValue) {
  // clang-format off
  const std::string no_value[] = {
      "", "\u3000", "2 * x", "-(2)", "2 * -1e-3", "2 * - 3", "--5", "+ 2", "*2", "2 *", "2 **",
      "2 +", "(", "()", ")", "1..2", "1e", "ππ", "2 * inf", "inf + 1", "abc", "2 3..4", "1.2.3 + 1",
      repeat("(", 100'000), repeat("2**", 100'000), repeat("(2*", 100'000) + ")"};
  // clang-format on
  for (const std::string& text : no_value) {
    EXPECT_FALSE(eval_simple_expr(text).has_value()) << "text: '" << text.substr(0, 40) << "'";
  }
}

}  // namespace
}  // namespace qudim
