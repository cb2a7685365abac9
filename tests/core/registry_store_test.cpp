// The registry store: spellings registered per unit, later registrations
// winning, redefinition, prefixes added after construction, memo clearing,
// and listings over the shared and own layers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "parser.hpp"
#include "registry/registry.hpp"
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

TEST(RegistryStore, SpellingsOfOneUnit) {
  const UnitRegistry r = world();
  const struct {
    const char* spelling;
    const char* canonical;
  } cases[] = {
      {"meter", "meter"},   {"meters", "meter"},  {"m", "meter"},
      {"metre", "meter"},   {"metres", "meter"},  {"my_meter", "meter"},
      {"my_meters", "meter"},
      {"ms", "<none>"},  // a symbol gets no plural
      {"hr", "hour"},       {"hrs", "hour"},      {"h", "hour"},
      {"hs", "<none>"},     {"°C", "degree_Celsius"},
      {"_", "<none>"},  // the placeholder of an alias line is no spelling
      {"nonsense_word", "<none>"},  // system blocks define nothing
      {"ghost", "<none>"},  // never resolvable, dropped after the passes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(canonical_of(r, c.spelling), c.canonical) << c.spelling;
  }
}

TEST(RegistryStore, LaterRegistrationWinsASharedSpelling) {
  // bps is an alias of baud and the plural of point's alias bp; point
  // registers in a later pass, so the spelling is point's.
  UnitRegistry r = world();
  EXPECT_EQ(canonical_of(r, "bps"), "point");
  EXPECT_EQ(canonical_of(r, "Bd"), "baud");

  UnitEntry foo;
  foo.name = "foo";
  foo.symbol = "m";
  foo.aliases = {"yd"};
  foo.factor = 5.0;
  r.register_unit(std::move(foo));
  EXPECT_EQ(canonical_of(r, "m"), "foo");
  EXPECT_EQ(canonical_of(r, "yd"), "foo");
  EXPECT_EQ(canonical_of(r, "yds"), "foo");
  EXPECT_EQ(canonical_of(r, "meters"), "meter");
  EXPECT_EQ(canonical_of(r, "yard"), "yard");
}

TEST(RegistryStore, RedefinitionReplacesEntryAndKeepsOldSpellings) {
  UnitRegistry r = world();
  ASSERT_TRUE(define(r, "meter = 2 * yard").ok());
  const UnitEntry* meter = r.find_unit("meter");
  ASSERT_NE(meter, nullptr);
  EXPECT_DOUBLE_EQ(meter->factor, 2 * 0.9144);
  EXPECT_FALSE(meter->symbol.has_value());
  EXPECT_EQ(canonical_of(r, "metre"), "meter");
  EXPECT_EQ(canonical_of(r, "m"), "meter");
  // Units registered before keep the meaning they were reduced with.
  EXPECT_DOUBLE_EQ(r.find_unit("yard")->factor, 0.9144);
}

TEST(RegistryStore, TryAddUnitFailureChangesNothing) {
  UnitRegistry r = world();
  const std::size_t before = r.unit_names().size();
  Status s = define(r, "foo = 3 * bar");
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.error().kind(), ErrorKind::UndefinedUnit);
  EXPECT_EQ(s.error().text1(), "bar");
  EXPECT_EQ(r.find_unit("foo"), nullptr);
  EXPECT_EQ(r.lookup_spelling("foo"), nullptr);
  EXPECT_EQ(r.unit_names().size(), before);
}

TEST(RegistryStore, ApplyDefinitionsStopsOrSkips) {
  const std::string_view text = "aa = meter\nbb = nope\ncc = meter\n";
  UnitRegistry strict = world();
  Status s = define(strict, text);
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.error().text1(), "nope");
  EXPECT_NE(strict.find_unit("aa"), nullptr);
  EXPECT_EQ(strict.find_unit("cc"), nullptr);

  UnitRegistry lenient = world();
  EXPECT_TRUE(lenient.apply_definitions(parse_definitions(text), false).ok());
  EXPECT_NE(lenient.find_unit("aa"), nullptr);
  EXPECT_EQ(lenient.find_unit("bb"), nullptr);
  EXPECT_NE(lenient.find_unit("cc"), nullptr);
}

TEST(RegistryStore, UnitDefinitionKinds) {
  UnitRegistry r = world();
  ASSERT_TRUE(define(r, "blip = [blippiness]; offset: 3 = bl\n"
                        "plain\n"
                        "nothing = []\n"
                        "warm = kelvin; offset: 0").ok());
  const UnitEntry* blip = r.find_unit("blip");
  ASSERT_NE(blip, nullptr);
  EXPECT_EQ(blip->root_units.to_string(), "blip");
  EXPECT_EQ(blip->dimensionality.to_string(), "[blippiness]");
  EXPECT_EQ(blip->offset, 3.0);
  for (const char* name : {"plain", "nothing"}) {
    const UnitEntry* e = r.find_unit(name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_TRUE(e->root_units.empty()) << name;
    EXPECT_TRUE(e->dimensionality.empty()) << name;
    EXPECT_EQ(e->factor, 1.0) << name;
  }
  EXPECT_EQ(r.find_unit("warm")->offset, 0.0);
}

TEST(RegistryStore, PrefixAddedLaterStrips) {
  UnitRegistry r = world();
  EXPECT_FALSE(r.try_strip_prefix("myprefixmeter").has_value());
  ASSERT_TRUE(define(r, "myprefix- = 7 = myp-").ok());
  const auto m = r.try_strip_prefix("myprefixmeter");
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->factor, 7.0);
  EXPECT_EQ(m->canonical, "meter");
  EXPECT_EQ(r.resolve_unit_ref("mypm")->factor, 7.0);
  // Built-in prefixes keep working next to the new one.
  EXPECT_EQ(r.resolve_unit_ref("km")->factor, 1000.0);
  const auto prefixes = r.prefix_list();
  EXPECT_NE(std::find(prefixes.begin(), prefixes.end(), std::pair<std::string, double>("myprefix", 7.0)),
            prefixes.end());
}

TEST(RegistryStore, PrefixesAddedLaterStripLongestFirst) {
  UnitRegistry r = world();
  EXPECT_FALSE(r.knows_spelling("mmm"));
  ASSERT_TRUE(define(r, "mm- = 3").ok());
  // "mm" is tried before "m"; it wins when its rest resolves...
  EXPECT_EQ(r.resolve_unit_ref("mmm")->factor, 3.0);
  // ...and yields to the shorter "m" when it does not.
  EXPECT_DOUBLE_EQ(r.resolve_unit_ref("mmeter")->factor, 1e-3);
}

TEST(RegistryStore, RedefinedPrefixStripsWithNewFactor) {
  UnitRegistry r = world();
  ASSERT_EQ(r.resolve_unit_ref("km")->factor, 1000.0);
  ASSERT_TRUE(define(r, "kilo- = 2000").ok());
  EXPECT_EQ(r.resolve_unit_ref("km")->factor, 2000.0);
  EXPECT_EQ(r.resolve_unit_ref("kilometer")->factor, 2000.0);
  EXPECT_DOUBLE_EQ(r.resolve_unit_ref("mm")->factor, 1e-3);
}

TEST(RegistryStore, RedefinitionClearsMemos) {
  UnitRegistry r = world();
  // Memoise the old meanings.
  ASSERT_EQ(r.get_unit_factor("yd").value(), 0.9144);
  ASSERT_EQ(r.parse_unit_expr("pt")->to_string(), "point");
  ASSERT_EQ(r.get_unit_factor("kyd").value(), 914.4);
  EXPECT_GT(r.parse_memo_size(), 0u);
  EXPECT_GT(r.unit_info_memo_size(), 0u);

  ASSERT_TRUE(define(r, "yard = 2 * meter\nspot = meter = pt").ok());
  EXPECT_EQ(r.parse_memo_size(), 0u);
  EXPECT_EQ(r.unit_info_memo_size(), 0u);
  EXPECT_EQ(r.get_unit_factor("yd").value(), 2.0);
  EXPECT_EQ(r.get_unit_factor("kyd").value(), 2000.0);
  EXPECT_EQ(r.parse_unit_expr("pt")->to_string(), "spot");

  ASSERT_EQ(r.get_unit_factor("km").value(), 1000.0);
  ASSERT_TRUE(define(r, "kilo- = 10").ok());
  EXPECT_EQ(r.get_unit_factor("km").value(), 10.0);
}

TEST(RegistryStore, ListingsShadowBuiltInEntries) {
  UnitRegistry r = world();
  std::vector<std::string> names = r.unit_names();
  const std::size_t count = names.size();
  EXPECT_EQ(std::count(names.begin(), names.end(), "meter"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "ghost"), 0);

  ASSERT_TRUE(define(r, "meter = 2 * yard\nyard = 3 * second\nsmoot = 1.7018 * meter").ok());
  names = r.unit_names();
  EXPECT_EQ(names.size(), count + 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "meter"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "smoot"), 1);

  std::vector<std::string> lengths = r.compatible_units(UnitsContainer::single("[length]", 1));
  std::sort(lengths.begin(), lengths.end());
  EXPECT_EQ(lengths, (std::vector<std::string>{"inch", "meter", "pica", "point", "smoot"}));

  ASSERT_TRUE(define(r, "kilo- = 5").ok());
  const auto prefixes = r.prefix_list();
  EXPECT_EQ(prefixes.size(), 9u);
  EXPECT_EQ(std::count(prefixes.begin(), prefixes.end(), std::pair<std::string, double>("kilo", 5.0)), 1);
}

TEST(RegistryStore, RegistriesOfOneLayerAreIndependent) {
  UnitRegistry a = UnitRegistry::new_registry();
  UnitRegistry b = UnitRegistry::new_registry();
  ASSERT_TRUE(define(a, "smoot_only_in_a = 5 * second = soia").ok());
  EXPECT_NE(a.find_unit("smoot_only_in_a"), nullptr);
  EXPECT_EQ(b.find_unit("smoot_only_in_a"), nullptr);
  EXPECT_FALSE(b.knows_spelling("soia"));
  EXPECT_FALSE(UnitRegistry::new_registry().knows_spelling("soia"));
}

}  // namespace
}  // namespace qudim
