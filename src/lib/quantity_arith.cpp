// Quantity arithmetic: the number slots. *, /, //, ** combine unit maps with
// the container algebra and never touch the registry; +, - and % bring the
// other quantity into self's units, locking self's registry only when the
// two unit maps differ (or a number meets a quantity with units).
#include "lib/quantity.hpp"

#include <cmath>    // std::floor, std::fmod, std::pow, std::fabs
#include <cstdint>  // UINT32_MAX
#include <utility>  // std::move

#include "lib/args.hpp"               // number_value, forgive_conversion_error
#include "lib/entry.hpp"              // locked
#include "lib/errors_py.hpp"          // raise, dimensionality_error
#include "lib/objects.hpp"            // PyQuantity, make_quantity, SharedBorrow
#include "quantity/quantity_ops.hpp"  // magnitude_in, number_joins

namespace qudim::py {

namespace {

/// A plain-number operand; an ordinary conversion failure becomes
/// TypeError(message).
bool plain_operand(PyObject* o, double& x, const char* message) {
  if (number_value(o, x)) return true;
  if (forgive_conversion_error()) PyErr_SetString(PyExc_TypeError, message);
  return false;
}

/// The float/int operand path of * and /: subclasses count, and a failed
/// conversion (an int too large for a double) is passed on unchanged.
inline bool is_float_or_int(PyObject* o) { return PyFloat_Check(o) || PyLong_Check(o); }

/// The ZeroDivisionErrors of /, // (division) and % (modulo).
PyObject* division_by_zero() { return raise(PyExc_ZeroDivisionError, "Division by zero"); }
PyObject* modulo_by_zero() { return raise(PyExc_ZeroDivisionError, "Modulo by zero"); }

/// A result in self's registry with a copy of self's units.
PyObject* with_units_of(const PyQuantity* self, double magnitude) {
  return make_quantity(magnitude, self->units, self->registry);
}

/// A result in self's registry with the given (new) units.
PyObject* with_units(const PyQuantity* self, double magnitude, UnitsContainer&& units) {
  return make_quantity(magnitude, std::move(units), self->registry);
}

/// A quantity with self's units times other's to the power (1 or -1). The
/// product is formed inside the new object, which nobody else sees yet:
/// building it aside and moving it in costs a third of the operation.
PyObject* with_product(const PyQuantity* self, double magnitude, const UnitsContainer& other,
                       double power) {
  Held result(make_quantity(magnitude, self->units, self->registry));
  if (result.get() == nullptr) return nullptr;
  as_quantity(result.get())->units.mul_in_place(other, power);  // a throw releases it
  return result.release();
}

/// other's magnitude expressed in self's units: unchanged for equal unit
/// maps, else scaled by the factor from other's units to self's, computed in
/// self's registry. False with the mapped error raised.
bool magnitude_in_self_units(const PyQuantity* self, const PyQuantity* other, double& out) {
  if (self->units == other->units) {
    out = other->magnitude;
    return true;
  }
  Result<double> m = locked(self->registry, [&](UnitRegistry& reg) {
    return magnitude_in(reg, self->units, other->magnitude, other->units);
  });
  if (!m) {
    raise(m.error());
    return false;
  }
  out = *m;
  return true;
}

/// Whether the number x may join self's magnitude: zero always may, and any
/// number when self's units are empty or reduce to no dimensions (percent,
/// radian). False with dimension_message or the mapped error raised.
bool may_join(const PyQuantity* self, double x, const char* dimension_message) {
  if (x == 0.0 || self->units.empty()) return true;  // no lock needed
  Result<bool> joins =
      locked(self->registry, [&](UnitRegistry& reg) { return number_joins(reg, self->units, x); });
  if (!joins) {
    raise(joins.error());
    return false;
  }
  if (!*joins) raise(dimensionality_error(), dimension_message);
  return *joins;
}

/// The magnitude of self + other or self - other, in self's units.
bool add_or_subtract(const PyQuantity* self, PyObject* other, bool subtract, double& out) {
  double x;
  if (is_quantity(other)) {
    if (!magnitude_in_self_units(self, as_quantity(other), x)) return false;
  } else {
    if (!plain_operand(
            other, x,
            subtract ? "Unsupported operand type for -" : "Unsupported operand type for +")) {
      return false;
    }
    // The number is added unscaled: 50 percent + 1 is 51 percent.
    if (!may_join(self, x,
                  subtract ? "Cannot subtract dimensionless from quantity with dimensions"
                           : "Cannot add dimensionless to quantity with dimensions")) {
      return false;
    }
  }
  out = subtract ? self->magnitude - x : self->magnitude + x;
  return true;
}

/// self + other; also other + self, which is the same operation.
PyObject* add_forward(PyQuantity* self, PyObject* other) {
  double m;
  if (!add_or_subtract(self, other, false, m)) return nullptr;
  return with_units_of(self, m);
}

/// self - other.
PyObject* subtract_forward(PyQuantity* self, PyObject* other) {
  double m;
  if (!add_or_subtract(self, other, true, m)) return nullptr;
  return with_units_of(self, m);
}

/// x - self, computed as -(self - x) so every error speaks of subtraction.
PyObject* subtract_reflected(PyQuantity* self, PyObject* other) {
  double m;
  if (!add_or_subtract(self, other, true, m)) return nullptr;
  return with_units_of(self, -m);
}

/// self * other; also other * self. Only float and int pass their own
/// conversion error on; other failed operands are unsupported.
PyObject* multiply_forward(PyQuantity* self, PyObject* other) {
  double x;
  if (is_float_or_int(other)) {
    if (!number_value(other, x)) return nullptr;
    return with_units_of(self, x * self->magnitude);
  }
  if (is_quantity(other)) {
    const PyQuantity* o = as_quantity(other);
    return with_product(self, self->magnitude * o->magnitude, o->units, 1.0);
  }
  if (is_unit(other)) return with_product(self, self->magnitude, as_unit(other)->units, 1.0);
  if (!plain_operand(other, x, "Unsupported operand type for *")) return nullptr;
  return with_units_of(self, x * self->magnitude);
}

/// self / other, with the same operand kinds as multiplication.
PyObject* divide_forward(PyQuantity* self, PyObject* other) {
  double x;
  if (is_float_or_int(other)) {
    if (!number_value(other, x)) return nullptr;
  } else if (is_quantity(other)) {
    const PyQuantity* o = as_quantity(other);
    if (o->magnitude == 0.0) return division_by_zero();
    return with_product(self, self->magnitude / o->magnitude, o->units, -1.0);
  } else if (is_unit(other)) {
    return with_product(self, self->magnitude, as_unit(other)->units, -1.0);
  } else if (!plain_operand(other, x, "Unsupported operand type for /")) {
    return nullptr;
  }
  if (x == 0.0) return division_by_zero();
  return with_units_of(self, self->magnitude / x);
}

// The reflected forms of /, // and % test self's magnitude before they look
// at the other operand, so "abc" / zero_quantity is a ZeroDivisionError.

/// x / self: self's units inverted.
PyObject* divide_reflected(PyQuantity* self, PyObject* other) {
  if (self->magnitude == 0.0) return division_by_zero();
  double x;
  if (!plain_operand(other, x, "Unsupported operand type for /")) return nullptr;
  return with_units(self, x / self->magnitude, self->units.pow(-1.0));
}

/// self // other: a quantity or a plain number (a Unit is unsupported).
PyObject* floor_divide_forward(PyQuantity* self, PyObject* other) {
  if (is_quantity(other)) {
    const PyQuantity* o = as_quantity(other);
    if (o->magnitude == 0.0) return division_by_zero();
    return with_product(self, std::floor(self->magnitude / o->magnitude), o->units, -1.0);
  }
  double x;
  if (!plain_operand(other, x, "Unsupported operand type for //")) return nullptr;
  if (x == 0.0) return division_by_zero();
  return with_units_of(self, std::floor(self->magnitude / x));
}

/// x // self: self's units inverted.
PyObject* floor_divide_reflected(PyQuantity* self, PyObject* other) {
  if (self->magnitude == 0.0) return division_by_zero();
  double x;
  if (!plain_operand(other, x, "Unsupported operand type for //")) return nullptr;
  return with_units(self, std::floor(x / self->magnitude), self->units.pow(-1.0));
}

// Remainder is C's fmod (the sign of the dividend), not Python's float %.

/// self % other, in self's units.
PyObject* remainder_forward(PyQuantity* self, PyObject* other) {
  double divisor;
  if (is_quantity(other)) {
    if (as_quantity(other)->magnitude == 0.0) return modulo_by_zero();
    if (!magnitude_in_self_units(self, as_quantity(other), divisor)) return nullptr;
  } else {
    if (!plain_operand(other, divisor, "Unsupported operand type for %")) return nullptr;
    if (divisor == 0.0) return modulo_by_zero();
  }
  return with_units_of(self, std::fmod(self->magnitude, divisor));
}

/// x % self: self's units, not inverted.
PyObject* remainder_reflected(PyQuantity* self, PyObject* other) {
  if (self->magnitude == 0.0) return modulo_by_zero();
  double x;
  if (!plain_operand(other, x, "Unsupported operand type for %")) return nullptr;
  return with_units_of(self, std::fmod(x, self->magnitude));
}

using Form = PyObject* (*)(PyQuantity* self, PyObject* other);

/// A binary slot: the forward form when left is a Quantity (its outcome is
/// final), else the reflected form on right, else NotImplemented.
inline PyObject* dispatch(PyObject* left, PyObject* right, Form forward, Form reflected) {
  const bool is_forward = is_quantity(left);
  if (!is_forward && !is_quantity(right)) Py_RETURN_NOTIMPLEMENTED;
  PyQuantity* self = as_quantity(is_forward ? left : right);
  SharedBorrow b(self);
  if (!b.ok()) return nullptr;
  return is_forward ? forward(self, right) : reflected(self, left);
}

/// pow's modulus must be an unsigned 32-bit integer through the index
/// protocol (a float is refused); its value is never used.
bool is_u32(PyObject* mod) {
  PyObject* index = PyNumber_Index(mod);
  if (index == nullptr) return false;
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (v == -1 && PyErr_Occurred()) return false;
  return overflow == 0 && v >= 0 && v <= static_cast<long long>(UINT32_MAX);
}

/// The unary slots: a copy of self's units with op applied to the magnitude.
template <double (*op)(double)>
PyObject* unary(PyObject* self) {
  PyQuantity* q = as_quantity(self);
  SharedBorrow b(q);
  if (!b.ok()) return nullptr;
  return with_units_of(q, op(q->magnitude));
}

/// Sign flip (also of 0.0 and NaN) and absolute value, for unary().
double negated(double m) { return -m; }
double absolute(double m) { return std::fabs(m); }

}  // namespace

PyObject* quantity_add(PyObject* left, PyObject* right) {
  return dispatch(left, right, add_forward, add_forward);
}

PyObject* quantity_subtract(PyObject* left, PyObject* right) {
  return dispatch(left, right, subtract_forward, subtract_reflected);
}

PyObject* quantity_multiply(PyObject* left, PyObject* right) {
  return dispatch(left, right, multiply_forward, multiply_forward);
}

PyObject* quantity_true_divide(PyObject* left, PyObject* right) {
  return dispatch(left, right, divide_forward, divide_reflected);
}

PyObject* quantity_floor_divide(PyObject* left, PyObject* right) {
  return dispatch(left, right, floor_divide_forward, floor_divide_reflected);
}

PyObject* quantity_remainder(PyObject* left, PyObject* right) {
  return dispatch(left, right, remainder_forward, remainder_reflected);
}

PyObject* quantity_power(PyObject* base, PyObject* exp, PyObject* mod) {
  // No reflected form: 2 ** q is left to Python's own TypeError.
  if (!is_quantity(base)) Py_RETURN_NOTIMPLEMENTED;
  PyQuantity* self = as_quantity(base);
  SharedBorrow b(self);
  if (!b.ok()) return nullptr;
  double e;
  if (!number_value(exp, e) || (mod != Py_None && !is_u32(mod))) {
    if (!forgive_conversion_error()) return nullptr;
    Py_RETURN_NOTIMPLEMENTED;
  }
  return with_units(self, std::pow(self->magnitude, e), self->units.pow(e));
}

PyObject* quantity_negative(PyObject* self) { return unary<negated>(self); }

PyObject* quantity_absolute(PyObject* self) { return unary<absolute>(self); }

}  // namespace qudim::py
