// The registry built from the built-in texts: every definition registers,
// contested spellings end where intended, values do not depend on load order
// and equal published ones, and fresh registries over the shared layer behave
// exactly like an independent full build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numbers>
#include <string>
#include <variant>
#include <vector>

#include "parser.hpp"
#include "registry/embedded_definitions.hpp"
#include "registry/registry.hpp"
#include "registry/registry_testing.hpp"
#include "units_container_testing.hpp"

namespace qudim {
namespace {

constexpr double kPi = std::numbers::pi;

/// Every unit definition of the two texts, constants spliced in.
std::vector<UnitDef> defined_units() {
  std::vector<UnitDef> units;
  for (std::string_view text : {kDefaultDefinitions, kConstantsDefinitions}) {
    for (const Definition& d : parse_definitions(text)) {
      if (const auto* unit = std::get_if<UnitDef>(&d)) units.push_back(*unit);
    }
  }
  return units;
}

TEST(BuiltinRegistry, EveryUnitRegistersWithItsRelationsValue) {
  // Each relation evaluated again against the finished registry must give the
  // stored entry: a name that resolved to something else while its own line
  // was still pending (a prefix reading) would show up here.
  const UnitRegistry r = UnitRegistry::new_registry();
  const std::vector<UnitDef> units = defined_units();
  EXPECT_EQ(units.size(), 417u);
  EXPECT_EQ(r.unit_names().size(), units.size());
  for (const UnitDef& u : units) {
    const UnitEntry* entry = r.find_unit(u.name);
    ASSERT_NE(entry, nullptr) << u.name << " = " << u.relation;
    if (u.is_base || u.relation.empty() || u.relation == "[]") continue;
    const Result<UnitInfo> again = eval_relation_tokens(r, tokenize_relation(u.relation));
    ASSERT_TRUE(again.ok()) << u.name;
    EXPECT_NEAR(again->factor / entry->factor, 1.0, 1e-14) << u.name;
    EXPECT_TRUE(again->root_units == entry->root_units) << u.name;
  }
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
  UnitRegistry full = RegistryTesting::from_texts(kDefaultDefinitions, kConstantsDefinitions);
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
      EXPECT_TRUE(ContainerTesting::identical(x->root_units, y->root_units))
          << stage << " " << name;
      EXPECT_TRUE(ContainerTesting::identical(x->dimensionality, y->dimensionality))
          << stage << " " << name;
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

/// The value of `unit` in `reference`, both read as relations; the two must
/// have the same root units.
double value_in(const UnitRegistry& r, std::string_view unit, std::string_view reference) {
  const Result<UnitInfo> a = eval_relation_tokens(r, tokenize_relation(unit));
  const Result<UnitInfo> b = eval_relation_tokens(r, tokenize_relation(reference));
  if (!a.ok() || !b.ok()) {
    ADD_FAILURE() << unit << " or " << reference << " does not evaluate";
    return 0.0;
  }
  EXPECT_TRUE(a->root_units == b->root_units) << unit << " vs " << reference;
  return a->factor / b->factor;
}

TEST(BuiltinRegistry, ValuesAgreeWithPublishedOnes) {
  const UnitRegistry r = UnitRegistry::new_registry();
  // clang-format off
  const struct {
    const char* unit;
    const char* reference;
    double value;
    double rel_tol;
  } cases[] = {
      // exact by definition (1959 agreement, SI, NIST SP 811)
      {"foot", "meter", 0.3048, 1e-15}, {"mile", "meter", 1609.344, 1e-15},
      {"survey_mile", "meter", 5280.0 * 1200.0 / 3937.0, 1e-15},
      {"acre", "meter ** 2", 4046.872609874252, 1e-14}, {"pound", "kilogram", 0.45359237, 1e-15},
      {"slug", "kilogram", 14.593902937206365, 1e-14}, {"gallon", "liter", 3.785411784, 1e-14},
      {"bushel", "liter", 35.23907016688, 1e-14}, {"imperial_pint", "liter", 0.56826125, 1e-14},
      {"light_year", "meter", 9460730472580800.0, 1e-15},
      {"parsec", "meter", 3.0856775814913673e16, 1e-14},
      {"tex_point", "millimeter", 0.35145980351459805, 1e-14},
      {"degree", "radian", kPi / 180.0, 1e-15},
      {"revolutions_per_minute", "radian / second", 2.0 * kPi / 60.0, 1e-15},
      {"byte", "bit", 8.0, 0.0}, {"knot", "meter / second", 1852.0 / 3600.0, 1e-15},
      {"electron_volt", "joule", 1.602176634e-19, 1e-15}, {"calorie", "joule", 4.184, 1e-15},
      {"international_british_thermal_unit", "joule", 1055.05585262, 1e-14},
      {"horsepower", "watt", 745.69987158227022, 1e-14},  // and the force_pound it is built on
      {"torr", "pascal", 101325.0 / 760.0, 1e-15},         // and the atmosphere
      {"inch_Hg_32F", "pascal", 3386.38, 2e-6},  // NIST SP 811 to six digits
      {"gilbert", "ampere", 10.0 / (4.0 * kPi), 1e-15},
      {"conventional_volt_90", "volt", 1.0000001066651073, 1e-15},
      {"sidereal_day", "second", 86164.0905, 1e-9},
      // exact consequences of the SI defining constants (CODATA 2018 lists them truncated)
      {"dirac_constant", "joule * second", 1.0545718176461564e-34, 1e-14},
      {"molar_gas_constant", "joule / kelvin / mole", 8.31446261815324, 1e-14},
      {"von_klitzing_constant", "ohm", 25812.807459304507, 1e-14},
      {"stefan_boltzmann_constant", "watt / meter ** 2 / kelvin ** 4", 5.6703744191844295e-8, 1e-14},
      {"wien_wavelength_displacement_law_constant", "meter * kelvin", 2.897771955e-3, 1e-9},
      // CODATA 2018: values that follow from measured ones (within their uncertainty)
      // (bohr and vacuum_permittivity rest on fine_structure_constant, the time on hartree)
      {"vacuum_permittivity", "farad / meter", 8.8541878128e-12, 2e-10},
      {"bohr", "meter", 5.29177210903e-11, 2e-10},
      {"bohr_magneton", "joule / tesla", 9.2740100783e-24, 5e-10},
      {"atomic_unit_of_time", "second", 2.4188843265857e-17, 2e-12},
      {"planck_length", "meter", 1.616255e-35, 2e-6},
      {"unified_atomic_mass_unit", "kilogram", 1.66053906660e-27, 1e-15},
      // Gaussian units: Coulomb's law with unit constant, the erg as statvolt franklin
      {"franklin ** 2 / centimeter ** 2", "dyne", 1.0, 1e-15},
      {"statvolt * franklin", "erg", 1.0, 1e-15},
  };
  // clang-format on
  for (const auto& c : cases) {
    const double got = value_in(r, c.unit, c.reference);
    EXPECT_NEAR(got / c.value, 1.0, c.rel_tol) << c.unit << " in " << c.reference;
  }
}

}  // namespace
}  // namespace qudim
