// The registry store and name resolution: spellings per unit, later
// registrations winning, redefinition, prefix stripping (longest first, own
// prefixes shadowing built-in ones), memo clearing, listings over the shared
// and own layers, and the parse memo shared by fresh registries.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "parser.hpp"
#include "registry/registry.hpp"
#include "registry/shared_parse_memo.hpp"
#include "registry_world.hpp"

namespace qudim {
namespace {

using testing::world;

/// Applies a definitions text as a user would (stop at the first failure).
Status define(UnitRegistry& r, std::string_view text) {
  return r.apply_definitions(parse_definitions(text), true);
}

std::string canonical_of(const UnitRegistry& r, std::string_view spelling) {
  const std::string* c = r.lookup_spelling(spelling);
  return c ? *c : "<none>";
}

/// "canonical * factor" of a stripped spelling, or "<none>".
std::string strip(const UnitRegistry& r, std::string_view name) {
  const std::optional<PrefixMatch> m = r.try_strip_prefix(name);
  return m ? m->canonical + " * " + std::to_string(m->factor) : "<none>";
}

std::string numbered(const char* stem, std::size_t i) {
  std::string text(stem);
  text += std::to_string(i);
  return text;
}

TEST(Resolution, Spellings) {
  const UnitRegistry r = world();
  // clang-format off
  const struct {
    const char* name;
    const char* canonical;  // registered spelling, or "<none>"
    double factor;          // 0 marks an undefined name
    const char* roots;
    const char* dims;
  } cases[] = {
      {"meter", "meter", 1, "meter", "[length]"}, {"metres", "meter", 1, "meter", "[length]"},
      {"my_meters", "meter", 1, "meter", "[length]"}, {"m", "meter", 1, "meter", "[length]"},
      {"ms", "<none>", 1e-3, "second", "[time]"},  // a symbol gets no plural
      {"km", "<none>", 1000, "meter", "[length]"}, {"hrs", "hour", 3600, "second", "[time]"},
      {"kilometers", "<none>", 1000, "meter", "[length]"},
      {"dam", "<none>", 10, "meter", "[length]"},  // deca + m, not deci + am
      {"dyd", "<none>", 0.09144, "meter", "[length]"},
      {"day", "day", 86400, "second", "[time]"},  // never d + ay
      {"hs", "<none>", 100, "second", "[time]"},  // hecto + s: "hr" has no plural "hs"
      {"µs", "<none>", 1e-6, "second", "[time]"}, {"kg", "<none>", 1000, "gram", "[mass]"},
      {"Kibit", "<none>", 1024, "dimensionless", "dimensionless"},
      {"k", "boltzmann_constant", 1.380649e-20, "gram * meter ** 2 / kelvin * second ** 2",
       "[length] ** 2 * [mass] / [temperature] * [time] ** 2"},
      {"°C", "degree_Celsius", 1, "kelvin", "[temperature]"},
      {"bps", "point", 0.0254 / 72, "meter", "[length]"},  // point registers after baud
      {"Bd", "baud", 1, "1 / second", "1 / [time]"},
      // an alias line's placeholder, a name only a system block defines, a unit that never
      // resolves, a prefix without rest, two prefixes, a wrong case
      {"_", "<none>", 0, "", ""}, {"nonsense_word", "<none>", 0, "", ""},
      {"ghost", "<none>", 0, "", ""}, {"da", "<none>", 0, "", ""}, {"kkm", "<none>", 0, "", ""},
      {"", "<none>", 0, "", ""}, {"Meter", "<none>", 0, "", ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(canonical_of(r, c.name), c.canonical) << c.name;
    EXPECT_EQ(r.knows_spelling(c.name), c.factor != 0) << c.name;
    Result<UnitInfo> info = r.resolve_unit_ref(c.name);
    if (c.factor == 0) {
      ASSERT_FALSE(info.ok()) << c.name;
      EXPECT_EQ(info.error().kind(), ErrorKind::UndefinedUnit);
      EXPECT_EQ(info.error().text1(), c.name);
      continue;
    }
    ASSERT_TRUE(info.ok()) << c.name;
    EXPECT_NEAR(info->factor, c.factor, std::abs(c.factor) * 1e-15) << c.name;
    EXPECT_EQ(info->root_units.to_string(), c.roots) << c.name;
    EXPECT_EQ(info->dimensionality.to_string(), c.dims) << c.name;
  }
}

TEST(Resolution, PrefixAndUnitSplits) {
  const UnitRegistry r = world();
  using Split = std::vector<std::array<std::string, 3>>;
  // clang-format off
  const std::pair<const char*, Split> splits[] = {
      {"meters", {{"", "meter", ""}}}, {"m", {{"", "meter", ""}}}, {"kmeter", {{"kilo", "meter", ""}}},
      {"dahour", {{"deca", "hour", ""}}}, {"damhour", {}}, {"", {}},
      {"kilometers", {{"kilom", "meter", ""}}},  // the tail is cut at the canonical length
      {"km", {}}};                               // the canonical name is longer than the text
  // clang-format on
  for (const auto& [name, split] : splits) EXPECT_EQ(r.parse_prefix_and_unit(name), split) << name;
}

TEST(PrefixStrip, LongestThenShorterSpellings) {
  UnitRegistry r = UnitRegistry::new_registry();
  EXPECT_EQ(strip(r, "km"), "meter * 1000.000000");
  ASSERT_TRUE(define(r,
                     "aq- = 2\naqaq- = 3 = aqz-\naqaqaq- = 5\nzork = 7 * m\nqzork = 11 * m\n"
                     "kay- = 7 = k-\nmm- = 3")
                  .ok());
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"aqzork", "zork * 2.000000"},     {"aqaqzork", "zork * 3.000000"},  // the longer wins
      {"aqzzork", "zork * 3.000000"},    {"aqaqaqzork", "zork * 5.000000"},
      {"aqaqaqm", "meter * 5.000000"},   // own prefix on a built-in unit
      {"aqqzork", "qzork * 2.000000"},   // aqq is no prefix: aq + qzork
      {"aqaqaq", "<none>"},              {"aq", "<none>"},
      {"kzork", "zork * 7.000000"},      // the own k- shadows the built-in one
      {"kilom", "meter * 1000.000000"},  {"kaqm", "<none>"},  // the rest is not stripped again
      {"dam", "meter * 10.000000"},      // "da" is tried before "d"
      {"mmm", "meter * 3.000000"},       // "mm" wins when its rest resolves...
      {"mmeter", "meter * 0.001000"},    // ...and yields to "m" when it does not
      {"meter", "<none>"},
  };
  // clang-format on
  for (const auto& [name, expected] : cases) EXPECT_EQ(strip(r, name), expected) << name;
  ASSERT_TRUE(define(r, "kay- = 9").ok());
  EXPECT_EQ(strip(r, "kaym"), "meter * 9.000000");
  EXPECT_EQ(r.get_unit_factor("km").value(), 9.0);  // the memo was cleared
}

TEST(Store, RedefinitionAndDefinitionKinds) {
  UnitRegistry r = world();
  ASSERT_TRUE(
      define(r, "meter = 2 * yard\nblip = [blippiness]; offset: 3 = bl\nplain\nnothing = []").ok());
  const UnitEntry* meter = r.find_unit("meter");
  EXPECT_DOUBLE_EQ(meter->factor, 2 * 0.9144);
  EXPECT_FALSE(meter->symbol.has_value());
  EXPECT_EQ(canonical_of(r, "metre"), "meter");  // old spellings stay
  EXPECT_EQ(canonical_of(r, "m"), "meter");
  EXPECT_DOUBLE_EQ(r.find_unit("yard")->factor, 0.9144);  // reduced with the old meaning
  const UnitEntry* blip = r.find_unit("blip");
  EXPECT_EQ(blip->root_units.to_string(), "blip");
  EXPECT_EQ(blip->dimensionality.to_string(), "[blippiness]");
  EXPECT_EQ(blip->offset, 3.0);
  for (const char* name : {"plain", "nothing"}) {
    EXPECT_TRUE(r.find_unit(name)->root_units.empty() && r.find_unit(name)->dimensionality.empty());
    EXPECT_EQ(r.find_unit(name)->factor, 1.0) << name;
  }
}

TEST(Store, FailedDefinitionsStopOrSkip) {
  UnitRegistry strict = world();
  const std::size_t before = strict.unit_names().size();
  Status s = define(strict, "aa = meter\nbb = 3 * nope\ncc = meter\n");
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.error().kind(), ErrorKind::UndefinedUnit);
  EXPECT_EQ(s.error().text1(), "nope");
  EXPECT_NE(strict.find_unit("aa"), nullptr);
  EXPECT_EQ(strict.find_unit("bb"), nullptr);
  EXPECT_EQ(strict.lookup_spelling("bb"), nullptr);
  EXPECT_EQ(strict.find_unit("cc"), nullptr);
  EXPECT_EQ(strict.unit_names().size(), before + 1);
}

TEST(Store, DefinitionsClearTheMemos) {
  UnitRegistry r = world();
  ASSERT_EQ(r.get_unit_factor("yd").value(), 0.9144);
  ASSERT_EQ(r.parse_unit_expr("pt")->to_string(), "point");
  ASSERT_EQ(r.get_unit_factor("kyd").value(), 914.4);
  EXPECT_GT(RegistryTesting::parse_memo_size(r), 0u);
  EXPECT_GT(RegistryTesting::unit_info_memo_size(r), 0u);
  ASSERT_TRUE(define(r, "yard = 2 * meter\nspot = meter = pt").ok());
  EXPECT_EQ(RegistryTesting::parse_memo_size(r), 0u);
  EXPECT_EQ(RegistryTesting::unit_info_memo_size(r), 0u);
  EXPECT_EQ(r.get_unit_factor("yd").value(), 2.0);
  EXPECT_EQ(r.get_unit_factor("kyd").value(), 2000.0);
  EXPECT_EQ(r.parse_unit_expr("pt")->to_string(), "spot");
}

TEST(Store, ListingsShadowBuiltInEntries) {
  UnitRegistry r = world();
  const std::size_t count = r.unit_names().size();
  ASSERT_TRUE(
      define(r, "meter = 2 * yard\nyard = 3 * second\nsmoot = 1.7018 * meter\nkilo- = 5").ok());
  std::vector<std::string> names = r.unit_names();
  EXPECT_EQ(names.size(), count + 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "meter"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "ghost"), 0);
  std::vector<std::string> lengths = r.compatible_units(UnitsContainer::single("[length]", 1));
  std::sort(lengths.begin(), lengths.end());
  EXPECT_EQ(lengths, (std::vector<std::string>{"inch", "meter", "pica", "point", "smoot"}));
  const auto prefixes = r.prefix_list();
  EXPECT_EQ(prefixes.size(), 9u);
  EXPECT_EQ(
      std::count(prefixes.begin(), prefixes.end(), std::pair<std::string, double>("kilo", 5.0)), 1);
}

/// The map a registry hands out for text (the memo's own entry when kept).
const UnitsContainer* parsed_ref(UnitRegistry& r, std::string_view text, UnitsContainer& scratch) {
  Result<const UnitsContainer*> got = r.parse_unit_expr_ref(text, scratch);
  return got.ok() ? *got : nullptr;
}

TEST(SharedParseMemo, KeepsFirstCopiesUpToCapacity) {
  detail::SharedParseMemo memo;
  UnitsContainer meter = UnitsContainer::single("meter", 1.0);
  const UnitsContainer* kept = memo.insert("m", meter);
  ASSERT_NE(kept, nullptr);
  EXPECT_NE(kept, &meter);  // a copy
  EXPECT_EQ(memo.insert("m", UnitsContainer::single("other", 2.0)), kept);
  EXPECT_EQ(memo.find("m")->to_string(), "meter");
  EXPECT_EQ(memo.find("m "), nullptr);  // keys are exact
  for (std::size_t i = 1; i < detail::SharedParseMemo::kCapacity; ++i) {
    ASSERT_NE(memo.insert(numbered("u", i), UnitsContainer::single("x", double(i))), nullptr) << i;
  }
  EXPECT_EQ(memo.insert("one too many", UnitsContainer()), nullptr);
  EXPECT_EQ(memo.find("one too many"), nullptr);
  EXPECT_EQ(memo.find("m"), kept);
  EXPECT_EQ((*memo.find("u7"))[0].exponent, 7.0);
  // A registry over a full memo keeps its texts in its own.
  UnitRegistry r = RegistryTesting::with_shared_memo(memo);
  EXPECT_EQ(r.parse_unit_expr("km/h")->to_string(), "km / hour");
  EXPECT_EQ(RegistryTesting::parse_memo_size(r), 1u);
}

TEST(SharedParseMemo, OwnDefinitionsAndPrefixesEndTheSharing) {
  detail::SharedParseMemo memo;
  UnitRegistry plain = RegistryTesting::with_shared_memo(memo);
  UnitRegistry custom = RegistryTesting::with_shared_memo(memo);
  UnitRegistry prefixed = RegistryTesting::with_shared_memo(memo);
  UnitsContainer s1, s2;
  const UnitsContainer* shared = parsed_ref(plain, "kg*m/s**2", s1);
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(parsed_ref(custom, " kg*m/s**2 ", s2), shared);  // the trimmed text is the key
  EXPECT_EQ(memo.find("kg*m/s**2"), shared);
  EXPECT_EQ(RegistryTesting::parse_memo_size(plain), 0u);
  const UnitsContainer* shared_m = parsed_ref(custom, "m", s1);
  const UnitsContainer* shared_km = parsed_ref(prefixed, "km", s1);

  ASSERT_TRUE(define(custom, "smoot = 1.7018 * meter = m").ok());
  ASSERT_TRUE(define(prefixed, "zz- = 1e-40").ok());
  EXPECT_EQ(custom.parse_unit_expr("m")->to_string(), "smoot");
  EXPECT_NE(parsed_ref(custom, "m", s1), shared_m);
  EXPECT_EQ(prefixed.parse_unit_expr("zzm")->to_string(), "zzm");
  EXPECT_NE(parsed_ref(prefixed, "km", s1), shared_km);
  // Neither the plain registry nor one made afterwards sees the definitions.
  UnitRegistry later = RegistryTesting::with_shared_memo(memo);
  for (UnitRegistry* r : {&plain, &later}) {
    EXPECT_EQ(r->parse_unit_expr("m")->to_string(), "meter");
    EXPECT_EQ(r->parse_unit_expr("smoot").error().kind(), ErrorKind::UndefinedUnit);
    EXPECT_FALSE(r->parse_unit_expr("zzm").ok());
    EXPECT_FALSE(r->knows_spelling("smoot"));
  }
  EXPECT_EQ(memo.find("zzm"), nullptr);
}

}  // namespace
}  // namespace qudim
