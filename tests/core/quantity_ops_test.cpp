// Quantity operations: the compact-prefix choice and rounding (conversions,
// comparison and hashing are checked through Quantity's methods, the hash
// against the interpreter's own float hash) and the quantity-string splitter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "quantity/quantity_ops.hpp"
#include "quantity/quantity_string.hpp"

namespace qudim {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(CompactPrefix, ChoosesTheLargestFittingFactor) {
  struct Row {
    double value;
    const char* prefix;  // nullptr: none fits
  };
  const Row rows[] = {
      {1500, "kilo"},   {-1500, "kilo"}, {1000, "kilo"},   {999.9, "hecto"},
      {2, "deci"},      {0.05, "centi"}, {1e30, "quetta"}, {2e33, nullptr},
      {1e-31, nullptr}, {0, nullptr},    {kNaN, nullptr},  {kInf, nullptr},
  };
  for (const Row& r : rows) {
    const CompactPrefix* p = best_compact_prefix(r.value);
    EXPECT_EQ(p == nullptr ? std::string("none") : p->name, r.prefix ? r.prefix : "none")
        << r.value;
  }
}

TEST(RoundMagnitude, HalvesAwayAndScalesBeyondTheFiniteRange) {
  struct Row {
    double m;
    std::optional<std::int32_t> ndigits;
    double want;
  };
  // clang-format off
  const Row rows[] = {
      {2.5, std::nullopt, 3}, {-2.5, std::nullopt, -3}, {1.25, 1, 1.3}, {15, -1, 20},
      {1.5, -400, 0}, {1e300, 10, 1e300}, {1.5, INT32_MAX, 1.5}, {kInf, std::nullopt, kInf},
      {kInf, -400, kInf}, {-kInf, 309, -kInf}, {kInf, INT32_MIN, kInf}, {-kInf, INT32_MAX, -kInf},
  };
  // clang-format on
  for (const Row& r : rows) {
    EXPECT_EQ(round_magnitude(r.m, r.ndigits), r.want) << r.m << " " << r.ndigits.value_or(0);
  }
  EXPECT_TRUE(std::signbit(round_magnitude(-1.5, -400)));
  EXPECT_TRUE(std::isnan(round_magnitude(kNaN, 2)));
}

TEST(QuantityString, SplitsNumberFromUnits) {
  struct Row {
    const char* text;
    const char* magnitude;
    const char* units;
  };
  // clang-format off
  const Row rows[] = {
      {"3.5 km", "3.5", "km"}, {"km", "1", "km"}, {"", "1", ""}, {"  -2e3 m/s  ", "-2e3", "m/s"},
      {"1e5.5 m", "1e5", ".5 m"}, {"- m", "-", "m"}, {"e", "1", "e"}, {"2e", "2e", ""},
      {"1.2.3", "1.2", ".3"}, {"+-1", "+", "-1"}, {"1e+5e", "1e+5", "e"},
      {"\u00a05\u3000m\u2003", "5", "m"},
  };
  // clang-format on
  for (const Row& r : rows) {
    const QuantityText t = parse_quantity_string(r.text);
    EXPECT_EQ(t.magnitude, r.magnitude) << r.text;
    EXPECT_EQ(t.units, r.units) << r.text;
  }
}

}  // namespace
}  // namespace qudim
