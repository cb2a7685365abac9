// Nested groups are folded smaller-into-larger and accumulate negated under
// "/": the results must be exactly those of the plain walk that copies every
// group into the level around it (checked against such a walk here).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "parser.hpp"
#include "registry/registry.hpp"
#include "units_container.hpp"

namespace qudim {
namespace {

/// The plain recursive walk over unit-expression tokens: groups are copied
/// into the enclosing map after raising them to their exponent.
UnitsContainer reference_eval(const UnitRegistry& r, const std::vector<RelToken>& t, std::size_t& i,
                              bool in_group) {
  using Kind = RelToken::Kind;
  using Op = RelToken::OpCode;
  const auto exponent = [&](std::size_t& k) {
    if (k + 2 < t.size() && t[k + 1].kind == Kind::Op && t[k + 1].op == Op::Pow &&
        t[k + 2].kind == Kind::Number) {
      k += 2;
      return t[k].number;
    }
    return 1.0;
  };
  UnitsContainer acc;
  Op c = Op::Mul;
  for (; i < t.size(); ++i) {
    switch (t[i].kind) {
      case Kind::Op:
        c = t[i].op;
        break;
      case Kind::Number:
        break;
      case Kind::Name: {
        // A registered spelling becomes its canonical name; "kg" stays as written.
        const std::string* canonical = r.lookup_spelling(t[i].name);
        const std::string key = canonical != nullptr ? *canonical : t[i].name;
        const double e = exponent(i);
        if (c != Op::Pow) acc = acc.add(key, c == Op::Mul ? e : -e);
        break;
      }
      case Kind::LParen: {
        ++i;
        const UnitsContainer inner = reference_eval(r, t, i, true);
        const double e = i < t.size() ? exponent(i) : 1.0;
        if (c == Op::Mul) acc = acc * inner.pow(e);
        if (c == Op::Div) acc = acc / inner.pow(e);
        break;
      }
      case Kind::RParen:
        if (in_group) return acc;
        break;
    }
  }
  return acc;
}

std::string random_expression(std::mt19937& rng, int depth) {
  static const char* const names[] = {"m", "s", "kg", "K", "mol", "A", "g", "cd"};
  static const char* const joins[] = {"*", "/", " ", "*", "/"};
  static const char* const exponents[] = {"", "", "", "**2", "**-1", "**0.5", "^3", "**-2"};
  std::string out;
  const int terms = 1 + static_cast<int>(rng() % 4);
  for (int k = 0; k < terms; ++k) {
    if (k > 0) out += joins[rng() % 5];
    if (depth > 0 && rng() % 3 == 0) {
      out += '(';
      out += random_expression(rng, depth - 1);
      out += ')';
    } else {
      out += names[rng() % 8];
    }
    out += exponents[rng() % 8];
  }
  return out;
}

TEST(NestedGroups, MatchThePlainWalkExactly) {
  UnitRegistry r = UnitRegistry::new_registry();
  std::mt19937 rng(20261206);
  for (int n = 0; n < 4000; ++n) {
    const std::string text = random_expression(rng, 5);
    const std::vector<RelToken> tokens = tokenize_relation(text);
    std::size_t i = 0;
    const UnitsContainer expected = reference_eval(r, tokens, i, false);
    Result<UnitsContainer> got = r.parse_unit_expr(text);
    ASSERT_TRUE(got.ok()) << text;
    EXPECT_TRUE(got->identical(expected)) << text << " -> " << got->to_string() << " vs "
                                          << expected.to_string();
  }
}

TEST(NestedGroups, RightNestedManyNamesKeepOrder) {
  // name0 * (name1 * (name2 ...)) and the same with "/": the outer names come
  // first, and under "/" the signs alternate.
  UnitRegistry r = UnitRegistry::new_registry();
  std::string defs;
  const auto nn = [](int k) {
    std::string s("nn");
    s += std::to_string(k);
    return s;
  };
  for (int k = 0; k < 300; ++k) {
    defs += nn(k);
    defs += " = 2 * meter\n";
  }
  for (const char op : {'*', '/'}) {
    std::string text;
    for (int k = 0; k < 300; ++k) {
      text += nn(k);
      text += op;
      text += '(';
    }
    text += 's';
    text.append(300, ')');
    UnitRegistry local = UnitRegistry::new_registry();
    ASSERT_TRUE(local.apply_definitions(parse_definitions(defs), true).ok());
    Result<UnitsContainer> got = local.parse_unit_expr(text);
    ASSERT_TRUE(got.ok());
    ASSERT_EQ(got->size(), 301u);
    for (int k = 0; k < 300; ++k) {
      EXPECT_EQ((*got)[k].name, nn(k));
      EXPECT_EQ((*got)[k].exponent, op == '*' || k % 2 == 0 ? 1.0 : -1.0) << k;
    }
    EXPECT_EQ((*got)[300].name, "second");
  }
}

TEST(MergeFront, EqualsTheProductInOrderAndBits) {
  std::mt19937 rng(7);
  const auto u = [&rng] {
    std::string s("u");
    s += std::to_string(rng() % 30);
    return s;
  };
  for (int n = 0; n < 2000; ++n) {
    UnitsContainer front;
    UnitsContainer back;
    const int nf = static_cast<int>(rng() % 6);
    const int nb = static_cast<int>(rng() % 40);
    for (int k = 0; k < nf; ++k) front.add_in_place(u(), static_cast<double>(rng() % 5) - 2);
    for (int k = 0; k < nb; ++k) back.add_in_place(u(), static_cast<double>(rng() % 5) - 2);
    const UnitsContainer expected = front * back;
    UnitsContainer merged = back;
    merged.merge_front(front);
    ASSERT_TRUE(merged.identical(expected)) << merged.to_string() << " vs " << expected.to_string();
    // Merging again in front keeps working on a map that already has room.
    merged.merge_front(front);
    ASSERT_TRUE(merged.identical(front * expected));
  }
}

}  // namespace
}  // namespace qudim
