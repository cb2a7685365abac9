// Splitting a quantity string such as "3.5 km/h" into number and unit text.
#pragma once

#include <string_view>  // std::string_view

namespace qudim {

struct QuantityText {
  std::string_view magnitude;  // "1" when the text has no leading number
  std::string_view units;
};

/// Splits trimmed text at the end of its leading number. An "e"/"E" counts as
/// an exponent marker only after a mantissa digit, so "e" alone is the
/// elementary charge rather than a malformed number.
QuantityText parse_quantity_string(std::string_view text);

}  // namespace qudim
