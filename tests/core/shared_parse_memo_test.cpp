// The parse memo shared by registries that have nothing but the built-in
// layer: what it keeps, when a registry stops using it, and that a
// definition in one registry never reaches another through it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "parser.hpp"
#include "registry/registry.hpp"
#include "registry/shared_parse_memo.hpp"

namespace qudim {
namespace {

using Pairs = std::vector<std::pair<std::string, double>>;

Pairs pairs_of(const UnitsContainer& c) {
  Pairs out;
  for (const auto& e : c) out.emplace_back(e.name, e.exponent);
  return out;
}

/// stem followed by the digits of i ("u7").
std::string numbered(const char* stem, std::size_t i) {
  std::string text(stem);
  text += std::to_string(i);
  return text;
}

Status define(UnitRegistry& r, std::string_view text) {
  return r.apply_definitions(parse_definitions(text), true);
}

/// The map a registry hands out for text (the memo's own entry when kept).
const UnitsContainer* parsed_ref(UnitRegistry& r, std::string_view text, UnitsContainer& scratch) {
  Result<const UnitsContainer*> got = r.parse_unit_expr_ref(text, scratch);
  return got.ok() ? *got : nullptr;
}

TEST(SharedParseMemo, KeepsFirstCopyAndFindsIt) {
  detail::SharedParseMemo memo;
  EXPECT_EQ(memo.find("m"), nullptr);
  UnitsContainer meter = UnitsContainer::single("meter", 1.0);
  const UnitsContainer* kept = memo.insert("m", meter);
  ASSERT_NE(kept, nullptr);
  EXPECT_NE(kept, &meter);  // a copy
  EXPECT_EQ(memo.find("m"), kept);
  EXPECT_EQ(memo.insert("m", UnitsContainer::single("other", 2.0)), kept);
  EXPECT_EQ(pairs_of(*memo.find("m")), (Pairs{{"meter", 1.0}}));
  EXPECT_EQ(memo.find("m "), nullptr);  // keys are exact
  EXPECT_EQ(memo.size(), 1u);
}

TEST(SharedParseMemo, StopsAtCapacityAndKeepsEarlierEntries) {
  detail::SharedParseMemo memo;
  std::vector<const UnitsContainer*> kept;
  for (std::size_t i = 0; i < detail::SharedParseMemo::kCapacity; ++i) {
    kept.push_back(memo.insert(numbered("u", i), UnitsContainer::single("x", double(i + 1))));
    ASSERT_NE(kept.back(), nullptr) << i;
  }
  EXPECT_EQ(memo.insert("one too many", UnitsContainer()), nullptr);
  EXPECT_EQ(memo.find("one too many"), nullptr);
  EXPECT_EQ(memo.insert("u7", UnitsContainer()), kept[7]);  // kept texts still answer
  for (std::size_t i = 0; i < kept.size(); ++i) {
    ASSERT_EQ(memo.find(numbered("u", i)), kept[i]) << i;
    EXPECT_EQ((*kept[i])[0].exponent, double(i + 1));
  }
}

TEST(SharedParseMemo, ConcurrentReadersSeeWholeEntries) {
  detail::SharedParseMemo memo;
  constexpr int kTexts = 400;
  std::atomic<bool> wrong{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kTexts; ++i) {
        const int k = (i * 7 + t * 13) % kTexts;
        const std::string text = numbered("t", std::size_t(k));
        const UnitsContainer* got = memo.find(text);
        if (got == nullptr) got = memo.insert(text, UnitsContainer::single(text, double(k)));
        if (got == nullptr || got->size() != 1 || (*got)[0].name != text || (*got)[0].exponent != k) {
          wrong = true;
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_FALSE(wrong);
  EXPECT_EQ(memo.size(), std::size_t(kTexts));
}

TEST(SharedParseMemo, FreshRegistriesShareParsedTexts) {
  detail::SharedParseMemo memo;
  UnitRegistry a = UnitRegistry::new_registry(memo);
  UnitRegistry b = UnitRegistry::new_registry(memo);
  UnitsContainer scratch_a;
  UnitsContainer scratch_b;
  const UnitsContainer* from_a = parsed_ref(a, "kg*m/s**2", scratch_a);
  const UnitsContainer* from_b = parsed_ref(b, " kg*m/s**2 ", scratch_b);
  ASSERT_NE(from_a, nullptr);
  EXPECT_EQ(from_a, from_b);
  EXPECT_EQ(pairs_of(*from_a), (Pairs{{"kg", 1}, {"meter", 1}, {"second", -2}}));
  EXPECT_EQ(memo.find("kg*m/s**2"), from_a);  // the trimmed text is the key
  EXPECT_EQ(a.parse_memo_size(), 0u);         // kept in the shared memo instead
}

TEST(SharedParseMemo, FullMemoLeavesTextsToTheRegistrysOwn) {
  detail::SharedParseMemo memo;
  for (std::size_t i = 0; i < detail::SharedParseMemo::kCapacity; ++i) {
    ASSERT_NE(memo.insert(numbered("filler ", i), UnitsContainer()), nullptr);
  }
  UnitRegistry r = UnitRegistry::new_registry(memo);
  EXPECT_EQ(pairs_of(r.parse_unit_expr("km/h").value()), (Pairs{{"km", 1}, {"hour", -1}}));
  EXPECT_EQ(r.parse_memo_size(), 1u);
  EXPECT_EQ(memo.find("km/h"), nullptr);
}

TEST(SharedParseMemo, OwnDefinitionsAreNeverSeenThroughIt) {
  detail::SharedParseMemo memo;
  UnitRegistry plain = UnitRegistry::new_registry(memo);
  UnitRegistry custom = UnitRegistry::new_registry(memo);
  UnitsContainer scratch;
  ASSERT_NE(parsed_ref(plain, "m", scratch), nullptr);  // "m" is now shared
  ASSERT_NE(parsed_ref(custom, "m", scratch), nullptr);
  ASSERT_FALSE(plain.parse_unit_expr("smoot").ok());

  ASSERT_TRUE(define(custom, "smoot = 1.7018 * meter = m").ok());
  EXPECT_EQ(pairs_of(custom.parse_unit_expr("m").value()), (Pairs{{"smoot", 1}}));
  EXPECT_EQ(pairs_of(custom.parse_unit_expr("smoot").value()), (Pairs{{"smoot", 1}}));
  EXPECT_NE(parsed_ref(custom, "m", scratch), parsed_ref(plain, "m", scratch));

  // Neither the plain registry nor one made afterwards sees the definition.
  UnitRegistry later = UnitRegistry::new_registry(memo);
  for (UnitRegistry* r : {&plain, &later}) {
    EXPECT_EQ(pairs_of(r->parse_unit_expr("m").value()), (Pairs{{"meter", 1}}));
    Result<UnitsContainer> smoot = r->parse_unit_expr("smoot");
    ASSERT_FALSE(smoot.ok());
    EXPECT_EQ(smoot.error().kind(), ErrorKind::UndefinedUnit);
  }
}

TEST(SharedParseMemo, OwnPrefixesAlsoEndTheSharing) {
  detail::SharedParseMemo memo;
  UnitRegistry r = UnitRegistry::new_registry(memo);
  UnitsContainer scratch;
  const UnitsContainer* shared_km = parsed_ref(r, "km", scratch);
  ASSERT_EQ(memo.find("km"), shared_km);
  ASSERT_TRUE(define(r, "zz- = 1e-40").ok());
  EXPECT_EQ(pairs_of(r.parse_unit_expr("zzm").value()), (Pairs{{"zzm", 1}}));
  EXPECT_NE(parsed_ref(r, "km", scratch), shared_km);
  EXPECT_EQ(memo.find("zzm"), nullptr);
  EXPECT_FALSE(UnitRegistry::new_registry(memo).parse_unit_expr("zzm").ok());
}

}  // namespace
}  // namespace qudim
