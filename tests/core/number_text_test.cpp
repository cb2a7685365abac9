// Plain decimal and fixed nine-place texts of doubles.
#include "number_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

namespace qudim {
namespace {

TEST(PlainDecimal, Cases) {
  // clang-format off
  const std::pair<double, const char*> cases[] = {
      {5.0, "5"}, {100.0, "100"}, {0.1, "0.1"}, {-2.5, "-2.5"}, {1e21, "1000000000000000000000"},
      {1e23, "100000000000000000000000"}, {1.5e-7, "0.00000015"}, {-0.0, "-0"}, {0.0, "0"},
      {123.456, "123.456"}, {std::nextafter(3.0, 4.0), "3.0000000000000004"},
      {1.0 / 3.0, "0.3333333333333333"}, {std::nan(""), "NaN"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
  };
  // clang-format on
  for (const auto& [v, text] : cases) EXPECT_EQ(plain_decimal(v), text) << text;
  // The smallest subnormal: a point, 323 zeros and its one digit.
  EXPECT_EQ(plain_decimal(5e-324), "0." + std::string(323, '0') + "5");
}

TEST(FixedNine, Cases) {
  // clang-format off
  const std::pair<double, const char*> cases[] = {
      {0.1, "0.100000000"}, {2.5, "2.500000000"}, {1e-12, "0.000000000"},
      {1e15, "1000000000000000.000000000"}, {std::nextafter(3.0, 4.0), "3.000000000"},
      {-0.0, "-0.000000000"}, {0.0000000005, "0.000000001"},  // just above the tie in binary
      {0.0009765625, "0.000976562"},                           // an exact tie goes to even
      {1e22, "10000000000000000000000.000000000"}, {std::nan(""), "NaN"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
  };
  // clang-format on
  for (const auto& [v, text] : cases) EXPECT_EQ(fixed_nine(v), text) << text;
}

TEST(ParseDecimal, GrammarRoundingAndRange) {
  const double inf = std::numeric_limits<double>::infinity();
  // clang-format off
  const struct {
    const char* text;
    bool words;
    std::optional<double> value;
  } cases[] = {
      {"1e-3", false, 0.001}, {"+5", false, 5.0}, {".5", false, 0.5}, {"1.", false, 1.0},
      {"2.5E+10", false, 2.5e10}, {"0.1", false, 0.1}, {"1e400", false, inf},
      {"-1e400", false, -inf}, {"1e-400", false, 0.0},
      {"1.7976931348623157e308", false, 1.7976931348623157e308}, {"inf", false, std::nullopt},
      {"-Infinity", true, -inf}, {"INF", true, inf}, {"infinit", true, std::nullopt},
      {"", false, std::nullopt}, {".", false, std::nullopt}, {"-", false, std::nullopt},
      {"1e", false, std::nullopt}, {"1e+", false, std::nullopt}, {"1.2.3", false, std::nullopt},
      {" 1", false, std::nullopt}, {"0x10", false, std::nullopt}, {"1_000", false, std::nullopt},
      {"++1", false, std::nullopt},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(parse_decimal(c.text, c.words), c.value) << c.text;
  }
  const std::optional<double> nan = parse_decimal("-nan", true);
  ASSERT_TRUE(nan.has_value());
  EXPECT_TRUE(std::isnan(*nan));
}

}  // namespace
}  // namespace qudim
