// Decimal texts of doubles shared by unit formatting and quantity text.
#pragma once

#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qudim {

/// Shortest round-trip digits laid out positionally, never with an exponent:
/// 5, 0.1, 1e21 -> "1000000000000000000000", 1.5e-7 -> "0.00000015",
/// -0.0 -> "-0". NaN -> "NaN", infinities -> "inf" / "-inf".
std::string plain_decimal(double value);

/// Appends plain_decimal(value) to out.
void append_plain_decimal(std::string& out, double value);

/// All integer digits, a point and exactly nine correctly rounded decimals
/// (ties to even): 0.1 -> "0.100000000". NaN and infinities as above.
std::string fixed_nine(double value);

/// Reads a standard decimal literal: optional sign, digits with an optional
/// point and fraction (or a point and digits), optional exponent; no blanks.
/// With allow_words, also inf / infinity / nan in any case with a sign.
/// Rounds to nearest; too large gives an infinity, too small zero.
std::optional<double> parse_decimal(std::string_view text, bool allow_words);

/// A 64-bit integer exponent text with saturation at the range limits.
void append_saturated_int(std::string& out, double value);

}  // namespace qudim
