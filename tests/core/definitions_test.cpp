// The built-in definitions texts: their shape as the reader sees it, the
// hygiene of every relation and spelling, values fixed by definition, and the
// registry they build (every unit registered, values independent of load order
// and equal to published values).
#include <gtest/gtest.h>

#include <algorithm>    // std::count_if
#include <cctype>       // std::isdigit
#include <charconv>     // std::from_chars
#include <cmath>        // std::fabs, std::isnan
#include <cstring>      // std::strchr
#include <iterator>     // std::size
#include <map>          // std::map
#include <set>          // std::set
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <variant>      // std::get_if
#include <vector>       // std::vector

#include "parser.hpp"
#include "registry/embedded_definitions.hpp"
#include "registry/registry.hpp"

namespace qudim {
namespace {

constexpr double kPi = 3.14159265358979323846;

const std::vector<Definition>& main_records() {
  static const std::vector<Definition> records = parse_definitions(kDefaultDefinitions);
  return records;
}

const std::vector<Definition>& constant_records() {
  static const std::vector<Definition> records = parse_definitions(kConstantsDefinitions);
  return records;
}

/// The records in the order the registry walks them: the main text with its
/// constants import replaced by the constants text.
const std::vector<Definition>& combined_records() {
  static const std::vector<Definition> records = [] {
    std::vector<Definition> out;
    for (const Definition& d : main_records()) {
      const ImportDef* import = std::get_if<ImportDef>(&d);
      if (import != nullptr && import->path == "constants_en.txt") {
        out.insert(out.end(), constant_records().begin(), constant_records().end());
      } else {
        out.push_back(d);
      }
    }
    return out;
  }();
  return records;
}

template <class T>
std::vector<const T*> only(const std::vector<Definition>& defs) {
  std::vector<const T*> out;
  for (const Definition& d : defs) {
    if (const T* p = std::get_if<T>(&d)) out.push_back(p);
  }
  return out;
}

std::string join(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ",") + name;
  return out;
}

std::string symbol_text(const std::optional<std::string>& symbol) { return symbol ? *symbol : "~"; }

const UnitDef* find_def(std::string_view name) {
  for (const UnitDef* u : only<UnitDef>(combined_records())) {
    if (u->name == name) return u;
  }
  return nullptr;
}

/// Compares two name lists and reports the first difference by position.
void expect_same_sequence(const std::vector<std::string>& actual,
                          const std::vector<std::string>& expected, const char* what) {
  const size_t n = std::min(actual.size(), expected.size());
  for (size_t i = 0; i < n; ++i) {
    if (actual[i] != expected[i]) {
      ADD_FAILURE() << what << " #" << i << ": got '" << actual[i] << "', expected '"
                    << expected[i] << "'";
      return;
    }
  }
  EXPECT_EQ(actual.size(), expected.size()) << what;
}

// ---------------------------------------------------------------------------
// Shape

TEST(DefaultDefinitions, RecordCountsOfBothTexts) {
  // Variant indices: Prefix, Unit, Dimension, Alias, Defaults, Comment, Import.
  const struct {
    const char* text;
    const std::vector<Definition>* records;
    size_t kind;
    long count;
  } cases[] = {
      {"main", &main_records(), 0, 34},      {"main", &main_records(), 1, 364},
      {"main", &main_records(), 2, 74},      {"main", &main_records(), 3, 0},
      {"main", &main_records(), 4, 1},       {"main", &main_records(), 6, 1},
      {"constants", &constant_records(), 0, 0}, {"constants", &constant_records(), 1, 53},
      {"constants", &constant_records(), 2, 0}, {"constants", &constant_records(), 3, 0},
      {"constants", &constant_records(), 4, 0}, {"constants", &constant_records(), 6, 0},
  };
  for (const auto& c : cases) {
    const long got = std::count_if(c.records->begin(), c.records->end(),
                                   [&](const Definition& d) { return d.index() == c.kind; });
    EXPECT_EQ(got, c.count) << c.text << " kind " << c.kind;
  }
}

TEST(DefaultDefinitions, ConstantsAreImportedAfterPrefixesAndBaseUnits) {
  size_t prefixes_before = 0, units_before = 0, prefixes_after = 0;
  bool seen = false;
  for (const Definition& d : main_records()) {
    if (const ImportDef* import = std::get_if<ImportDef>(&d)) {
      EXPECT_EQ(import->path, "constants_en.txt");
      seen = true;
    } else if (std::holds_alternative<PrefixDef>(d)) {
      ++(seen ? prefixes_after : prefixes_before);
    } else if (std::holds_alternative<UnitDef>(d) && !seen) {
      ++units_before;
    }
  }
  EXPECT_TRUE(seen);
  EXPECT_EQ(prefixes_before, 34u);
  EXPECT_EQ(prefixes_after, 0u);
  EXPECT_EQ(units_before, 10u);  // the BASE UNITS section
}

const std::vector<std::string> kMainUnitNames = {
    "meter", "second", "ampere", "candela", "gram", "mole", "kelvin", "radian", "bit", "count",
    "turn", "degree", "arcminute", "arcsecond", "milliarcsecond", "grade", "mil", "steradian",
    "square_degree", "baud", "byte", "percent", "permille", "ppm", "strain", "angstrom", "micron",
    "fermi", "light_year", "astronomical_unit", "parsec", "nautical_mile", "bohr",
    "planck_length", "metric_ton", "unified_atomic_mass_unit", "dalton", "grain", "gamma_mass",
    "carat", "planck_mass", "minute", "hour", "day", "week", "fortnight", "year", "month",
    "century", "millennium", "eon", "shake", "svedberg", "atomic_unit_of_time",
    "gregorian_year", "sidereal_year", "tropical_year", "common_year", "leap_year",
    "sidereal_day", "sidereal_month", "tropical_month", "synodic_month", "planck_time",
    "degree_Celsius", "degree_Rankine", "degree_Fahrenheit", "degree_Reaumur",
    "atomic_unit_of_temperature", "planck_temperature", "are", "barn", "darcy", "hectare",
    "liter", "cubic_centimeter", "lambda", "stere", "hertz", "revolutions_per_minute",
    "revolutions_per_second", "counts_per_second", "reciprocal_centimeter", "knot",
    "mile_per_hour", "kilometer_per_hour", "kilometer_per_second", "meter_per_second",
    "foot_per_second", "sverdrup", "galileo", "meter_per_second_squared", "newton", "dyne",
    "force_kilogram", "force_gram", "force_metric_ton", "atomic_unit_of_force", "joule", "erg",
    "watt_hour", "electron_volt", "rydberg", "hartree", "calorie", "international_calorie",
    "fifteen_degree_calorie", "british_thermal_unit", "international_british_thermal_unit",
    "thermochemical_british_thermal_unit", "quadrillion_Btu", "therm", "US_therm", "ton_TNT",
    "tonne_of_oil_equivalent", "atmosphere_liter", "watt", "volt_ampere", "horsepower",
    "boiler_horsepower", "metric_horsepower", "electrical_horsepower", "refrigeration_ton",
    "cooling_tower_ton", "standard_liter_per_minute", "conventional_watt_90", "pascal", "barye",
    "bar", "technical_atmosphere", "torr", "pound_force_per_square_inch", "kip_per_square_inch",
    "meter_H2O", "meter_H2O_4C", "meter_H2O_60F", "inch_H2O", "inch_H2O_4C", "inch_H2O_60F",
    "foot_H2O", "foot_H2O_4C", "foot_H2O_60F", "meter_Hg", "meter_Hg_0C", "meter_Hg_32F",
    "meter_Hg_60F", "inch_Hg", "inch_Hg_0C", "inch_Hg_32F", "inch_Hg_60F", "foot_Hg",
    "foot_Hg_0C", "foot_Hg_32F", "foot_Hg_60F", "sound_pressure_level", "foot_pound", "poise",
    "reyn", "stokes", "rhe", "particle", "molar", "katal", "enzyme_unit", "clausius",
    "entropy_unit", "becquerel", "curie", "rutherford", "gray", "sievert", "rads", "rem",
    "roentgen", "peak_sun_hour", "langley", "nit", "stilb", "lambert", "lumen", "lux",
    "atomic_unit_of_intensity", "biot", "abampere", "atomic_unit_of_current",
    "mean_international_ampere", "US_international_ampere", "conventional_ampere_90",
    "planck_current", "coulomb", "abcoulomb", "faraday", "conventional_coulomb_90",
    "ampere_hour", "volt", "abvolt", "mean_international_volt", "US_international_volt",
    "conventional_volt_90", "atomic_unit_of_electric_field",
    "atomic_unit_of_electric_field_gradient", "townsend", "ohm", "abohm",
    "mean_international_ohm", "US_international_ohm", "conventional_ohm_90", "siemens",
    "absiemens", "farad", "abfarad", "conventional_farad_90", "weber", "unit_pole", "henry",
    "abhenry", "conventional_henry_90", "tesla", "gamma", "ampere_turn", "biot_turn", "gilbert",
    "debye", "buckingham", "bohr_magneton", "nuclear_magneton", "refractive_index_unit",
    "absorbance_unit", "LMH", "decibelwatt", "decibelmilliwatt", "decibelmicrowatt", "decibel",
    "decade", "octave", "neper", "thou", "inch", "hand", "foot", "yard", "mile", "circular_mil",
    "square_inch", "square_foot", "square_yard", "square_mile", "cubic_inch", "cubic_foot",
    "cubic_yard", "link", "survey_foot", "fathom", "rod", "chain", "furlong", "cables_length",
    "survey_mile", "league", "square_rod", "acre", "square_survey_mile", "square_league",
    "acre_foot", "dry_pint", "dry_quart", "dry_gallon", "peck", "bushel", "dry_barrel",
    "board_foot", "minim", "fluid_dram", "fluid_ounce", "gill", "pint", "fifth", "quart",
    "gallon", "teaspoon", "tablespoon", "shot", "cup", "barrel", "oil_barrel", "beer_barrel",
    "hogshead", "dram", "ounce", "pound", "stone", "quarter", "bag", "hundredweight",
    "long_hundredweight", "ton", "long_ton", "slug", "slinch", "force_ounce", "force_pound",
    "force_ton", "force_long_ton", "kip", "poundal", "UK_hundredweight", "UK_ton",
    "UK_force_ton", "US_hundredweight", "US_ton", "US_force_ton", "pennyweight", "troy_ounce",
    "troy_pound", "scruple", "apothecary_dram", "apothecary_ounce", "apothecary_pound",
    "imperial_minim", "imperial_fluid_scruple", "imperial_fluid_drachm", "imperial_fluid_ounce",
    "imperial_gill", "imperial_cup", "imperial_pint", "imperial_quart", "imperial_gallon",
    "imperial_peck", "imperial_bushel", "imperial_barrel", "pica", "point", "didot", "cicero",
    "tex_point", "tex_pica", "tex_didot", "tex_cicero", "scaled_point", "css_pixel", "pixel",
    "pixels_per_centimeter", "pixels_per_inch", "bits_per_pixel", "tex", "dtex", "denier",
    "jute", "aberdeen", "RKM", "number_english", "number_meter", "franklin", "statvolt",
    "statampere", "gauss", "maxwell", "oersted", "statohm", "statfarad", "statmho", "statweber",
    "stattesla", "stathenry"};

const std::vector<std::string> kConstantNames = {
    "pi", "tansec", "ln10", "wien_x", "wien_u", "eulers_number", "speed_of_light",
    "planck_constant", "elementary_charge", "avogadro_number", "boltzmann_constant",
    "standard_gravity", "standard_atmosphere", "conventional_josephson_constant",
    "conventional_von_klitzing_constant", "conventional_water_density",
    "conventional_mercury_density", "zeta", "dirac_constant", "avogadro_constant",
    "molar_gas_constant", "faraday_constant", "conductance_quantum", "magnetic_flux_quantum",
    "josephson_constant", "von_klitzing_constant", "stefan_boltzmann_constant",
    "first_radiation_constant", "second_radiation_constant",
    "wien_wavelength_displacement_law_constant", "wien_frequency_displacement_law_constant",
    "newtonian_constant_of_gravitation", "rydberg_constant", "electron_g_factor",
    "atomic_mass_constant", "electron_mass", "proton_mass", "neutron_mass", "x_unit_Cu",
    "x_unit_Mo", "angstrom_star", "water_density_4C", "water_density_60F", "mercury_density_0C",
    "mercury_density_32F", "mercury_density_60F", "fine_structure_constant",
    "vacuum_permeability", "vacuum_permittivity", "impedance_of_free_space", "coulomb_constant",
    "classical_electron_radius", "thomson_cross_section"};

std::vector<std::string> unit_names(const std::vector<Definition>& defs) {
  std::vector<std::string> out;
  for (const UnitDef* u : only<UnitDef>(defs)) out.push_back(u->name);
  return out;
}

TEST(DefaultDefinitions, UnitNamesInTextOrder) {
  expect_same_sequence(unit_names(main_records()), kMainUnitNames, "main unit");
  expect_same_sequence(unit_names(constant_records()), kConstantNames, "constant");
}

/// Member names of each `@group` block, read from the raw text (the reader
/// does not record group membership).
std::map<std::string, std::vector<std::string>> groups_in_text(std::string_view text) {
  std::map<std::string, std::vector<std::string>> groups;
  std::vector<std::string>* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(pos, end - pos));
    pos = end + 1;
    line = line.substr(0, line.find('#'));
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    line = line.substr(first);
    if (line.rfind("@group ", 0) == 0) {
      const std::string rest = line.substr(7);
      current = &groups[rest.substr(0, rest.find(' '))];
    } else if (line.rfind("@end", 0) == 0) {
      current = nullptr;
    } else if (current != nullptr) {
      current->push_back(line.substr(0, line.find_first_of(" =")));
    }
  }
  return groups;
}

TEST(DefaultDefinitions, UnitGroupsHoldTheirMembers) {
  const std::map<std::string, std::vector<std::string>> expected = {
      {"USCSLengthInternational",
       {"thou", "inch", "hand", "foot", "yard", "mile", "circular_mil", "square_inch",
        "square_foot", "square_yard", "square_mile", "cubic_inch", "cubic_foot", "cubic_yard"}},
      {"USCSLengthSurvey",
       {"link", "survey_foot", "fathom", "rod", "chain", "furlong", "cables_length",
        "survey_mile", "league", "square_rod", "acre", "square_survey_mile", "square_league",
        "acre_foot"}},
      {"USCSDryVolume",
       {"dry_pint", "dry_quart", "dry_gallon", "peck", "bushel", "dry_barrel", "board_foot"}},
      {"USCSLiquidVolume",
       {"minim", "fluid_dram", "fluid_ounce", "gill", "pint", "fifth", "quart", "gallon"}},
      {"USCSVolumeOther",
       {"teaspoon", "tablespoon", "shot", "cup", "barrel", "oil_barrel", "beer_barrel",
        "hogshead"}},
      {"Avoirdupois",
       {"dram", "ounce", "pound", "stone", "quarter", "bag", "hundredweight",
        "long_hundredweight", "ton", "long_ton", "slug", "slinch", "force_ounce", "force_pound",
        "force_ton", "force_long_ton", "kip", "poundal"}},
      {"AvoirdupoisUK", {"UK_hundredweight", "UK_ton", "UK_force_ton"}},
      {"AvoirdupoisUS", {"US_hundredweight", "US_ton", "US_force_ton"}},
      {"Troy", {"pennyweight", "troy_ounce", "troy_pound"}},
      {"Apothecary", {"scruple", "apothecary_dram", "apothecary_ounce", "apothecary_pound"}},
      {"ImperialVolume",
       {"imperial_minim", "imperial_fluid_scruple", "imperial_fluid_drachm",
        "imperial_fluid_ounce", "imperial_gill", "imperial_cup", "imperial_pint",
        "imperial_quart", "imperial_gallon", "imperial_peck", "imperial_bushel",
        "imperial_barrel"}},
      {"Printer",
       {"pica", "point", "didot", "cicero", "tex_point", "tex_pica", "tex_didot", "tex_cicero",
        "scaled_point", "css_pixel", "pixel", "pixels_per_centimeter", "pixels_per_inch",
        "bits_per_pixel"}},
      {"Textile",
       {"tex", "dtex", "denier", "jute", "aberdeen", "RKM", "number_english", "number_meter"}},
      {"Gaussian",
       {"franklin", "statvolt", "statampere", "gauss", "maxwell", "oersted", "statohm",
        "statfarad", "statmho"}},
      {"ESU", {"statweber", "stattesla", "stathenry"}},
  };
  const auto actual = groups_in_text(kDefaultDefinitions);
  EXPECT_EQ(actual.size(), expected.size());
  for (const auto& [group, members] : expected) {
    const auto it = actual.find(group);
    if (it == actual.end()) {
      ADD_FAILURE() << "missing group " << group;
      continue;
    }
    expect_same_sequence(it->second, members, group.c_str());
  }
}

TEST(DefaultDefinitions, PrefixTable) {
  const struct {
    const char* name;
    double value;
    const char* symbol;  // "~" for none
    const char* aliases;
  } expected[] = {
      {"quecto", 1e-30, "q", ""}, {"ronto", 1e-27, "r", ""},  {"yocto", 1e-24, "y", ""},
      {"zepto", 1e-21, "z", ""},  {"atto", 1e-18, "a", ""},   {"femto", 1e-15, "f", ""},
      {"pico", 1e-12, "p", ""},   {"nano", 1e-9, "n", ""},
      {"micro", 1e-6, "\u00b5", "\u03bc,u,mu,mc"},
      {"milli", 1e-3, "m", ""},   {"centi", 1e-2, "c", ""},   {"deci", 1e-1, "d", ""},
      {"deca", 1e+1, "da", "deka"},
      {"hecto", 1e2, "h", ""},    {"kilo", 1e3, "k", ""},     {"mega", 1e6, "M", ""},
      {"giga", 1e9, "G", ""},     {"tera", 1e12, "T", ""},    {"peta", 1e15, "P", ""},
      {"exa", 1e18, "E", ""},     {"zetta", 1e21, "Z", ""},   {"yotta", 1e24, "Y", ""},
      {"ronna", 1e27, "R", ""},   {"quetta", 1e30, "Q", ""},
      {"kibi", 1024.0, "Ki", ""},                 {"mebi", 1048576.0, "Mi", ""},
      {"gibi", 1073741824.0, "Gi", ""},           {"tebi", 1099511627776.0, "Ti", ""},
      {"pebi", 1125899906842624.0, "Pi", ""},     {"exbi", 1152921504606846976.0, "Ei", ""},
      {"zebi", 1180591620717411303424.0, "Zi", ""},
      {"yobi", 1208925819614629174706176.0, "Yi", ""},
      {"semi", 0.5, "demi", ""},  {"sesqui", 1.5, "~", ""},
  };
  const auto prefixes = only<PrefixDef>(main_records());
  ASSERT_EQ(prefixes.size(), std::size(expected));
  for (size_t i = 0; i < prefixes.size(); ++i) {
    const PrefixDef& p = *prefixes[i];
    EXPECT_EQ(p.name, expected[i].name) << "#" << i;
    EXPECT_EQ(p.value, expected[i].value) << p.name;  // written as exact literals or powers of 2
    EXPECT_EQ(symbol_text(p.symbol), expected[i].symbol) << p.name;
    EXPECT_EQ(join(p.aliases), expected[i].aliases) << p.name;
  }
}

struct UnitRow {
  const char* name;
  const char* relation;
  const char* symbol;  // "~" for none
  const char* aliases;
};

void expect_rows(const std::vector<const UnitDef*>& actual, const std::vector<UnitRow>& rows,
                 const char* what) {
  ASSERT_EQ(actual.size(), rows.size()) << what;
  for (size_t i = 0; i < rows.size(); ++i) {
    const UnitDef& u = *actual[i];
    EXPECT_EQ(u.name, rows[i].name) << what << " #" << i;
    EXPECT_EQ(u.relation, rows[i].relation) << u.name;
    EXPECT_EQ(symbol_text(u.symbol), rows[i].symbol) << u.name;
    EXPECT_EQ(join(u.aliases), rows[i].aliases) << u.name;
  }
}

template <class Pred>
std::vector<const UnitDef*> units_where(Pred pred) {
  std::vector<const UnitDef*> out;
  for (const UnitDef* u : only<UnitDef>(combined_records())) {
    if (pred(*u)) out.push_back(u);
  }
  return out;
}

TEST(DefaultDefinitions, BaseUnits) {
  const auto base = units_where([](const UnitDef& u) { return u.is_base; });
  expect_rows(base,
              {{"meter", "[length]", "m", "metre"},
               {"second", "[time]", "s", "sec"},
               {"ampere", "[current]", "A", "amp"},
               {"candela", "[luminosity]", "cd", "candle"},
               {"gram", "[mass]", "g", ""},
               {"mole", "[substance]", "mol", ""},
               {"kelvin", "[temperature]", "K", "degK,°K,degree_Kelvin,degreeK"},
               {"pixel", "[printing_unit]", "dot", "pel,picture_element"}},
              "base unit");
  for (const UnitDef* u : base) {
    EXPECT_EQ(u->dimension, u->relation) << u->name;
    EXPECT_EQ(u->offset.has_value(), u->name == "kelvin") << u->name;
  }
}

TEST(DefaultDefinitions, DimensionlessBaseUnits) {
  expect_rows(units_where([](const UnitDef& u) { return u.relation == "[]"; }),
              {{"radian", "[]", "rad", ""},
               {"bit", "[]", "~", ""},
               {"count", "[]", "~", ""},
               {"refractive_index_unit", "[]", "RIU", ""},
               {"absorbance_unit", "[]", "AU", ""}},
              "dimensionless unit");
}

TEST(DefaultDefinitions, OffsetUnits) {
  const auto offset_units = units_where([](const UnitDef& u) { return u.offset.has_value(); });
  expect_rows(offset_units,
              {{"kelvin", "[temperature]", "K", "degK,°K,degree_Kelvin,degreeK"},
               {"degree_Celsius", "kelvin", "°C", "celsius,degC,degreeC"},
               {"degree_Rankine", "5 / 9 * kelvin", "°R", "rankine,degR,degreeR"},
               {"degree_Fahrenheit", "5 / 9 * kelvin", "°F", "fahrenheit,degF,degreeF"},
               {"degree_Reaumur", "5 / 4 * kelvin", "°Re",
                "reaumur,degRe,degreeRe,degree_Réaumur,réaumur"}},
              "offset unit");
  const double offsets[] = {0.0, 273.15, 0.0, 233.15 + 200.0 / 9.0, 273.15};
  for (size_t i = 0; i < offset_units.size() && i < std::size(offsets); ++i) {
    EXPECT_DOUBLE_EQ(*offset_units[i]->offset, offsets[i]) << offset_units[i]->name;
  }
  // 0 °F is 459.67 °R: the Fahrenheit zero sits 459.67 * 5/9 K above absolute zero.
  EXPECT_NEAR(*offset_units[3]->offset, 459.67 * 5.0 / 9.0, 1e-12);
}

TEST(DefaultDefinitions, LogarithmicUnitsReadAsPlainMultiples) {
  const std::vector<UnitRow> rows = {
      {"decibelwatt", "watt", "dBW", ""},          {"decibelmilliwatt", "1e-3 watt", "dBm", ""},
      {"decibelmicrowatt", "1e-6 watt", "dBu", ""}, {"decibel", "1", "dB", ""},
      {"decade", "1", "~", ""},                      {"octave", "1", "oct", ""},
      {"neper", "1", "Np", ""}};
  std::vector<const UnitDef*> found;
  for (const UnitRow& row : rows) {
    const UnitDef* u = find_def(row.name);
    ASSERT_NE(u, nullptr) << row.name;
    EXPECT_FALSE(u->offset.has_value()) << row.name;
    found.push_back(u);
  }
  expect_rows(found, rows, "log unit");
  // The log modifiers stay in the text, on exactly these seven lines.
  size_t with_logbase = 0;
  for (size_t pos = kDefaultDefinitions.find("logbase:"); pos != std::string_view::npos;
       pos = kDefaultDefinitions.find("logbase:", pos + 1)) {
    const size_t line_start = kDefaultDefinitions.rfind('\n', pos) + 1;
    const std::string_view line = kDefaultDefinitions.substr(line_start, pos - line_start);
    const bool listed = std::any_of(rows.begin(), rows.end(), [&](const UnitRow& r) {
      return line.rfind(std::string(r.name) + " ", 0) == 0;
    });
    EXPECT_TRUE(listed) << line;
    ++with_logbase;
  }
  EXPECT_EQ(with_logbase, rows.size());
}

TEST(DefaultDefinitions, TellingUnitLines) {
  const std::vector<UnitRow> rows = {
      {"turn", "2 * π * radian", "revolution", "cycle,circle"},
      {"degree", "π / 180 * radian", "deg", "arcdeg,arcdegree,angular_degree"},
      {"byte", "8 * bit", "B", "octet"},
      {"percent", "0.01", "%", ""},
      {"minute", "60 * second", "min", ""},
      {"hour", "60 * minute", "h", "hr"},
      {"year", "365.25 * day", "a", "yr,julian_year"},
      {"liter", "decimeter ** 3", "l", "L,ℓ,litre"},
      {"hertz", "1 / second", "Hz", ""},
      {"inch", "yard / 36", "in", "international_inch,inches,international_inches"},
      {"pound", "7e3 * grain", "lb", "avoirdupois_pound,avdp_pound"},
      {"pi", "3.1415926535897932384626433832795028841971693993751", "π", ""},
      {"speed_of_light", "299792458 m/s", "c", "c_0"},
      {"planck_constant", "6.62607015e-34 J s", "ℎ", ""},
      {"elementary_charge", "1.602176634e-19 C", "e", ""},
      {"avogadro_number", "6.02214076e23", "~", ""},
      {"boltzmann_constant", "1.380649e-23 J K^-1", "k", "k_B"},
      {"standard_gravity", "9.80665 m/s^2", "g_0", "g0,g_n,gravity"},
      {"dirac_constant", "ℎ / (2 * π)", "ħ", "hbar,atomic_unit_of_action,a_u_action"},
      {"avogadro_constant", "avogadro_number * mol^-1", "N_A", ""},
  };
  std::vector<const UnitDef*> found;
  for (const UnitRow& row : rows) {
    const UnitDef* u = find_def(row.name);
    ASSERT_NE(u, nullptr) << row.name;
    found.push_back(u);
  }
  expect_rows(found, rows, "telling line");
}

TEST(DefaultDefinitions, DimensionsInTextOrder) {
  const std::vector<std::string> expected = {
      "[area]", "[volume]", "[frequency]", "[wavenumber]", "[velocity]", "[speed]",
      "[volumetric_flow_rate]", "[acceleration]", "[force]", "[energy]", "[power]",
      "[momentum]", "[density]", "[pressure]", "[torque]", "[viscosity]",
      "[kinematic_viscosity]", "[fluidity]", "[concentration]", "[activity]", "[entropy]",
      "[molar_entropy]", "[heat_transmission]", "[luminance]", "[luminous_flux]",
      "[illuminance]", "[intensity]", "[charge]", "[electric_potential]", "[electric_field]",
      "[electric_field_gradient]", "[electric_displacement_field]", "[reduced_electric_field]",
      "[resistance]", "[resistivity]", "[conductance]", "[conductivity]", "[capacitance]",
      "[magnetic_flux]", "[inductance]", "[magnetic_field]", "[magnetomotive_force]",
      "[magnetic_field_strength]", "[electric_dipole]", "[electric_quadrupole]",
      "[magnetic_dipole]", "[refractive_index]", "[absorbance]", "[membrane_flux]",
      "[membrane_permeability]", "[gaussian_charge]", "[gaussian_current]",
      "[gaussian_electric_potential]", "[gaussian_electric_field]",
      "[gaussian_electric_displacement_field]", "[gaussian_electric_flux]",
      "[gaussian_electric_dipole]", "[gaussian_electric_quadrupole]",
      "[gaussian_magnetic_field]", "[gaussian_magnetic_field_strength]",
      "[gaussian_magnetic_flux]", "[gaussian_magnetic_dipole]", "[gaussian_resistance]",
      "[gaussian_resistivity]", "[gaussian_capacitance]", "[gaussian_inductance]",
      "[gaussian_conductance]", "[esu_charge]", "[esu_current]", "[esu_electric_potential]",
      "[esu_magnetic_flux]", "[esu_magnetic_field]", "[esu_magnetic_field_strength]",
      "[esu_magnetic_dipole]"};
  std::vector<std::string> names;
  std::map<std::string, std::string> relations;
  for (const DimensionDef* d : only<DimensionDef>(main_records())) {
    names.push_back(d->name);
    relations[d->name] = d->relation.value_or("~");
  }
  expect_same_sequence(names, expected, "dimension");
  const std::pair<const char*, const char*> telling[] = {
      {"[area]", "[length] ** 2"},
      {"[frequency]", "1 / [time]"},
      {"[speed]", "[velocity]"},
      {"[force]", "[mass] * [acceleration]"},
      {"[conductivity]", "[conductance]/[length]"},
      {"[refractive_index]", "[]"},
      {"[gaussian_charge]", "[length] ** 1.5 * [mass] ** 0.5 / [time]"},
  };
  for (const auto& [name, relation] : telling) EXPECT_EQ(relations[name], relation) << name;
}

// ---------------------------------------------------------------------------
// Spellings and relations

/// Every spelling the texts register, mapped to the positions (in combined
/// order) of the units claiming it, plus every prefix spelling.
struct Spellings {
  std::map<std::string, std::vector<size_t>, std::less<>> claims;
  std::vector<std::string> prefixes;

  Spellings() {
    const auto units = only<UnitDef>(combined_records());
    for (size_t i = 0; i < units.size(); ++i) {
      const UnitDef& u = *units[i];
      claim(u.name, i);
      claim(u.name + "s", i);
      if (u.symbol) claim(*u.symbol, i);
      for (const std::string& a : u.aliases) {
        claim(a, i);
        claim(a + "s", i);
      }
    }
    for (const PrefixDef* p : only<PrefixDef>(combined_records())) {
      prefixes.push_back(p->name);
      if (p->symbol) prefixes.push_back(*p->symbol);
      prefixes.insert(prefixes.end(), p->aliases.begin(), p->aliases.end());
    }
  }

  void claim(const std::string& spelling, size_t unit) {
    std::vector<size_t>& owners = claims[spelling];
    if (owners.empty() || owners.back() != unit) owners.push_back(unit);
  }
  bool direct(std::string_view word) const { return claims.find(word) != claims.end(); }
  /// Position of the unit that ends up owning the spelling (the last claim wins).
  size_t owner(std::string_view word) const { return claims.find(word)->second.back(); }
  /// True when the word reads as one prefix spelling followed by a registered spelling.
  bool prefixed(std::string_view word) const {
    for (const std::string& p : prefixes) {
      if (word.size() > p.size() && word.substr(0, p.size()) == p && direct(word.substr(p.size())))
        return true;
    }
    return false;
  }
};

const Spellings& spellings() {
  static const Spellings s;
  return s;
}

TEST(DefaultDefinitions, NoSpellingClaimedByTwoUnits) {
  const auto units = only<UnitDef>(combined_records());
  for (const auto& [spelling, owners] : spellings().claims) {
    if (owners.size() < 2) continue;
    if (spelling == "bps") {
      // An alias of baud, and the plural of point's alias bp: point, defined
      // later, must win.
      ASSERT_EQ(owners.size(), 2u);
      EXPECT_EQ(units[owners[0]]->name, "baud");
      EXPECT_EQ(units[owners[1]]->name, "point");
      continue;
    }
    std::string names;
    for (size_t i : owners) names += " " + units[i]->name;
    ADD_FAILURE() << "'" << spelling << "' is claimed by" << names;
  }
}

TEST(DefaultDefinitions, PrefixedSpellingsOfCommonUnitsAreNotCaptured) {
  // Registered spellings win over prefix stripping, so a symbol, alias or
  // plural equal to prefix + common unit would silently change its meaning.
  // Only these customary symbols may do so (each names its own unit).
  const std::set<std::string> allowed = {"ft",  "pt", "qt", "ct",   "at", "au",
                                         "dB",  "PS", "fm", "hbar", "hbars"};
  const char* common[] = {"s",   "m",  "g",  "A",  "K",  "mol", "cd", "l",  "L",  "Hz",
                          "N",   "Pa", "J",  "W",  "C",  "V",   "F",  "Ω",  "S",  "Wb",
                          "T",   "H",  "eV", "B",  "bit", "rad", "sr", "lm", "lx", "Bq",
                          "Gy",  "Sv", "t",  "bar", "M", "u",   "Da", "second", "meter",
                          "gram", "liter", "byte", "joule", "watt", "volt", "ampere"};
  const Spellings& s = spellings();
  for (const std::string& p : s.prefixes) {
    for (const char* unit : common) {
      const std::string spelling = p + unit;
      if (s.direct(spelling) && allowed.count(spelling) == 0) {
        ADD_FAILURE() << "'" << spelling << "' is registered, hiding " << p << " + " << unit;
      }
    }
  }
}

/// Why a relation breaks the rules the relation evaluator relies on, or ""
/// when it keeps them: only numbers, known names, * / ** ^ and parentheses;
/// exponents are plain numbers; no '-' after an operand (it would multiply);
/// juxtaposed operands only where the operator in force is '*'; and no
/// forward reference that would also read as prefix + unit before its own
/// line has registered.
std::string relation_fault(std::string_view rel, size_t position, const Spellings& s) {
  enum class Prev { Start, Operand, Exponent, Op, Pow, Open };
  Prev prev = Prev::Start;
  std::vector<char> op_in_force{'*'};  // per parenthesis level
  auto juxtaposed = [&] {
    return (prev == Prev::Operand || prev == Prev::Exponent) && op_in_force.back() != '*';
  };
  size_t i = 0;
  while (i < rel.size()) {
    const char ch = rel[i];
    if (ch == ' ' || ch == '\t') {
      ++i;
      continue;
    }
    if (ch == '(') {
      if (prev == Prev::Pow) return "a parenthesised exponent";
      if (juxtaposed()) return "a group juxtaposed under '/'";
      op_in_force.push_back('*');
      prev = Prev::Open;
      ++i;
      continue;
    }
    if (ch == ')') {
      if (op_in_force.size() == 1) return "an unmatched ')'";
      if (prev != Prev::Operand && prev != Prev::Exponent) return "an empty or open-ended group";
      op_in_force.pop_back();
      prev = Prev::Operand;
      ++i;
      continue;
    }
    const bool pow = ch == '^' || (ch == '*' && i + 1 < rel.size() && rel[i + 1] == '*');
    if (pow) {
      if (prev == Prev::Exponent) return "a chained exponent";
      if (prev != Prev::Operand) return "an exponent without a base";
      prev = Prev::Pow;
      i += ch == '^' ? 1 : 2;
      continue;
    }
    if (ch == '*' || ch == '/') {
      if (prev != Prev::Operand && prev != Prev::Exponent) return "an operator without a left operand";
      op_in_force.back() = ch;
      prev = Prev::Op;
      ++i;
      continue;
    }
    if (ch == '-' && (prev == Prev::Operand || prev == Prev::Exponent)) {
      return "a '-' after an operand (it multiplies)";
    }
    if (ch == '-' || ch == '.' || (ch >= '0' && ch <= '9')) {
      size_t j = i + (ch == '-' ? 1 : 0);
      const size_t digits = j;
      while (j < rel.size() && (std::isdigit(static_cast<unsigned char>(rel[j])) ||
                                rel[j] == '.' || rel[j] == 'e' || rel[j] == 'E' ||
                                ((rel[j] == '-' || rel[j] == '+') && j > digits &&
                                 (rel[j - 1] == 'e' || rel[j - 1] == 'E')))) {
        ++j;
      }
      double value = 0.0;
      const auto res = std::from_chars(rel.data() + i, rel.data() + j, value);
      if (j == digits || res.ec != std::errc() || res.ptr != rel.data() + j) {
        return "a malformed number '" + std::string(rel.substr(i, j - i)) + "'";
      }
      if (prev == Prev::Pow) {
        prev = Prev::Exponent;
      } else {
        if (juxtaposed()) return "a number juxtaposed under '/'";
        prev = Prev::Operand;
      }
      i = j;
      continue;
    }
    size_t j = i;
    while (j < rel.size() && std::strchr(" \t()*/^", rel[j]) == nullptr) ++j;
    const std::string_view word = rel.substr(i, j - i);
    if (prev == Prev::Pow) return "a name as exponent";
    if (juxtaposed()) return "'" + std::string(word) + "' juxtaposed under '/'";
    const bool direct = s.direct(word);
    if (!direct && !s.prefixed(word)) return "an unknown name '" + std::string(word) + "'";
    if (direct && s.owner(word) > position && s.prefixed(word)) {
      return "'" + std::string(word) + "' used before its line and readable as prefix + unit";
    }
    prev = Prev::Operand;
    i = j;
  }
  if (op_in_force.size() != 1) return "an unmatched '('";
  if (prev != Prev::Operand && prev != Prev::Exponent) return "a trailing operator";
  return "";
}

TEST(DefaultDefinitions, RelationCheckerCatchesEvaluatorTraps) {
  // The checker itself, on relations that would evaluate to something else
  // than they appear to mean.
  const Spellings& s = spellings();
  const size_t first = 0;  // a position before every unit, so any use is a forward one
  const struct {
    const char* relation;
    bool clean;
  } cases[] = {
      {"kilogram * meter / second ** 2", true},
      {"1.380649e-23 J K^-1", true},
      {"6.67430e-11 m^3 / (kg s^2)", true},
      {"-2.00231930436256", true},
      {"kg / m s", false},              // s divides too
      {"meter ** (1/2)", false},        // only plain numbers are exponents
      {"meter - 1", false},             // a minus after an operand multiplies
      {"1em", false},                   // the number text "1e" is dropped
      {"2 * nonexistent_unit", false},
      {"meter ** 2 ** 3", false},       // the second '**' is an operator
      {"(meter", false},
      {"hbar", false},                  // before dirac_constant: hecto-bar
      {"kilometer", true},              // prefix + unit is fine
  };
  for (const auto& c : cases) {
    EXPECT_EQ(relation_fault(c.relation, first, s).empty(), c.clean) << c.relation;
  }
}

TEST(DefaultDefinitions, RelationsUseOnlyWhatTheEvaluatorReads) {
  const Spellings& s = spellings();
  const auto units = only<UnitDef>(combined_records());
  for (size_t i = 0; i < units.size(); ++i) {
    const UnitDef& u = *units[i];
    if (u.is_base || u.relation.empty() || u.relation == "[]") continue;
    const std::string fault = relation_fault(u.relation, i, s);
    EXPECT_EQ(fault, "") << u.name << " = " << u.relation;
  }
}

/// The whole-token words of a relation (numbers keep their sign).
std::vector<std::string> words_of(std::string_view relation) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < relation.size()) {
    const size_t j = relation.find_first_of(" \t()*/^", i);
    const size_t end = j == std::string_view::npos ? relation.size() : j;
    if (end > i) out.emplace_back(relation.substr(i, end - i));
    i = end + 1;
  }
  return out;
}

TEST(DefaultDefinitions, ExactAndMeasuredValuesWrittenInFull) {
  const std::pair<const char*, const char*> literals[] = {
      // exact by definition
      {"yard", "0.9144"}, {"inch", "36"}, {"mile", "1760"}, {"survey_foot", "1200"},
      {"survey_foot", "3937"}, {"grain", "64.79891"}, {"pound", "7e3"}, {"gallon", "231"},
      {"bushel", "2150.42"}, {"imperial_gallon", "4.54609"}, {"nautical_mile", "1852"},
      {"astronomical_unit", "149597870700"}, {"parsec", "648000"}, {"year", "365.25"},
      {"calorie", "4.184"}, {"international_calorie", "4.1868"},
      {"british_thermal_unit", "1055.056"}, {"torr", "760"}, {"carat", "200"},
      {"speed_of_light", "299792458"}, {"planck_constant", "6.62607015e-34"},
      {"elementary_charge", "1.602176634e-19"}, {"avogadro_number", "6.02214076e23"},
      {"boltzmann_constant", "1.380649e-23"}, {"standard_gravity", "9.80665"},
      {"standard_atmosphere", "101325"}, {"conventional_josephson_constant", "4.835979e14"},
      {"conventional_von_klitzing_constant", "2.5812807e4"},
      {"conventional_mercury_density", "13595.1"},
      // measured: every digit of the CODATA 2018 values
      {"newtonian_constant_of_gravitation", "6.67430e-11"},
      {"rydberg_constant", "10973731.568160"}, {"electron_g_factor", "-2.00231930436256"},
      {"atomic_mass_constant", "1.66053906660e-27"}, {"electron_mass", "9.1093837015e-31"},
      {"proton_mass", "1.67262192369e-27"}, {"neutron_mass", "1.67492749804e-27"},
      {"x_unit_Cu", "1.00207697e-13"}, {"x_unit_Mo", "1.00209952e-13"},
      {"angstrom_star", "1.00001495e-10"},
  };
  for (const auto& [name, literal] : literals) {
    const UnitDef* u = find_def(name);
    ASSERT_NE(u, nullptr) << name;
    const auto words = words_of(u->relation);
    EXPECT_NE(std::find(words.begin(), words.end(), literal), words.end())
        << name << " = " << u->relation << " lacks " << literal;
  }
}

// ---------------------------------------------------------------------------
// The registry built from the texts

TEST(DefaultRegistry, RegistersEveryUnitOfBothTexts) {
  const UnitRegistry r = UnitRegistry::new_registry();
  std::set<std::string> names;
  for (const UnitDef* u : only<UnitDef>(combined_records())) {
    names.insert(u->name);
    EXPECT_NE(r.find_unit(u->name), nullptr) << u->name << " = " << u->relation;
  }
  EXPECT_EQ(names.size(), 417u);
}

TEST(DefaultRegistry, ContestedSpellingsEndWhereIntended) {
  const UnitRegistry r = UnitRegistry::new_registry();
  const struct {
    const char* spelling;
    const char* canonical;  // "" when the spelling must stay unregistered
  } cases[] = {
      {"bps", "point"},  // point registers after baud
      {"k", "boltzmann_constant"}, {"c", "speed_of_light"}, {"hbar", "dirac_constant"},
      {"e", "elementary_charge"},  {"π", "pi"},
      // left to prefix stripping: no symbol, alias or plural may take these
      {"µs", ""}, {"μs", ""}, {"us", ""}, {"ms", ""}, {"ks", ""}, {"ns", ""}, {"mm", ""},
      {"kg", ""}, {"Kibit", ""}, {"MB", ""}, {"kWh", ""}, {"mmHg", ""}, {"mL", ""},
  };
  for (const auto& c : cases) {
    const std::string* got = r.lookup_spelling(c.spelling);
    EXPECT_EQ(got ? *got : "", c.canonical) << c.spelling;
    EXPECT_TRUE(r.resolve_unit_ref(c.spelling).ok()) << c.spelling;
  }
}

TEST(DefaultRegistry, StoredValuesDoNotDependOnLoadOrder) {
  // Each relation evaluated again against the finished registry must give the
  // stored entry: a name that resolved to something else while its own line
  // was still pending (a prefix reading) would show up here.
  const UnitRegistry r = UnitRegistry::new_registry();
  for (const UnitDef* u : only<UnitDef>(combined_records())) {
    if (u->is_base || u->relation.empty() || u->relation == "[]") continue;
    const UnitEntry* entry = r.find_unit(u->name);
    ASSERT_NE(entry, nullptr) << u->name;
    const Result<UnitInfo> again = eval_relation_tokens(r, tokenize_relation(u->relation));
    ASSERT_TRUE(again.ok()) << u->name;
    EXPECT_NEAR(again->factor / entry->factor, 1.0, 1e-14) << u->name;
    EXPECT_TRUE(again->root_units == entry->root_units) << u->name;
  }
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
  EXPECT_TRUE(a->root_units == b->root_units) << unit << " vs " << reference << ": "
                                              << a->root_units.to_string() << " / "
                                              << b->root_units.to_string();
  return a->factor / b->factor;
}

TEST(DefaultRegistry, ValuesAgreeWithPublishedOnes) {
  const UnitRegistry r = UnitRegistry::new_registry();
  const struct {
    const char* unit;
    const char* reference;
    double value;
    double rel_tol;
  } cases[] = {
      // exact by definition (1959 agreement, SI, NIST SP 811)
      {"foot", "meter", 0.3048, 1e-15},
      {"mile", "meter", 1609.344, 1e-15},
      {"survey_mile", "meter", 5280.0 * 1200.0 / 3937.0, 1e-15},
      {"acre", "meter ** 2", 4046.872609874252, 1e-14},
      {"pound", "kilogram", 0.45359237, 1e-15},
      {"ounce", "gram", 28.349523125, 1e-15},
      {"troy_ounce", "gram", 31.1034768, 1e-15},
      {"slug", "kilogram", 14.593902937206365, 1e-14},
      {"force_pound", "newton", 4.4482216152605, 1e-15},
      {"poundal", "newton", 0.138254954376, 1e-14},
      {"gallon", "liter", 3.785411784, 1e-14},
      {"pint", "liter", 0.473176473, 1e-14},
      {"fluid_ounce", "milliliter", 29.5735295625, 1e-14},
      {"teaspoon", "milliliter", 4.92892159375, 1e-14},
      {"minim", "microliter", 61.611519921875, 1e-14},
      {"dry_pint", "liter", 0.5506104713575, 1e-14},
      {"bushel", "liter", 35.23907016688, 1e-14},
      {"imperial_pint", "liter", 0.56826125, 1e-14},
      {"imperial_fluid_ounce", "milliliter", 28.4130625, 1e-14},
      {"light_year", "meter", 9460730472580800.0, 1e-15},
      {"parsec", "meter", 3.0856775814913673e16, 1e-14},
      {"tex_point", "millimeter", 0.35145980351459805, 1e-14},
      {"didot", "millimeter", 1000.0 / 2660.0, 1e-14},
      {"degree", "radian", kPi / 180.0, 1e-15},
      {"revolutions_per_minute", "radian / second", 2.0 * kPi / 60.0, 1e-15},
      {"byte", "bit", 8.0, 0.0},
      {"knot", "meter / second", 1852.0 / 3600.0, 1e-15},
      {"mile_per_hour", "meter / second", 0.44704, 1e-15},
      {"electron_volt", "joule", 1.602176634e-19, 1e-15},
      {"calorie", "joule", 4.184, 1e-15},
      {"international_british_thermal_unit", "joule", 1055.05585262, 1e-14},
      {"thermochemical_british_thermal_unit", "joule", 1054.3502644888889, 1e-14},
      {"horsepower", "watt", 745.69987158227022, 1e-14},
      {"metric_horsepower", "watt", 735.49875, 1e-14},
      {"standard_atmosphere", "pascal", 101325.0, 1e-15},
      {"technical_atmosphere", "pascal", 98066.5, 1e-14},
      {"torr", "pascal", 101325.0 / 760.0, 1e-15},
      {"millimeter_Hg", "pascal", 133.322387415, 1e-14},
      {"inch_Hg_32F", "pascal", 3386.38, 2e-6},    // NIST SP 811 to six digits
      {"inch_Hg_60F", "pascal", 3376.85, 2e-6},
      {"inch_H2O_4C", "pascal", 249.082, 2e-6},
      {"inch_H2O_60F", "pascal", 248.84, 2e-5},
      {"darcy", "meter ** 2", 9.869233e-13, 1e-6},
      {"debye", "coulomb * meter", 3.33564095198152e-30, 1e-14},
      {"gilbert", "ampere", 10.0 / (4.0 * kPi), 1e-15},
      {"conventional_volt_90", "volt", 1.0000001066651073, 1e-15},
      {"conventional_ohm_90", "ohm", 1.0000000177936676, 1e-15},
      {"mean_international_ampere", "ampere", 0.99985, 1e-5},
      {"sidereal_day", "second", 86164.0905, 1e-9},
      {"tropical_year", "day", 365.24219, 1e-8},
      // exact consequences of the SI defining constants (CODATA 2018 lists them truncated)
      {"dirac_constant", "joule * second", 1.0545718176461564e-34, 1e-14},
      {"molar_gas_constant", "joule / kelvin / mole", 8.31446261815324, 1e-14},
      {"faraday_constant", "coulomb / mole", 96485.33212331002, 1e-14},
      {"von_klitzing_constant", "ohm", 25812.807459304507, 1e-14},
      {"josephson_constant", "hertz / volt", 483597848416983.63, 1e-14},
      {"magnetic_flux_quantum", "weber", 2.0678338484619293e-15, 1e-14},
      {"conductance_quantum", "siemens", 7.7480917298636506e-5, 1e-14},
      {"stefan_boltzmann_constant", "watt / meter ** 2 / kelvin ** 4", 5.6703744191844295e-8, 1e-14},
      {"first_radiation_constant", "watt * meter ** 2", 3.741771852192758e-16, 1e-14},
      {"second_radiation_constant", "meter * kelvin", 1.4387768775039338e-2, 1e-14},
      {"wien_wavelength_displacement_law_constant", "meter * kelvin", 2.897771955e-3, 1e-9},
      {"wien_frequency_displacement_law_constant", "hertz / kelvin", 5.878925757e10, 1e-9},
      // CODATA 2018: values that follow from measured ones (within their uncertainty)
      {"fine_structure_constant", "1", 7.2973525693e-3, 2e-10},
      {"vacuum_permeability", "newton / ampere ** 2", 1.25663706212e-6, 2e-10},
      {"vacuum_permittivity", "farad / meter", 8.8541878128e-12, 2e-10},
      {"impedance_of_free_space", "ohm", 376.730313668, 2e-10},
      {"coulomb_constant", "newton * meter ** 2 / coulomb ** 2", 8.9875517923e9, 2e-10},
      {"bohr", "meter", 5.29177210903e-11, 2e-10},
      {"hartree", "joule", 4.3597447222071e-18, 2e-12},
      {"rydberg", "electron_volt", 13.605693122994, 2e-12},
      {"classical_electron_radius", "meter", 2.8179403262e-15, 5e-10},
      {"thomson_cross_section", "meter ** 2", 6.6524587321e-29, 1e-9},
      {"bohr_magneton", "joule / tesla", 9.2740100783e-24, 5e-10},
      {"nuclear_magneton", "joule / tesla", 5.0507837461e-27, 5e-10},
      {"atomic_unit_of_time", "second", 2.4188843265857e-17, 2e-12},
      {"atomic_unit_of_current", "ampere", 6.623618237510e-3, 2e-12},
      {"atomic_unit_of_temperature", "kelvin", 3.1577502480407e5, 2e-12},
      {"atomic_unit_of_electric_field", "volt / meter", 5.14220674763e11, 5e-10},
      {"atomic_unit_of_force", "newton", 8.2387234983e-8, 5e-10},
      {"planck_length", "meter", 1.616255e-35, 2e-6},
      {"planck_mass", "kilogram", 2.176434e-8, 2e-6},
      {"planck_time", "second", 5.391247e-44, 2e-6},
      {"planck_temperature", "kelvin", 1.416784e32, 2e-6},
      {"unified_atomic_mass_unit", "kilogram", 1.66053906660e-27, 1e-15},
      // Gaussian units: Coulomb's law with unit constant, the erg as statvolt franklin
      {"franklin ** 2 / centimeter ** 2", "dyne", 1.0, 1e-15},
      {"statvolt * franklin", "erg", 1.0, 1e-15},
      {"gauss * centimeter ** 2", "maxwell", 1.0, 1e-15},
  };
  for (const auto& c : cases) {
    const double got = value_in(r, c.unit, c.reference);
    EXPECT_NEAR(got / c.value, 1.0, c.rel_tol) << c.unit << " in " << c.reference;
  }
}

}  // namespace
}  // namespace qudim
