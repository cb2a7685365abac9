// Close spellings for unknown names: which hints come, in which order, that
// each one parses, that a registry's own units count, and the note text.
#include "registry/suggest.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser.hpp"
#include "registry/registry.hpp"
#include "registry/registry_testing.hpp"

namespace qudim {
namespace {

using Hints = std::vector<std::string>;

TEST(CloseSpellings, BuiltinMisses) {
  UnitRegistry r = UnitRegistry::new_registry();
  const struct {
    const char* name;
    Hints hints;
  } cases[] = {
      // clang-format off
      {"Meter", {"meter"}},  // a case slip alone: no one-letter neighbours after it
      {"KM", {"km", "kM"}},  // prefix and unit in the wrong case; lower case first
      {"mins", {"min"}},     // a symbol has no registered plural
      {"kmh", {"kph", "km/h"}},  // one edit, and a length run into a time
      {"kNm", {"kn", "kN*m"}},   // a product only behind closer guesses
      {"\u00BAc", {"\u00B0C"}},  // masculine ordinal for the degree sign, and case
      {"kilometr", {"kilometer"}}, {"Kilometr", {"kilometer"}},  // a capital start is a light slip
      {"milimeter", {"millimeter"}},  // a typing error inside a prefix
      {"megawat", {"megawatt"}},      // not mega + at
      {"nope", {}},                   // not nOe: prefix, typing error and case together
      {"fot", {"ft"}},                // one hint per unit: not foot as well
      {"zz", {}},                     // too short for typing errors
      {"hrs.", {"hrs"}}, {"cm3", {"cm**3"}}, {"m_per_s", {"m/s"}}, {"\u2103", {"\u00B0C"}},
      {"m\u00B2", {"m**2"}}, {"m\u00B7s", {"m*s"}}, {"celcius", {"celsius"}}, {"qwertyuiop", {}},
      {"", {}},
      // clang-format on
  };
  for (const auto& c : cases) {
    const Hints hints = close_spellings(r, c.name);
    EXPECT_EQ(hints, c.hints) << c.name;
    for (const std::string& hint : hints) EXPECT_TRUE(r.parse_unit_expr(hint).ok()) << hint;
  }
  EXPECT_EQ(close_spellings(r, "kmh", 1), Hints{"kph"});
  EXPECT_TRUE(close_spellings(r, std::string(200, 'm') + "eter").empty());
}

TEST(CloseSpellings, OwnUnitsAndOnlyWhatParses) {
  UnitRegistry r = UnitRegistry::new_registry();
  ASSERT_TRUE(r.apply_definitions(parse_definitions("smoot = 1.7018 * meter = smt\n"
                                                    "foo_a = 2 * meter\n"
                                                    "foo_b = 3 * meter\n"
                                                    "foo_c = 4 * meter\n"),
                                  true)
                  .ok());
  EXPECT_EQ(close_spellings(r, "Smoot"), Hints{"smoot"});
  EXPECT_EQ(close_spellings(r, "KSMOOT"), Hints{"ksmoot"});
  EXPECT_EQ(close_spellings(r, "foo_x"), (Hints{"foo_a", "foo_b", "foo_c"}));
  // The shared built-in layer never sees one registry's units.
  EXPECT_TRUE(close_spellings(UnitRegistry::new_registry(), "Smoot").empty());

  // A registry without a degree Celsius is offered nothing for ℃.
  UnitRegistry bare =
      RegistryTesting::from_texts("meter = [length] = m\nkelvin = [temperature] = K\n", "");
  EXPECT_TRUE(close_spellings(bare, "\u2103").empty());
  EXPECT_EQ(close_spellings(bare, "Meters"), Hints{"meters"});
}

TEST(AnnotateUndefined, NoteListsHintsAndLeavesTheMessage) {
  UnitRegistry r = UnitRegistry::new_registry();
  ASSERT_TRUE(r.apply_definitions(parse_definitions("foo_a = 2 * meter\nfoo_b = 3 * meter\n"
                                                    "foo_c = 4 * meter\n"),
                                  true)
                  .ok());
  // One and two hints are checked through the module's errors.
  struct {
    QudimError error;
    const char* note;
  } cases[] = {
      {QudimError::undefined_unit("foo_x"), "Did you mean 'foo_a', 'foo_b' or 'foo_c'?"},
      {QudimError::dimensionality("Meter", "s", std::nullopt, std::nullopt), ""},
  };
  for (auto& c : cases) {
    const std::string message = c.error.message();
    annotate_undefined(r, c.error);
    EXPECT_EQ(c.error.note(), c.note) << message;
    EXPECT_EQ(c.error.message(), message);
  }
  QudimError noted = QudimError::undefined_unit("Meter");
  noted.set_note("kept");
  annotate_undefined(r, noted);
  EXPECT_EQ(noted.note(), "kept");
}

}  // namespace
}  // namespace qudim
