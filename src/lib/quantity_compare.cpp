// Quantity comparisons: tolerant equality that never fails on a foreign
// operand, exact ordering between quantities only, and compare(other, op).
// The other operand is brought into self's units by the multiplicative
// factor, computed in self's registry.
#include "lib/quantity.hpp"

#include <algorithm>    // std::max
#include <cmath>        // std::fabs, std::isnan
#include <string_view>  // std::string_view

#include "lib/args.hpp"       // bind_args, extract_str
#include "lib/errors_py.hpp"  // raise
#include "lib/objects.hpp"    // PyQuantity, SharedBorrow

namespace qudim::py {

namespace {

/// |a - b| strictly below max(|scale|, 1) epsilons. The floor of 1 makes the
/// tolerance absolute below 1; a NaN difference (NaN, or inf - inf) is never
/// close.
bool close(double a, double b, double scale) {
  const double s = std::isnan(scale) ? 1.0 : std::max(std::fabs(scale), 1.0);
  return std::fabs(a - b) < s * EPSILON;
}

/// False when o certainly fails the float protocol (no float or index
/// slot), so None, strings and other foreign operands compare unequal
/// without raising and clearing a TypeError.
bool may_be_number(PyObject* o) {
  if (PyFloat_Check(o)) return true;
  const PyNumberMethods* nb = Py_TYPE(o)->tp_as_number;
  return nb != nullptr && (nb->nb_float != nullptr || nb->nb_index != nullptr);
}

/// __eq__ against a plain number x: only a quantity without dimensions can
/// equal it, after scaling its magnitude to a pure number (50 percent == 0.5).
int equals_number(const PyQuantity* self, double x) {
  if (self->units.empty()) return close(self->magnitude, x, x);
  RegistryLock lock(self->registry);
  Result<UnitsContainer> dims = lock->get_dimensionality(self->units);
  if (!dims) {
    lock.unlock();
    raise(dims.error());
    return -1;
  }
  if (!dims->empty()) return 0;
  Result<double> factor = lock->get_conversion_factor(self->units, UnitsContainer());
  lock.unlock();
  if (!factor) {
    raise(factor.error());
    return -1;
  }
  return close(*factor * self->magnitude, x, x);
}

/// __eq__: 1, 0, or -1 with an exception set. The tolerance is scaled by
/// self's magnitude against a quantity, by the number against a number.
int equals(const PyQuantity* self, PyObject* other) {
  if (is_quantity(other)) {
    const PyQuantity* o = as_quantity(other);
    if (self->units == o->units) return close(self->magnitude, o->magnitude, self->magnitude);
    RegistryLock lock(self->registry);
    Result<double> factor = lock->get_conversion_factor(o->units, self->units);
    lock.unlock();
    // Quantities that do not convert into each other are just unequal.
    return factor.ok() && close(self->magnitude, *factor * o->magnitude, self->magnitude);
  }
  if (!may_be_number(other)) return 0;
  double x;
  if (PyFloat_CheckExact(other)) {
    x = PyFloat_AS_DOUBLE(other);
  } else {
    x = PyLong_CheckExact(other) ? PyLong_AsDouble(other) : PyFloat_AsDouble(other);
    if (x == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();
      return 0;
    }
  }
  return equals_number(self, x);
}

/// <, <=, >, >= between quantities, exact (no tolerance; NaN orders false).
int orders(const PyQuantity* self, PyObject* other, int op) {
  if (!is_quantity(other)) {
    PyErr_SetString(PyExc_TypeError, "Cannot compare Quantity with non-Quantity");
    return -1;
  }
  const PyQuantity* o = as_quantity(other);
  double b = o->magnitude;
  if (!(self->units == o->units)) {
    RegistryLock lock(self->registry);
    Result<double> factor = lock->get_conversion_factor(o->units, self->units);
    lock.unlock();
    if (!factor) {
      raise(factor.error());
      return -1;
    }
    b = *factor * o->magnitude;
  }
  const double a = self->magnitude;
  switch (op) {
    case Py_LT: return a < b;
    case Py_LE: return a <= b;
    case Py_GT: return a > b;
    default: return a >= b;
  }
}

/// One comparison by its Py_LT..Py_GE code; != negates == and passes its
/// errors through.
int evaluate(PyQuantity* self, PyObject* other, int op) {
  SharedBorrow borrow(self);
  if (!borrow.ok()) return -1;
  if (op == Py_EQ || op == Py_NE) {
    const int eq = equals(self, other);
    return eq < 0 ? eq : (op == Py_EQ ? eq : !eq);
  }
  return orders(self, other, op);
}

/// The comparison code an operator text names, or -1.
int operator_code(std::string_view op) {
  struct Name {
    std::string_view word, symbol;
    int code;
  };
  static constexpr Name names[] = {
      {"eq", "==", Py_EQ}, {"ne", "!=", Py_NE}, {"lt", "<", Py_LT},
      {"le", "<=", Py_LE}, {"gt", ">", Py_GT},  {"ge", ">=", Py_GE},
  };
  for (const Name& n : names) {
    if (op == n.word || op == n.symbol) return n.code;
  }
  return -1;
}

const char* const kCompareParams[] = {"other", "op"};
const Signature kCompareSig{"Quantity.compare()", kCompareParams, 2, 2};

}  // namespace

PyObject* quantity_richcompare(PyObject* self, PyObject* other, int op) {
  try {
    if (!is_quantity(self)) Py_RETURN_NOTIMPLEMENTED;
    const int r = evaluate(as_quantity(self), other, op);
    return r < 0 ? nullptr : PyBool_FromLong(r);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_compare) {
  try {
    QUDIM_BIND(kCompareSig, a, 2);
    std::string_view text;
    if (!extract_str(a[1], "op", text)) return nullptr;
    const int code = operator_code(text);
    if (code < 0) return PyErr_Format(PyExc_ValueError, "Unknown operator: %U", a[1]);
    const int r = evaluate(as_quantity(self), a[0], code);
    return r < 0 ? nullptr : PyBool_FromLong(r);
  } catch (...) {
    return raise_from_current_exception();
  }
}

}  // namespace qudim::py
