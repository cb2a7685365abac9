// What a quantity (a magnitude in a unit map) can do with its registry:
// conversions, the compact prefix choice, plain-number values, tolerant
// equality and exact ordering, the arithmetic's unit checks, rounding and
// the hash scheme. Plain C++ on plain values; the
// binding converts Python arguments, calls these under the registry lock
// and builds Python objects from the results.
#pragma once

#include <cstdint>      // int32_t, int64_t, uintptr_t
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "errors.hpp"             // Result
#include "registry/registry.hpp"  // UnitRegistry
#include "units_container.hpp"    // UnitsContainer

namespace qudim {

/// A magnitude in a unit map: the outcome of a conversion.
struct QuantityValue {
  double magnitude;
  UnitsContainer units;
};

// ---- conversions ----

/// m in units u converted to the unit text. target is pointed at the parsed
/// text: the registry's memo entry or scratch, valid while the registry is
/// unchanged (copy it out before the lock goes).
Result<double> convert_to_text(UnitRegistry& reg, double m, const UnitsContainer& u,
                               std::string_view text, UnitsContainer& scratch,
                               const UnitsContainer*& target);
/// m in u converted to the unit text, with the parsed units.
Result<QuantityValue> to_units(UnitRegistry& reg, double m, const UnitsContainer& u,
                               std::string_view text);
/// Root units by the multiplicative factor only (an offset plays no part).
Result<QuantityValue> to_base(UnitRegistry& reg, double m, const UnitsContainer& u);
/// Every unit replaced by its root units, one entry at a time.
Result<QuantityValue> to_unprefixed(UnitRegistry& reg, double m, const UnitsContainer& u);
/// A single unit to the first power gets the decimal prefix that leaves
/// 1 <= |magnitude| < 1000 (after converting to unit, when given); anything
/// else, and a lone offset unit, comes back unchanged.
Result<QuantityValue> to_compact(UnitRegistry& reg, double m, const UnitsContainer& u,
                                 std::optional<std::string_view> unit);
/// The first text whose dimensionality is the quantity's, else base units.
Result<QuantityValue> to_preferred(UnitRegistry& reg, double m, const UnitsContainer& u,
                                   const std::vector<std::string>& texts);

/// One entry of the built-in compact prefix table.
struct CompactPrefix {
  const char* name;
  double factor;
};
/// The prefix with the largest factor leaving 1 <= |value| / factor < 1000,
/// or nullptr (zero, NaN, infinities, values beyond the table).
const CompactPrefix* best_compact_prefix(double value) noexcept;

// ---- numbers ----

/// A quantity as a plain number: its value when the units have no
/// dimensions; otherwise the dimensionality that refuses it.
struct PlainNumber {
  double value;
  std::optional<UnitsContainer> refused;  // the dimensionality, when there is one
};
Result<PlainNumber> plain_number(UnitRegistry& reg, double m, const UnitsContainer& u);

/// m rounded half away from zero at ndigits decimals (none: to a whole
/// number). NaN and infinities stay as they are, like round(x, n) on floats.
double round_magnitude(double m, std::optional<std::int32_t> ndigits) noexcept;

// ---- comparison ----

/// The comparisons, numbered as the interpreter numbers them.
enum class CompareOp : int { Lt = 0, Le = 1, Eq = 2, Ne = 3, Gt = 4, Ge = 5 };
/// The operation an operator text ("lt" or "<", ...) names.
std::optional<CompareOp> compare_op_named(std::string_view text) noexcept;

/// |a - b| below max(|scale|, 1) epsilons; a NaN difference is never close.
bool nearly_equal(double a, double b, double scale) noexcept;
/// a OP b exactly, for the four orderings (NaN orders false).
bool ordered(double a, double b, CompareOp op) noexcept;

/// other's magnitude in the units `units`, by the multiplicative factor.
/// Equal maps need no registry: callers on hot paths compare them first.
Result<double> magnitude_in(UnitRegistry& reg, const UnitsContainer& units, double other_m,
                            const UnitsContainer& other_u);
/// Tolerant equality of two quantities whose unit maps differ (equal maps
/// compare their magnitudes with nearly_equal, no registry needed); the
/// tolerance scales with m, and units that do not convert are unequal.
bool equals_quantity(UnitRegistry& reg, double m, const UnitsContainer& u, double other_m,
                     const UnitsContainer& other_u);
/// Tolerant equality with the number x: only dimensionless units can match,
/// after scaling the magnitude to a pure number (50 percent == 0.5).
Result<bool> equals_number(UnitRegistry& reg, double m, const UnitsContainer& u, double x);

/// Whether the number x may join a magnitude in units u by + or -: zero
/// always may, any number when u has no dimensions.
Result<bool> number_joins(UnitRegistry& reg, const UnitsContainer& u, double x);

// ---- hash ----

/// What hashes a quantity: its base magnitude, and its hash unless the
/// quantity is dimensionless (it must then hash like the number `base`).
struct QuantityHash {
  double base;
  std::optional<std::int64_t> hash;
};
Result<QuantityHash> hash_quantity(UnitRegistry& reg, double m, const UnitsContainer& u);

/// The interpreter's hash of a float, for every finite or infinite x.
std::int64_t hash_double(double x) noexcept;
/// The interpreter's identity hash of an object at address p.
std::int64_t hash_pointer(std::uintptr_t p) noexcept;

}  // namespace qudim
