// The registry built from the built-in texts: every definition registers,
// the telling entries, and fresh registries over the shared layer behaving
// exactly like an independent full build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <variant>
#include <vector>

#include "parser.hpp"
#include "registry/embedded_definitions.hpp"
#include "registry/registry.hpp"

namespace qudim {
namespace {

/// Names of every unit definition of the two texts, constants spliced in.
std::vector<std::string> defined_unit_names() {
  std::vector<std::string> names;
  const auto collect = [&](std::string_view text) {
    for (const Definition& d : parse_definitions(text)) {
      if (const auto* unit = std::get_if<UnitDef>(&d)) names.push_back(unit->name);
    }
  };
  collect(kDefaultDefinitions);
  collect(kConstantsDefinitions);
  return names;
}

TEST(BuiltinRegistry, EveryUnitRegisters) {
  const UnitRegistry r = UnitRegistry::new_registry();
  const std::vector<std::string> names = defined_unit_names();
  EXPECT_EQ(names.size(), 417u);
  std::string missing;
  for (const std::string& name : names) {
    if (r.find_unit(name) == nullptr) missing += " " + name;
  }
  EXPECT_EQ(missing, "") << "units that did not register:" << missing;
  EXPECT_EQ(r.unit_names().size(), names.size());
}

TEST(BuiltinRegistry, Prefixes) {
  const UnitRegistry r = UnitRegistry::new_registry();
  const auto prefixes = r.prefix_list();
  EXPECT_EQ(prefixes.size(), 34u);
  const struct {
    const char* spelling;
    double factor;
  } strips[] = {{"kilometer", 1e3}, {"dam", 10}, {"dekameter", 10}, {"µs", 1e-6}, {"μs", 1e-6},
                {"us", 1e-6},       {"mus", 1e-6}, {"Kibit", 1024}, {"Yibit", 0x1p80},
                {"qm", 1e-30},      {"Qm", 1e30}};
  for (const auto& s : strips) {
    const auto m = r.try_strip_prefix(s.spelling);
    ASSERT_TRUE(m.has_value()) << s.spelling;
    EXPECT_EQ(m->factor, s.factor) << s.spelling;
  }
}

TEST(BuiltinRegistry, TellingEntries) {
  UnitRegistry r = UnitRegistry::new_registry();
  const struct {
    const char* spelling;
    const char* canonical;
  } spellings[] = {
      {"meter", "meter"}, {"metres", "meter"},     {"bps", "point"},
      {"K", "kelvin"},    {"degF", "degree_Fahrenheit"}, {"c", "speed_of_light"},
      {"hbar", "dirac_constant"}, {"k", "boltzmann_constant"}, {"h", "hour"},
  };
  for (const auto& s : spellings) {
    const std::string* c = r.lookup_spelling(s.spelling);
    ASSERT_NE(c, nullptr) << s.spelling;
    EXPECT_EQ(*c, s.canonical) << s.spelling;
  }
  EXPECT_EQ(r.lookup_spelling("ms"), nullptr);
  for (const char* known : {"kilometer", "kg", "µs", "us", "Kibit", "degF", "K", "c", "hbar", "ms"}) {
    EXPECT_TRUE(r.knows_spelling(known)) << known;
  }

  const UnitEntry* kelvin = r.find_unit("kelvin");
  ASSERT_NE(kelvin, nullptr);
  EXPECT_EQ(kelvin->offset, 0.0);
  const UnitEntry* celsius = r.find_unit("degree_Celsius");
  ASSERT_NE(celsius, nullptr);
  EXPECT_EQ(celsius->factor, 1.0);
  EXPECT_EQ(celsius->offset, 273.15);
  EXPECT_EQ(celsius->root_units.to_string(), "kelvin");
  EXPECT_EQ(celsius->dimensionality.to_string(), "[temperature]");

  const struct {
    const char* name;
    double factor;
  } numbers[] = {{"radian", 1}, {"bit", 1}, {"count", 1}, {"decibel", 1},
                 {"degree", std::numbers::pi / 180}, {"byte", 8}, {"percent", 0.01}};
  for (const auto& n : numbers) {
    const UnitEntry* e = r.find_unit(n.name);
    ASSERT_NE(e, nullptr) << n.name;
    EXPECT_TRUE(e->root_units.empty()) << n.name;
    EXPECT_TRUE(e->dimensionality.empty()) << n.name;
    EXPECT_NEAR(e->factor, n.factor, n.factor * 1e-15) << n.name;
  }
}

TEST(BuiltinRegistry, WorkedExamples) {
  UnitRegistry r = UnitRegistry::new_registry();
  Result<UnitInfo> k = eval_relation_tokens(r, tokenize_relation("1.380649e-23 J K^-1"));
  ASSERT_TRUE(k.ok());
  EXPECT_NEAR(k->factor, 1.380649e-20, 1e-35);
  EXPECT_EQ(k->root_units.to_string(), "gram * meter ** 2 / kelvin * second ** 2");

  const UnitsContainer energy = r.parse_unit_expr("kg*m**2/s**2").value();
  EXPECT_EQ(energy.to_string(), "kg * meter ** 2 / second ** 2");
  EXPECT_NEAR(r.get_conversion_factor(energy, r.parse_unit_expr("J").value()).value(), 1, 1e-15);

  const UnitsContainer speed = r.parse_unit_expr("km/h").value();
  const auto roots = r.get_root_units(speed).value();
  EXPECT_NEAR(roots.first, 1000.0 / 3600.0, 1e-16);
  EXPECT_EQ(r.format_units(roots.second), "m / s");
  EXPECT_NEAR(r.convert(3, speed, r.parse_unit_expr("m/s").value()).value(), 3 / 3.6, 1e-15);

  EXPECT_NEAR(r.convert(100, r.parse_unit_expr("degC").value(), r.parse_unit_expr("degF").value())
                  .value(),
              212, 1e-9);
  EXPECT_NEAR(r.convert(1, r.parse_unit_expr("mile").value(), r.parse_unit_expr("km").value())
                  .value(),
              1.609344, 1e-12);
  EXPECT_EQ(r.format_units(r.parse_unit_expr("g * m ** 2 / K / s ** 2").value()),
            "g * m ** 2 / K / s ** 2");
}

/// What a spelling resolves to, as one comparable text.
std::string describe(UnitRegistry& r, const std::string& spelling) {
  Result<UnitsContainer> parsed = r.parse_unit_expr(spelling);
  if (!parsed.ok()) return parsed.error().message();
  Result<std::pair<double, UnitsContainer>> roots = r.get_root_units(*parsed);
  if (!roots.ok()) return roots.error().message();
  char factor[32];
  std::snprintf(factor, sizeof factor, "%.17g", roots->first);
  return parsed->to_string() + " = " + factor + " " + roots->second.to_string() + " | " +
         r.format_units(*parsed);
}

TEST(BuiltinRegistry, FreshRegistryMatchesIndependentBuild) {
  UnitRegistry shared = UnitRegistry::new_registry();
  UnitRegistry full = UnitRegistry::from_texts(kDefaultDefinitions, kConstantsDefinitions);
  const auto compare = [&](const char* stage) {
    std::vector<std::string> a = shared.unit_names();
    std::vector<std::string> b = full.unit_names();
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    ASSERT_EQ(a, b) << stage;
    for (const std::string& name : a) {
      const UnitEntry* x = shared.find_unit(name);
      const UnitEntry* y = full.find_unit(name);
      EXPECT_EQ(x->factor, y->factor) << stage << " " << name;
      EXPECT_EQ(x->offset, y->offset) << stage << " " << name;
      EXPECT_TRUE(x->root_units.identical(y->root_units)) << stage << " " << name;
      EXPECT_TRUE(x->dimensionality.identical(y->dimensionality)) << stage << " " << name;
      for (const std::string& spelling : {name, name + "s", "k" + name, "m" + name}) {
        EXPECT_EQ(describe(shared, spelling), describe(full, spelling)) << stage << " " << spelling;
      }
    }
    auto pa = shared.prefix_list();
    auto pb = full.prefix_list();
    std::sort(pa.begin(), pa.end());
    std::sort(pb.begin(), pb.end());
    EXPECT_EQ(pa, pb) << stage;
  };
  compare("fresh");
  const std::string_view user =
      "kilo- = 2000 = k-\n"
      "zz- = 7 = z-\n"
      "meter = 3 * foot = m\n"
      "smoot = 1.7018 * meter = smt\n";
  ASSERT_TRUE(shared.apply_definitions(parse_definitions(user), true).ok());
  ASSERT_TRUE(full.apply_definitions(parse_definitions(user), true).ok());
  compare("after user definitions");
}

}  // namespace
}  // namespace qudim
