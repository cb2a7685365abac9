// The unit map: ordering, exact-zero removal, tolerant equality, hash feed, text.
#include "units_container.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace qudim {
namespace {

using Pairs = std::vector<std::pair<std::string, double>>;

UnitsContainer make(const Pairs& pairs) {
  UnitsContainer c;
  for (const auto& [n, e] : pairs) c.push_back_unchecked(n, e);
  return c;
}

/// "u17" without operator+ (which trips a false -Wrestrict in GCC 12).
std::string key(const char* stem, int i) {
  std::string s(stem);
  s += std::to_string(i);
  return s;
}

Pairs pairs_of(const UnitsContainer& c) {
  Pairs out;
  for (const auto& e : c) out.emplace_back(e.name, e.exponent);
  return out;
}

TEST(UnitsContainerText, WorkedExamples) {
  const struct {
    Pairs in;
    const char* text;
  } cases[] = {
      {{}, "dimensionless"},
      {{{"meter", 1}}, "meter"},
      {{{"meter", 1}, {"second", -2}}, "meter / second ** 2"},
      {{{"second", -1}}, "1 / second"},
      {{{"second", -2}, {"meter", 2}, {"kilogram", 1}}, "kilogram * meter ** 2 / second ** 2"},
      {{{"meter", 1}, {"kilogram", -1}, {"second", -2}}, "meter / kilogram * second ** 2"},
      {{{"meter", 0.5}}, "meter ** 0.5"},
      {{{"meter", -1.5}}, "1 / meter ** 1.5"},
      {{{"[length]", 1}, {"[time]", -1}}, "[length] / [time]"},
      {{{"meter", 1.0000000000000002}}, "meter ** 1.0000000000000002"},
      {{{"meter", 0.001}}, "meter ** 0.001"},
      {{{"meter", 0.0}}, ""},
      {{{"meter", std::nan("")}}, ""},
      {{{"b", 1}, {"a", 1}, {"ab", -3}, {"B", -1}}, "a * b / B * ab ** 3"},
      {{{"meter", 1e300}}, "meter ** 9223372036854775807"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(make(c.in).to_string(), c.text) << c.text;
  }
}

TEST(UnitsContainerAlgebra, AddKeepsOrderAndDropsExactZero) {
  const UnitsContainer m = make({{"meter", 1}});
  const UnitsContainer ms2 = m.add("second", -2);
  EXPECT_EQ(pairs_of(ms2), (Pairs{{"meter", 1}, {"second", -2}}));
  EXPECT_EQ(pairs_of(ms2.add("meter", -1)), (Pairs{{"second", -2}}));
  EXPECT_EQ(pairs_of(m.add("second", 0.0)), (Pairs{{"meter", 1}}));
  EXPECT_EQ(pairs_of(m.add("second", -0.0)), (Pairs{{"meter", 1}}));
  // The operand is untouched.
  EXPECT_EQ(pairs_of(m), (Pairs{{"meter", 1}}));
  // Removal shifts: the order of the others is kept.
  const UnitsContainer abc = make({{"a", 1}, {"b", 2}, {"c", 3}});
  EXPECT_EQ(pairs_of(abc.add("a", -1)), (Pairs{{"b", 2}, {"c", 3}}));
  EXPECT_EQ(pairs_of(abc.add("b", 1)), (Pairs{{"a", 1}, {"b", 3}, {"c", 3}}));
}

TEST(UnitsContainerAlgebra, PowMulDiv) {
  const UnitsContainer ms = make({{"meter", 1}, {"second", -2}});
  EXPECT_EQ(pairs_of(ms.pow(0.5)), (Pairs{{"meter", 0.5}, {"second", -1}}));
  EXPECT_TRUE(ms.pow(0.0).empty());
  EXPECT_EQ(ms.pow(0.0).to_string(), "dimensionless");
  EXPECT_TRUE((ms * ms.pow(-1.0)).empty());
  const UnitsContainer m = make({{"meter", 1}});
  EXPECT_EQ(pairs_of(m * make({{"second", -1}, {"meter", 1}})), (Pairs{{"meter", 2}, {"second", -1}}));
  EXPECT_TRUE((m / m).empty());
  EXPECT_EQ(pairs_of(m / make({{"second", 1}, {"kilogram", -1}})),
            (Pairs{{"meter", 1}, {"second", -1}, {"kilogram", 1}}));
  // A name that cancels disappears wherever it stood.
  EXPECT_EQ(pairs_of(make({{"a", 1}, {"b", 1}, {"c", 1}}) / make({{"b", 1}})),
            (Pairs{{"a", 1}, {"c", 1}}));
}

TEST(UnitsContainerEquality, ToleranceAndOrder) {
  const UnitsContainer a = make({{"meter", 1}, {"second", -1}});
  const UnitsContainer b = make({{"second", -1}, {"meter", 1}});
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a == make({{"meter", 1 + 1e-17}, {"second", -1}}));
  EXPECT_FALSE(a == make({{"meter", 1 + 4.5e-16}, {"second", -1}}));
  EXPECT_FALSE(a == make({{"meter", 1}}));
  EXPECT_FALSE(a == make({{"meter", 1}, {"kelvin", -1}}));
  EXPECT_FALSE(make({{"m", std::nan("")}}) == make({{"m", std::nan("")}}));
  EXPECT_TRUE(UnitsContainer() == UnitsContainer());
}

TEST(UnitsContainerHash, SortedFeedIgnoresOrderButNotBits) {
  std::string fa, fb, fc;
  make({{"meter", 1}, {"second", -1}}).append_hash_feed(fa);
  make({{"second", -1}, {"meter", 1}}).append_hash_feed(fb);
  make({{"second", -1}, {"meter", 1 + 2.220446049250313e-16}}).append_hash_feed(fc);
  EXPECT_EQ(fa, fb);
  EXPECT_NE(fa, fc);
  std::string expected = "meter";
  expected += '\xFF';
  expected += std::string("\x00\x00\x00\x00\x00\x00\xF0\x3F", 8);  // 1.0, little-endian
  expected += "second";
  expected += '\xFF';
  expected += std::string("\x00\x00\x00\x00\x00\x00\xF0\xBF", 8);  // -1.0
  EXPECT_EQ(fa, expected);
  std::string empty;
  UnitsContainer().append_hash_feed(empty);
  EXPECT_TRUE(empty.empty());
  // A shorter name that prefixes a longer one sorts first.
  std::string fd;
  make({{"ab", 1}, {"a", 1}}).append_hash_feed(fd);
  EXPECT_EQ(fd.substr(0, 2), std::string("a\xFF"));
}

TEST(UnitsContainerStorage, ManyEntriesStayOrderedAndFindable) {
  // Past the inline room and the index threshold, with removals in between.
  UnitsContainer c;
  for (int i = 0; i < 200; ++i) c.add_in_place(key("u", i), i + 1);
  for (int i = 0; i < 200; i += 3) c.add_in_place(key("u", i), -(i + 1));
  std::vector<std::string> names;
  for (const auto& e : c) names.push_back(e.name);
  ASSERT_EQ(names.size(), 133u);
  EXPECT_EQ(names[0], "u1");
  EXPECT_EQ(names[1], "u2");
  EXPECT_EQ(names[2], "u4");
  for (int i = 0; i < 200; ++i) {
    const double* e = c.find(key("u", i));
    if (i % 3 == 0) {
      EXPECT_EQ(e, nullptr) << i;
    } else {
      ASSERT_NE(e, nullptr) << i;
      EXPECT_EQ(*e, i + 1);
    }
  }
  // Copies and moves keep everything.
  UnitsContainer copy = c;
  UnitsContainer moved = std::move(copy);
  EXPECT_TRUE(moved == c);
  EXPECT_TRUE(moved.identical(c));
  copy = moved;  // assignment after a move
  EXPECT_TRUE(copy == c);
  // Long names (beyond the small-string buffer) survive inline moves.
  UnitsContainer longs = make({{std::string(40, 'x'), 1}, {std::string(50, 'y'), -1}});
  UnitsContainer longs2 = std::move(longs);
  EXPECT_EQ(longs2[1].name, std::string(50, 'y'));
  EXPECT_TRUE(longs.empty());
}

TEST(UnitsContainerStorage, SelfMultiplication) {
  UnitsContainer c = make({{"meter", 1}, {"second", -1}});
  c.mul_in_place(c);
  EXPECT_EQ(pairs_of(c), (Pairs{{"meter", 2}, {"second", -2}}));
  c.div_in_place(c);
  EXPECT_TRUE(c.empty());
}

}  // namespace
}  // namespace qudim

namespace qudim {
namespace {

TEST(UnitsContainerStorage, LargeMapCancellationKeepsOrderAcrossReads) {
  // Cancel most names of a large map, re-add some (they go to the end), and
  // read in between: lazily removed entries must never show.
  UnitsContainer c;
  for (int i = 0; i < 1000; ++i) c.add_in_place(key("n", i), 1);
  for (int i = 0; i < 1000; i += 2) c.add_in_place(key("n", i), -1);
  EXPECT_EQ(c.size(), 500u);
  EXPECT_EQ(c[0].name, "n1");
  c.add_in_place("n0", 5);
  for (int i = 1; i < 900; i += 2) c.add_in_place(key("n", i), -1);
  ASSERT_EQ(c.size(), 51u);
  EXPECT_EQ(c[0].name, "n901");
  EXPECT_EQ(c[50].name, "n0");
  EXPECT_EQ(*c.find("n0"), 5);
  EXPECT_EQ(c.find("n1"), nullptr);
  UnitsContainer copy = c;
  EXPECT_TRUE(copy.identical(c));
  // Cancel everything through division by itself: empty, and prints so.
  copy.div_in_place(c);
  EXPECT_TRUE(copy.empty());
  EXPECT_EQ(copy.to_string(), "dimensionless");
  std::size_t n = 0;
  for (const auto& e : copy) n += e.name.size();
  EXPECT_EQ(n, 0u);
}

}  // namespace
}  // namespace qudim

namespace qudim {
namespace {

TEST(UnitsContainerText, EmptyNamesStillCountAsTerms) {
  UnitsContainer c;
  c.push_back_unchecked("meter", 1);
  c.push_back_unchecked("", -1);
  EXPECT_EQ(c.to_string(), "meter / ");
  UnitsContainer d;
  d.push_back_unchecked("", 1);
  d.push_back_unchecked("b", 1);
  EXPECT_EQ(d.to_string(), " * b");
}

}  // namespace
}  // namespace qudim
