// Tests of parse_definitions: every kind of line, directives and blocks.
#include <gtest/gtest.h>

#include <charconv>  // std::to_chars
#include <string>    // std::string
#include <variant>   // std::visit
#include <vector>    // std::vector

#include "parser.hpp"

namespace qudim {
namespace {

std::string number_text(double value) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

std::string join(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) {
    if (!out.empty()) out += ',';
    out += name;
  }
  return out;
}

std::string optional_text(const std::optional<std::string>& text) { return text ? *text : "~"; }

/// One line per record, fields separated by '|'; "~" marks an absent field.
///   Prefix name|value|symbol|aliases
///   Unit name|relation|symbol|aliases|offset|dimension (present iff base)
///   Dimension name|relation
///   Alias name|aliases
std::string describe(const Definition& def) {
  struct Describer {
    std::string operator()(const PrefixDef& d) const {
      return "Prefix " + d.name + "|" + number_text(d.value) + "|" + optional_text(d.symbol) +
             "|" + join(d.aliases);
    }
    std::string operator()(const UnitDef& d) const {
      if (d.is_base != d.dimension.has_value()) {
        return "Unit " + d.name + ": base flag and dimension disagree";
      }
      return "Unit " + d.name + "|" + d.relation + "|" + optional_text(d.symbol) + "|" +
             join(d.aliases) + "|" + (d.offset ? number_text(*d.offset) : "~") + "|" +
             optional_text(d.dimension);
    }
    std::string operator()(const DimensionDef& d) const {
      return "Dimension " + d.name + "|" + optional_text(d.relation);
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

struct ReaderCase {
  std::string text;
  std::vector<std::string> records;
};

void expect_records(const std::vector<ReaderCase>& cases) {
  for (const ReaderCase& c : cases) {
    std::vector<std::string> got;
    for (const Definition& def : parse_definitions(c.text)) got.push_back(describe(def));
    EXPECT_EQ(got, c.records) << "text:\n" << c.text;
  }
}

std::string repeat(std::string_view piece, int count) {
  std::string out;
  for (int k = 0; k < count; ++k) out.append(piece);
  return out;
}

TEST(ParserTest, BuiltInLineShapes) {
  expect_records({
      {"kilo- =  1e3   = k-", {"Prefix kilo|1000|k|"}},
      {"micro- = 1e-6  = µ- = μ- = u- = mu- = mc-", {"Prefix micro|1e-06|µ|μ,u,mu,mc"}},
      {"kibi- = 2**10 = Ki-", {"Prefix kibi|1024|Ki|"}},
      {"meter = [length] = m = metre", {"Unit meter|[length]|m|metre|~|[length]"}},
      {"radian = [] = rad", {"Unit radian|[]|rad||~|~"}},
      {"kelvin = [temperature]; offset: 0 = K = degK = °K = degree_Kelvin = degreeK",
       {"Unit kelvin|[temperature]|K|degK,°K,degree_Kelvin,degreeK|0|[temperature]"}},
      {"degree_Fahrenheit = 5 / 9 * kelvin; offset: 233.15 + 200 / 9 = °F = fahrenheit = degF = "
       "degreeF",
       {"Unit degree_Fahrenheit|5 / 9 * kelvin|°F|fahrenheit,degF,degreeF|255.37222222222223|~"}},
      {"turn = 2 * π * radian = _ = revolution = cycle = circle",
       {"Unit turn|2 * π * radian|revolution|cycle,circle|~|~"}},
      {"[area] = [length] ** 2", {"Dimension [area]|[length] ** 2"}},
      {"@alias meter = my_meter", {"Alias meter|my_meter"}},
      {"@import constants_en.txt", {"Import constants_en.txt"}},
      {"# Prefixes", {"Comment"}},
  });
}

TEST(ParserTest, BlankLinesAndComments) {
  expect_records({
      {"", {}},
      {"\n  \n\t\n\u3000\n", {}},
      {"# a\n# b\n#", {"Comment", "Comment", "Comment"}},
      {"   # note", {"Comment"}},
      {"kilo- = 1e3 # note", {"Prefix kilo|1000|~|"}},
      {"foo = bar # = baz", {"Unit foo|bar|~||~|~"}},
      // A '#' in the value cuts it before it is evaluated.
      {"kilo- = 1#e3", {"Prefix kilo|1|~|"}},
  });
}

TEST(ParserTest, LineEndsAndUnicodeBlanks) {
  expect_records({
      {"kilo- = 1e3 = k-\r\nmeter = [length] = m\r\n\r\n# c\r\n",
       {"Prefix kilo|1000|k|", "Unit meter|[length]|m||~|[length]", "Comment"}},
      // A last line without a line end still counts.
      {"a\nb", {"Unit a||~||~|~", "Unit b||~||~|~"}},
      {"\u00a0meter\u3000=\u2003[length]\u00a0=\u2002m\u2009",
       {"Unit meter|[length]|m||~|[length]"}},
  });
}

TEST(ParserTest, Blocks) {
  expect_records({
      {"@defaults\n  group = international\n  system = mks\n@end", {"Defaults"}},
      // Never closed: no record, and the rest of the text is swallowed.
      {"@defaults\n  group = international\nmeter = [length]", {}},
      {"@defaults extra words\n@end", {"Defaults"}},
      {"@defaults\n@end\n@end", {"Defaults"}},
      {"@defaults\n@end # closes\nfoo", {"Defaults", "Unit foo||~||~|~"}},
      // `@end x` is no `@end`: the block stays open.
      {"@defaults\nfoo = bar\n@end x\nbaz", {}},
      {"@end\nfoo", {"Unit foo||~||~|~"}},
      {"@system SI\n  meter = [length]\n  second\n@end\nsecond = [time]",
       {"Unit second|[time]|~||~|[time]"}},
      {"@systemic\nfoo\n@end\nbar", {"Unit bar||~||~|~"}},
      {"@group USCS\n  foot = 0.3048 * meter\n@end\nyard = 3 * foot",
       {"Unit foot|0.3048 * meter|~||~|~", "Unit yard|3 * foot|~||~|~"}},
      // Directives act inside blocks.
      {"@system X\n@alias meter = m2\n@import a.txt\n@end",
       {"Alias meter|m2", "Import a.txt"}},
      {"@system X\n@defaults\n@end\nfoo", {"Defaults", "Unit foo||~||~|~"}},
      // Contexts open no block: their rule lines are dropped on their own and
      // the definitions after them are read.
      {"@context(n=1) optics = op\n[length] <-> [frequency]: speed_of_light / value\n"
       "foo = bar\n@end",
       {"Unit foo|bar|~||~|~"}},
  });
}

TEST(ParserTest, DirectiveLines) {
  expect_records({
      {"@alias", {}},  // shorter than 7 bytes
      {"@a = b", {}},
      {"@alias meter", {}},
      {"@alias meter = a = _ =  = b", {"Alias meter|a,b"}},
      {"@alias meter = _", {"Alias meter|"}},
      {"@alias  meter=a", {"Alias meter|a"}},
      {"@import", {}},
      {"@import   other.txt  ", {"Import other.txt"}},
      {"@importother.txt", {}},
      {"@unknown foo = bar", {}},
  });
}

TEST(ParserTest, Prefixes) {
  expect_records({
      {"semi- = 0.5 = _ = demi-", {"Prefix semi|0.5|demi|"}},
      {"foo-- = 2 = f-- = _- = - = g", {"Prefix foo|2|f|g"}},
      {"foo- = abc", {}},
      {"foo- = ", {}},
      {"foo- = 2 * (3 + 4", {"Prefix foo|14|~|"}},
      {"pi- = π / 2 = p", {"Prefix pi|1.5707963267948966|p|"}},
      {"neg- = -1e-3", {"Prefix neg|-0.001|~|"}},
      {"- = 5 = x", {}},  // no name: unusable
      {"-- = 5", {}},
      {"deep- = " + repeat("(", 100'000) + "2" + repeat(")", 100'000) + " = d-",
       {"Prefix deep|2|d|"}},
  });
}

TEST(ParserTest, Dimensions) {
  expect_records({
      {"[length] -> [frequency]: value", {}},
      {"[foo] =", {"Dimension [foo]|~"}},
      {"[a] = b = c", {"Dimension [a]|b = c"}},
      {"[speed]=[length]/[time]", {"Dimension [speed]|[length]/[time]"}},
  });
}

TEST(ParserTest, Units) {
  expect_records({
      {"foo", {"Unit foo||~||~|~"}},
      {"foo = bar; offset: 3 = f = ff", {"Unit foo|bar|f|ff|3|~"}},
      // Without '=' in the main part the extra names are all aliases.
      {"foo; offset: 3 = f = ff", {"Unit foo||~|f,ff|3|~"}},
      {"foo = bar; offset: abc", {"Unit foo|bar|~||~|~"}},
      {"foo = bar; offset:", {"Unit foo|bar|~||~|~"}},
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
      {"foo =", {"Unit foo||~||~|~"}},
      // No name: unusable (it would register "s" as its plural).
      {"= 5", {}},
      {" = 5 = sym", {}},
      {"; offset: 3 = f", {}},
  });
}

TEST(ParserTest, MixedTextKeepsLineOrder) {
  const std::string text =
      "# Units\n"
      "@defaults\n  group = international\n@end\n"
      "kilo- = 1e3 = k-\n"
      "[area] = [length] ** 2\n"
      "meter = [length] = m\n"
      "@alias meter = metre\n"
      "@import constants_en.txt\n";
  expect_records({{text,
                   {"Comment", "Defaults", "Prefix kilo|1000|k|", "Dimension [area]|[length] ** 2",
                    "Unit meter|[length]|m||~|[length]", "Alias meter|metre",
                    "Import constants_en.txt"}}});
}

TEST(ParserTest, LongInputs) {
  constexpr int kCount = 100'000;
  std::string lines;
  for (int k = 0; k < kCount; ++k) {
    // Appended piece by piece: `"u" + std::string` trips a false -Wrestrict in GCC 12.
    lines += 'u';
    lines += std::to_string(k);
    lines += " = ";
    lines += std::to_string(k);
    lines += '\n';
  }
  const std::vector<Definition> defs = parse_definitions(lines);
  ASSERT_EQ(defs.size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(describe(defs.back()), "Unit u99999|99999|~||~|~");

  const std::vector<Definition> one = parse_definitions("foo = bar = s" + repeat(" = a", kCount));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(std::get<UnitDef>(one[0]).aliases.size(), static_cast<std::size_t>(kCount));
}

}  // namespace
}  // namespace qudim
