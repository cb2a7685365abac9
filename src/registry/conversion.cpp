// Conversion between unit maps: the multiplicative factor, and values with
// offset units (temperature scales) taken through the root unit.
#include <cmath>  // std::fabs, std::pow

#include "registry/registry_impl.hpp"  // UnitRegistry::Impl, detail::CachedUnit

namespace qudim {

namespace {

/// One side of a conversion, reduced in a single walk over its entries.
struct Side {
  Side() = default;
  Side(const Side&) = delete;
  Side& operator=(const Side&) = delete;

  double factor = 1.0;
  UnitsContainer dims;                      // built unless the side is one unit
  const UnitsContainer* dims_view = &dims;  // the side's dimensionality
  bool has_offset = false;
  const detail::CachedUnit* single = nullptr;  // the info of a side's only entry
};

/// Factor product, dimensionality and offset presence of one side; the
/// first spelling that does not resolve is the error.
Status reduce_side(UnitRegistry::Impl& impl, const UnitsContainer& units, Side& side) {
  if (units.size() == 1 && units[0].exponent == 1.0) {
    // One unit to the first power (most conversions): its memoised
    // dimensionality is the side's, no need to build a copy.
    auto info = impl.cached_info(units[0].name);
    if (!info.ok()) return info.take_error();
    const detail::CachedUnit& u = **info;
    side.factor = u.factor;
    side.dims_view = &u.dimensionality;
    side.has_offset = u.offset != 0.0;
    side.single = &u;
    return {};
  }
  for (const UnitsContainer::Entry& term : units) {
    auto info = impl.cached_info(term.name);
    if (!info.ok()) return info.take_error();
    const detail::CachedUnit& u = **info;
    side.factor *= term.exponent == 1.0 ? u.factor : std::pow(u.factor, term.exponent);
    side.dims.mul_in_place(u.dimensionality, term.exponent);
    side.has_offset = side.has_offset || u.offset != 0.0;
    side.single = &u;
  }
  if (units.size() != 1) side.single = nullptr;
  return {};
}

/// Both sides reduced, source first, and required to agree in dimensionality
/// (container equality is exactly that rule: same dimensions, exponents
/// within EPSILON, order ignored).
Status reduce_both(UnitRegistry::Impl& impl, const UnitsContainer& src, const UnitsContainer& dst,
                   Side& s, Side& d) {
  if (Status st = reduce_side(impl, src, s); !st.ok()) return st;
  if (Status st = reduce_side(impl, dst, d); !st.ok()) return st;
  if (!(*s.dims_view == *d.dims_view)) {
    return QudimError::dimensionality(src.to_string(), dst.to_string(), *s.dims_view, *d.dims_view);
  }
  return {};
}

bool is_first_power(double exponent) { return std::fabs(exponent - 1.0) < EPSILON; }

}  // namespace

Result<double> UnitRegistry::get_conversion_factor(const UnitsContainer& src,
                                                   const UnitsContainer& dst) {
  Side s;
  Side d;
  if (Status st = reduce_both(*impl_, src, dst, s, d); !st.ok()) return st.take_error();
  return s.factor / d.factor;
}

Result<double> UnitRegistry::convert(double value, const UnitsContainer& src,
                                     const UnitsContainer& dst) {
  Side s;
  Side d;
  if (Status st = reduce_both(*impl_, src, dst, s, d); !st.ok()) return st.take_error();
  // Offsets only make sense for a lone unit to the first power; "degC ** 2"
  // or "degC / second" convert by factors alone.
  if ((s.has_offset || d.has_offset) && s.single != nullptr && d.single != nullptr &&
      is_first_power(src[0].exponent) && is_first_power(dst[0].exponent)) {
    // Scale and shift into the root unit, then shift and scale back out.
    return (value * s.single->factor + s.single->offset - d.single->offset) / d.single->factor;
  }
  return value * (s.factor / d.factor);
}

}  // namespace qudim
