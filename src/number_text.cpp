// Decimal texts of doubles. std::to_chars gives the shortest round-trip
// digits; we place them ourselves, because to_chars(fixed) without a
// precision minimises the whole text and would print 1e23 as
// 99999999999999991611392 instead of a one and twenty-three zeros.
#include "number_text.hpp"

#include <locale.h>  // newlocale, locale_t
#include <charconv>  // std::to_chars, std::from_chars
#include <clocale>   // LC_ALL_MASK
#include <cmath>     // std::isnan, std::isinf, std::signbit
#include <cstdint>   // int64_t
#include <cstdlib>   // strtod_l
#include <limits>    // std::numeric_limits

namespace qudim {

namespace {

bool append_special(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
    return true;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
    return true;
  }
  return false;
}

}  // namespace

void append_plain_decimal(std::string& out, double value) {
  if (append_special(out, value)) return;
  if (std::signbit(value)) {
    out += '-';
    value = -value;
  }
  if (value == 0.0) {
    out += '0';
    return;
  }
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  // buf holds d[.ddd]e[+-]XX
  const char* p = buf;
  const char* end = res.ptr;
  char digits[32];
  int nd = 0;
  while (p < end && *p != 'e') {
    if (*p != '.') digits[nd++] = *p;
    ++p;
  }
  int exp10 = 0;
  std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exp10);
  // value = 0.d1d2...dn * 10^(exp10 + 1); the point goes after exp10 + 1 digits.
  const int point = exp10 + 1;
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out.append(digits, static_cast<std::size_t>(nd));
  } else if (point >= nd) {
    out.append(digits, static_cast<std::size_t>(nd));
    out.append(static_cast<std::size_t>(point - nd), '0');
  } else {
    out.append(digits, static_cast<std::size_t>(point));
    out += '.';
    out.append(digits + point, static_cast<std::size_t>(nd - point));
  }
}

std::string plain_decimal(double value) {
  std::string out;
  append_plain_decimal(out, value);
  return out;
}

std::string fixed_nine(double value) {
  std::string out;
  if (append_special(out, value)) return out;
  // to_chars with an explicit precision is exact and correctly rounded.
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 9);
  out.assign(buf, res.ptr);
  return out;
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool equals_ignore_case(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

/// True when text is exactly one literal of the grammar (no words).
bool is_decimal_literal(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && is_digit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && is_digit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t exp_digits = 0;
    while (i < t.size() && is_digit(t[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == t.size();
}

}  // namespace

std::optional<double> parse_decimal(std::string_view text, bool allow_words) {
  if (allow_words) {
    std::string_view body = text;
    bool negative = false;
    if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
      negative = body[0] == '-';
      body.remove_prefix(1);
    }
    if (equals_ignore_case(body, "inf") || equals_ignore_case(body, "infinity")) {
      return negative ? -std::numeric_limits<double>::infinity()
                      : std::numeric_limits<double>::infinity();
    }
    if (equals_ignore_case(body, "nan")) {
      return negative ? -std::numeric_limits<double>::quiet_NaN()
                      : std::numeric_limits<double>::quiet_NaN();
    }
  }
  if (!is_decimal_literal(text)) return std::nullopt;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (*first == '+') ++first;
  double value = 0.0;
  const auto res = std::from_chars(first, last, value);
  if (res.ec == std::errc() && res.ptr == last) return value;
  // Out of range: let the C library round to an infinity or to zero, in the
  // "C" locale whatever the process locale is.
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  const std::string copy(first, last);
  return strtod_l(copy.c_str(), nullptr, c_locale);
}

void append_saturated_int(std::string& out, double value) {
  std::int64_t n;
  if (std::isnan(value)) {
    n = 0;
  } else if (value >= 9223372036854775808.0) {
    n = std::numeric_limits<std::int64_t>::max();
  } else if (value < -9223372036854775808.0) {
    n = std::numeric_limits<std::int64_t>::min();
  } else {
    n = static_cast<std::int64_t>(value);
  }
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, res.ptr);
}

}  // namespace qudim
