// The unit map: ordering, exact-zero removal (lazy in large maps), tolerant
// equality, text, and merging in front (the hash feed is checked against the
// interpreter's own SipHash by the Unit tests).
#include "units_container.hpp"

#include "units_container_testing.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace qudim {
namespace {

using Pairs = std::vector<std::pair<std::string, double>>;

UnitsContainer make(const Pairs& pairs) {
  UnitsContainer c;
  for (const auto& [n, e] : pairs) ContainerTesting::append(c, n, e);
  return c;
}

/// "u17" without operator+ (which trips a false -Wrestrict in GCC 12).
std::string key(const char* stem, int i) {
  std::string s(stem);
  s += std::to_string(i);
  return s;
}

/// c with name's exponent increased by e.
UnitsContainer added(UnitsContainer c, std::string_view name, double e) {
  c.add_in_place(name, e);
  return c;
}

Pairs pairs_of(const UnitsContainer& c) {
  Pairs out;
  for (const auto& e : c) out.emplace_back(e.name, e.exponent);
  return out;
}

TEST(UnitsContainer, Text) {
  // clang-format off
  const std::pair<Pairs, const char*> cases[] = {
      {{}, "dimensionless"}, {{{"meter", 1}, {"second", -2}}, "meter / second ** 2"},
      {{{"second", -1}}, "1 / second"},
      {{{"second", -2}, {"meter", 2}, {"kilogram", 1}}, "kilogram * meter ** 2 / second ** 2"},
      {{{"meter", 1}, {"kilogram", -1}, {"second", -2}}, "meter / kilogram * second ** 2"},
      {{{"meter", -1.5}}, "1 / meter ** 1.5"},
      {{{"meter", 1.0000000000000002}}, "meter ** 1.0000000000000002"},
      {{{"meter", 0.001}}, "meter ** 0.001"}, {{{"meter", 0.0}}, ""},
      {{{"meter", std::nan("")}}, ""},
      {{{"b", 1}, {"a", 1}, {"ab", -3}, {"B", -1}}, "a * b / B * ab ** 3"},
      {{{"meter", 1e300}}, "meter ** 9223372036854775807"},
      {{{"meter", 1}, {"", -1}}, "meter / "},  // empty names still count as terms
      {{{"", 1}, {"b", 1}}, " * b"},
  };
  // clang-format on
  for (const auto& [in, text] : cases) EXPECT_EQ(make(in).to_string(), text) << text;
}

TEST(UnitsContainer, AlgebraKeepsOrderAndDropsExactZero) {
  const UnitsContainer m = make({{"meter", 1}});
  const UnitsContainer abc = make({{"a", 1}, {"b", 2}, {"c", 3}});
  const UnitsContainer ms = make({{"meter", 1}, {"second", -2}});
  // clang-format off
  const std::pair<UnitsContainer, Pairs> cases[] = {
      {added(m, "second", -2), {{"meter", 1}, {"second", -2}}},
      {added(ms, "meter", -1), {{"second", -2}}}, {added(m, "second", 0.0), {{"meter", 1}}},
      {added(m, "second", -0.0), {{"meter", 1}}},
      {added(abc, "a", -1), {{"b", 2}, {"c", 3}}},  // removal shifts, the order stays
      {added(abc, "b", 1), {{"a", 1}, {"b", 3}, {"c", 3}}},
      {ms.pow(0.5), {{"meter", 0.5}, {"second", -1}}}, {ms.pow(0.0), {}}, {ms * ms.pow(-1.0), {}},
      {m * make({{"second", -1}, {"meter", 1}}), {{"meter", 2}, {"second", -1}}},
      {m / make({{"second", 1}, {"kilogram", -1}}),
       {{"meter", 1}, {"second", -1}, {"kilogram", 1}}},
      {abc / make({{"b", 2}}), {{"a", 1}, {"c", 3}}},
  };
  // clang-format on
  for (const auto& [got, expected] : cases) EXPECT_EQ(pairs_of(got), expected);
  EXPECT_EQ(pairs_of(m), (Pairs{{"meter", 1}}));  // operands are untouched
  UnitsContainer self = ms;
  self.mul_in_place(self);
  EXPECT_EQ(pairs_of(self), (Pairs{{"meter", 2}, {"second", -4}}));
  self.mul_in_place(self, -1.0);
  EXPECT_TRUE(self.empty());
}

TEST(UnitsContainer, EqualityToleratesEpsilonAndIgnoresOrder) {
  const UnitsContainer a = make({{"meter", 1}, {"second", -1}});
  EXPECT_TRUE(a == make({{"second", -1}, {"meter", 1}}));
  EXPECT_TRUE(a == make({{"meter", 1 + 1e-17}, {"second", -1}}));
  EXPECT_FALSE(a == make({{"meter", 1 + 4.5e-16}, {"second", -1}}));
  EXPECT_FALSE(a == make({{"meter", 1}}));
  EXPECT_FALSE(a == make({{"meter", 1}, {"kelvin", -1}}));
  EXPECT_FALSE(make({{"m", std::nan("")}}) == make({{"m", std::nan("")}}));
  EXPECT_TRUE(UnitsContainer() == UnitsContainer());
}

TEST(UnitsContainer, LargeMapsStayOrderedAcrossLazyRemoval) {
  // Past the inline room and the index threshold, cancel most names, re-add
  // some (they go to the end) and read in between: removed entries never show.
  UnitsContainer c;
  for (int i = 0; i < 1000; ++i) c.add_in_place(key("n", i), i + 1);
  for (int i = 0; i < 1000; i += 2) c.add_in_place(key("n", i), -(i + 1));
  EXPECT_EQ(c.size(), 500u);
  EXPECT_EQ(c[0].name, "n1");
  EXPECT_EQ(*c.find("n3"), 4);
  c.add_in_place("n0", 5);
  for (int i = 1; i < 900; i += 2) c.add_in_place(key("n", i), -(i + 1));
  ASSERT_EQ(c.size(), 51u);
  EXPECT_EQ(c[0].name, "n901");
  EXPECT_EQ(c[50].name, "n0");
  EXPECT_EQ(*c.find("n0"), 5);
  EXPECT_EQ(c.find("n1"), nullptr);
  UnitsContainer copy = c;
  UnitsContainer moved = std::move(copy);
  EXPECT_TRUE(ContainerTesting::identical(moved, c));
  copy = moved;  // assignment after a move
  EXPECT_TRUE(copy == c);
  copy.mul_in_place(c, -1.0);
  EXPECT_TRUE(copy.empty());
  EXPECT_EQ(copy.to_string(), "dimensionless");
  std::size_t n = 0;
  for (const auto& e : copy) n += e.name.size();
  EXPECT_EQ(n, 0u);
  // Long names (beyond the small-string buffer) survive inline moves.
  UnitsContainer longs = make({{std::string(40, 'x'), 1}, {std::string(50, 'y'), -1}});
  UnitsContainer longs2 = std::move(longs);
  EXPECT_EQ(longs2[1].name, std::string(50, 'y'));
  EXPECT_TRUE(longs.empty());
}

TEST(UnitsContainer, MergeFrontEqualsTheProductInOrderAndBits) {
  std::mt19937 rng(7);
  const auto u = [&rng] { return key("u", static_cast<int>(rng() % 30)); };
  for (int n = 0; n < 2000; ++n) {
    UnitsContainer front, back;
    const int nf = static_cast<int>(rng() % 6), nb = static_cast<int>(rng() % 40);
    for (int k = 0; k < nf; ++k) front.add_in_place(u(), static_cast<double>(rng() % 5) - 2);
    for (int k = 0; k < nb; ++k) back.add_in_place(u(), static_cast<double>(rng() % 5) - 2);
    const UnitsContainer expected = front * back;
    UnitsContainer merged = back;
    merged.merge_front(front);
    ASSERT_TRUE(ContainerTesting::identical(merged, expected))
        << merged.to_string() << " vs " << expected.to_string();
    merged.merge_front(front);  // again, on a map that already has room in front
    ASSERT_TRUE(ContainerTesting::identical(merged, front * expected));
  }
}

}  // namespace
}  // namespace qudim
