// Tests of eval_simple_expr: literals, operators, quirks and deep nesting.
#include <gtest/gtest.h>

#include <bit>       // std::bit_cast
#include <cmath>     // std::isnan
#include <cstdint>   // uint64_t
#include <limits>    // std::numeric_limits
#include <optional>  // std::optional
#include <string>    // std::string
#include <string_view>  // std::string_view
#include <vector>    // std::vector

#include "parser.hpp"

namespace qudim {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.141592653589793;

struct ValueCase {
  std::string text;
  double expected;  // compared bit for bit, so -0.0 differs from 0.0
};

void expect_values(const std::vector<ValueCase>& cases) {
  for (const ValueCase& c : cases) {
    const std::optional<double> got = eval_simple_expr(c.text);
    ASSERT_TRUE(got.has_value()) << "text: '" << c.text << "'";
    EXPECT_EQ(std::bit_cast<std::uint64_t>(*got), std::bit_cast<std::uint64_t>(c.expected))
        << "text: '" << c.text << "' gave " << *got << ", expected " << c.expected;
  }
}

std::string repeat(std::string_view piece, int count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (int k = 0; k < count; ++k) out.append(piece);
  return out;
}

TEST(NumericEvalTest, Literals) {
  expect_values({
      {"1e-3", 1e-3},
      {"+5", 5.0},
      {".5", 0.5},
      {"1.", 1.0},
      {"-.5", -0.5},
      {"1E3", 1000.0},
      {"1e+3", 1000.0},
      {"007", 7.0},
      {"0.1", 0.1},
      {"  12\t", 12.0},
      // Unicode white space around the text is trimmed (NBSP, ideographic space).
      {"\u00a012\u3000", 12.0},
      {"-inf", -kInf},
      {"INFINITY", kInf},
      {"+Inf", kInf},
      // Out of range: overflow to an infinity, underflow to a signed zero.
      {"1e400", kInf},
      {"-1e400", -kInf},
      {"1e-400", 0.0},
      {"-1e-400", -0.0},
      {"1" + std::string(400, '0'), kInf},
      {"1" + std::string(400, '0') + "e-100", 1e300},
      {"1" + std::string(400, '0') + "e-50", kInf},
      {"0." + std::string(400, '0') + "1e400", 0.1},
      {"0." + std::string(400, '0') + "1e10", 0.0},
      {"0e99999", 0.0},
      {"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()},
      // Correct rounding of a long digit string.
      {"3.1415926535897932384626433832795028841971693993751", kPi},
  });
}

TEST(NumericEvalTest, NanWords) {
  for (const char* text : {"nan", "NaN", "-nan", "+NAN", "0/0"}) {
    const std::optional<double> got = eval_simple_expr(text);
    ASSERT_TRUE(got.has_value()) << text;
    EXPECT_TRUE(std::isnan(*got)) << text;
  }
}

TEST(NumericEvalTest, Arithmetic) {
  expect_values({
      {"2**10", 1024.0},
      {"2 ** 3 ** 2", 512.0},  // power groups to the right
      {"(2**3)**2", 64.0},
      {"2 + 3 * 4", 14.0},
      {"2 * 3 + 4 * 5", 26.0},
      {"2 ** 3 * 2", 16.0},
      {"2 * 2 ** 3", 16.0},
      {"5 - 3 - 1", 1.0},  // left to right
      {"10 / 2 / 5", 1.0},
      {"233.15 + 200 / 9", 233.15 + 200.0 / 9.0},
      {"2*3", 6.0},
      {"2\t*\t3", 6.0},
      {"((2)) * 3", 6.0},
      {"1/0", kInf},
      {"-1/0", -kInf},
      {"2 ** 0.5", 1.4142135623730951},
      {"1e-3-1e-3", 0.0},
      {"1+2e+3", 2001.0},
      {"2 * 1e-3", 2.0 * 1e-3},
      {"-1e-3", -1e-3},
  });
}

TEST(NumericEvalTest, NegativeLiterals) {
  expect_values({
      {"2**-3", 0.125},  // '-' after an operator starts a literal
      {"2*-3", -6.0},
      {"5 - -3", 8.0},
      {"(-3)", -3.0},
      // A leading '-' belongs to the literal, so the power applies to -2.
      {"-2**2", 4.0},
  });
}

TEST(NumericEvalTest, Pi) {
  expect_values({
      {"π", kPi},
      {"2 * π", 2.0 * kPi},
      {"π / 2", kPi / 2.0},
      {"-π", -kPi},
      {"2*-π", -2.0 * kPi},
      // π is replaced by its digits before tokenizing, so they join the 2.
      {"2π", 23.141592653589793},
  });
}

TEST(NumericEvalTest, LenientParsing) {
  expect_values({
      {"2 * (3 + 4", 14.0},   // missing close parenthesis accepted
      {"1 + (2 * (3", 7.0},
      {"2 3", 2.0},           // leftover tokens ignored
      {"2^3", 2.0},           // '^' is skipped, the 3 is left over
      {"2, 3", 2.0},
      {"2 ) * 3", 2.0},
      {"(2 3) * 4", 2.0},     // the group ends before 3, and so does the whole
      {"0x10", 0.0},          // no hex: 'x' is skipped and 10 is left over
      {"1_000", 1.0},
      {"e5", 5.0},            // a lone letter is skipped
  });
}

TEST(NumericEvalTest, NoValue) {
  for (const char* text : {
           "", "   ", "\u3000",
           "2 * x",       // letter skipped, expression ends after '*'
           "-(2)",        // a '-' that cannot be subtraction needs digits
           "2 * -1e-3",   // the run '-1e' takes no exponent sign
           "2 * - 3", "--5", "+ 2", "*2", "2 *", "2 **", "2 +", "(", "()", ")",
           "1..2", "1e", "ππ", "2 * inf", "inf + 1", "abc",
           "2 3..4",      // a bad literal fails even among leftover tokens
           "1.2.3 + 1",
       }) {
    EXPECT_FALSE(eval_simple_expr(text).has_value()) << "text: '" << text << "'";
  }
}

TEST(NumericEvalTest, DeepNesting) {
  constexpr int kDepth = 100'000;
  expect_values({
      {repeat("(", kDepth) + "2.5" + repeat(")", kDepth), 2.5},
      {repeat("(", kDepth) + "2.5", 2.5},
      {repeat("(", kDepth) + "2" + repeat(")", kDepth) + " * 3", 6.0},
      // 1-(1-(...(1-x))) flips between x and 1-x with the depth's parity.
      {repeat("1-(", kDepth) + "0.25" + repeat(")", kDepth), 0.25},
      {repeat("1-(", kDepth - 1) + "0.25" + repeat(")", kDepth - 1), 0.75},
      // Right grouping: 2**(1**(...**3)) is 2; left grouping would give 8.
      {"2**" + repeat("1**", kDepth) + "3", 2.0},
      {repeat("2**", kDepth) + "2", kInf},
      {repeat("(1**", kDepth) + "7" + repeat(")", kDepth), 1.0},
  });
  EXPECT_FALSE(eval_simple_expr(repeat("(", kDepth)).has_value());
  EXPECT_FALSE(eval_simple_expr(repeat("2**", kDepth)).has_value());
  EXPECT_FALSE(eval_simple_expr(repeat("(2*", kDepth) + ")").has_value());
}

}  // namespace
}  // namespace qudim
