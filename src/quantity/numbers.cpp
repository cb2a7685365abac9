// A quantity as a number: its plain value, rounding, and the hash scheme
// (with the interpreter's own hash of floats, for dimensionless quantities).
#include <bit>      // std::bit_cast
#include <cmath>    // std::copysign, std::frexp, std::isfinite, std::isinf, std::round
#include <cstdint>  // uint64_t
#include <string>   // std::string
#include <utility>  // std::move

#include "quantity/quantity_ops.hpp"
#include "siphash.hpp"  // siphash13

namespace qudim {

namespace {

/// 10 raised to n by repeated multiplication (the reciprocal for n < 0).
/// Stops once the power overflows, where further factors change nothing.
double power_of_ten(std::int32_t n) noexcept {
  double p = 1.0;
  const long long count = n < 0 ? -static_cast<long long>(n) : n;
  for (long long i = 0; i < count && !std::isinf(p); ++i) p *= 10.0;
  return n < 0 ? 1.0 / p : p;
}

}  // namespace

Result<PlainNumber> plain_number(UnitRegistry& reg, double m, const UnitsContainer& u) {
  Result<UnitsContainer> dims = reg.get_dimensionality(u);
  if (!dims) return dims.take_error();
  if (!dims->empty()) return PlainNumber{0.0, std::move(*dims)};
  Result<double> factor = reg.get_conversion_factor(u, UnitsContainer());
  if (!factor) return factor.take_error();
  return PlainNumber{*factor * m, std::nullopt};
}

double round_magnitude(double m, std::optional<std::int32_t> ndigits) noexcept {
  // No digits to round away: round(inf, n) is inf for every n.
  if (!std::isfinite(m)) return m;
  const double scale = ndigits ? power_of_ten(*ndigits) : 1.0;
  // An underflowing scale (a hugely negative ndigits) rounds everything to
  // zero; where the scaling overflows, the double has no digits left to
  // round away.
  if (scale == 0.0) return std::copysign(0.0, m);
  const double scaled = m * scale;
  if (!std::isfinite(scaled)) return m;
  return std::round(scaled) / scale;  // halves away from zero: 2.5 -> 3
}

Result<QuantityHash> hash_quantity(UnitRegistry& reg, double m, const UnitsContainer& u) {
  auto roots = reg.get_root_units(u);
  if (!roots) return roots.take_error();
  Result<UnitsContainer> dims = reg.get_dimensionality(roots->second);
  if (!dims) return dims.take_error();
  const double base = roots->first * m;
  // A dimensionless quantity equals the number float(q) (the same product of
  // factors as base), so it must hash like that float.
  if (dims->empty()) return QuantityHash{base, std::nullopt};

  // Each root unit contributes through XOR, so their order does not matter.
  // -0.0 equals 0.0, so both hash from the bits of +0.0.
  std::uint64_t h = std::bit_cast<std::uint64_t>(base == 0.0 ? 0.0 : base);
  std::string feed;
  for (const UnitsContainer::Entry& e : roots->second) {
    feed.assign(e.name);
    feed.push_back('\xFF');
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(e.exponent);
    for (int i = 0; i < 8; ++i) feed.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
    h ^= siphash13(feed.data(), feed.size());
  }
  const auto result = static_cast<std::int64_t>(h);
  return QuantityHash{base, result == -1 ? -2 : result};
}

// The interpreter's numeric hash: x as a fraction reduced modulo the Mersenne
// prime 2**61 - 1, so equal numbers of any type hash alike.
std::int64_t hash_double(double x) noexcept {
  constexpr int kBits = 61;
  constexpr std::uint64_t kModulus = (std::uint64_t{1} << kBits) - 1;
  constexpr std::int64_t kInf = 314159;
  if (std::isinf(x)) return x > 0 ? kInf : -kInf;
  int e = 0;
  double mantissa = std::frexp(x, &e);
  std::uint64_t sign = 1;
  if (mantissa < 0) {
    sign = static_cast<std::uint64_t>(-1);
    mantissa = -mantissa;
  }
  std::uint64_t h = 0;
  while (mantissa != 0.0) {  // 28 bits at a time
    h = ((h << 28) & kModulus) | h >> (kBits - 28);
    mantissa *= 268435456.0;  // 2**28
    e -= 28;
    const auto digits = static_cast<std::uint64_t>(mantissa);
    mantissa -= static_cast<double>(digits);
    h += digits;
    if (h >= kModulus) h -= kModulus;
  }
  e = e >= 0 ? e % kBits : kBits - 1 - ((-1 - e) % kBits);
  h = ((h << e) & kModulus) | h >> (kBits - e);
  h *= sign;
  const auto result = static_cast<std::int64_t>(h);
  return result == -1 ? -2 : result;
}

static_assert(sizeof(std::uintptr_t) == 8, "the identity hash rotates 64-bit addresses");

std::int64_t hash_pointer(std::uintptr_t p) noexcept {
  // Rotated by 4 bits: the low bits of an aligned address are always zero.
  const auto y = static_cast<std::uint64_t>(p);
  const auto result = static_cast<std::int64_t>((y >> 4) | (y << 60));
  return result == -1 ? -2 : result;
}

}  // namespace qudim
