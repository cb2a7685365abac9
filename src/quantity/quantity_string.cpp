// The quantity-string splitter.
#include "quantity/quantity_string.hpp"

#include "text_util.hpp"  // trim

namespace qudim {

QuantityText parse_quantity_string(std::string_view text) {
  const std::string_view t = trim(text);
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  bool seen_point = false;
  bool seen_exponent = false;
  bool seen_digit = false;
  while (i < t.size()) {
    const char c = t[i];
    if (c >= '0' && c <= '9') {
      seen_digit = true;
      ++i;
    } else if (c == '.') {
      if (seen_point || seen_exponent) break;
      seen_point = true;
      ++i;
    } else if (c == 'e' || c == 'E') {
      if (seen_exponent || !seen_digit) break;
      seen_exponent = true;
      ++i;
      if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    } else {
      break;
    }
  }
  if (i == 0) return {"1", t};
  return {t.substr(0, i), trim(t.substr(i))};
}

}  // namespace qudim
