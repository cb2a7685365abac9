// Quantity comparisons: tolerant equality that never fails on a foreign
// operand, exact ordering between quantities only, and compare(other, op).
// The other operand is brought into self's units by the multiplicative
// factor, computed in self's registry.
#include "lib/quantity.hpp"

#include <optional>     // std::optional
#include <string_view>  // std::string_view

#include "lib/args.hpp"               // bind_args, extract_str
#include "lib/entry.hpp"              // locked
#include "lib/errors_py.hpp"          // raise
#include "lib/objects.hpp"            // PyQuantity, SharedBorrow
#include "quantity/quantity_ops.hpp"  // nearly_equal, equals_*, magnitude_in, ordered

namespace qudim::py {

namespace {

static_assert(static_cast<int>(CompareOp::Lt) == Py_LT &&
              static_cast<int>(CompareOp::Le) == Py_LE &&
              static_cast<int>(CompareOp::Eq) == Py_EQ &&
              static_cast<int>(CompareOp::Ne) == Py_NE &&
              static_cast<int>(CompareOp::Gt) == Py_GT && static_cast<int>(CompareOp::Ge) == Py_GE);

/// False when o certainly fails the float protocol (no float or index
/// slot), so None, strings and other foreign operands compare unequal
/// without raising and clearing a TypeError.
bool may_be_number(PyObject* o) {
  if (PyFloat_Check(o)) return true;
  const PyNumberMethods* nb = Py_TYPE(o)->tp_as_number;
  return nb != nullptr && (nb->nb_float != nullptr || nb->nb_index != nullptr);
}

/// __eq__: 1, 0, or -1 with an exception set.
int equals(const PyQuantity* self, PyObject* other) {
  if (is_quantity(other)) {
    const PyQuantity* o = as_quantity(other);
    // Equal unit maps need no registry.
    if (self->units == o->units)
      return nearly_equal(self->magnitude, o->magnitude, self->magnitude);
    return locked(self->registry, [&](UnitRegistry& reg) {
      return equals_quantity(reg, self->magnitude, self->units, o->magnitude, o->units);
    });
  }
  if (!may_be_number(other)) return 0;
  double x;
  if (!number_value(other, x)) return forgive_conversion_error() ? 0 : -1;
  if (self->units.empty()) return nearly_equal(self->magnitude, x, x);
  Result<bool> eq = locked(self->registry, [&](UnitRegistry& reg) {
    return equals_number(reg, self->magnitude, self->units, x);
  });
  if (!eq) {
    raise(eq.error());
    return -1;
  }
  return *eq;
}

/// <, <=, >, >= between quantities, exact (no tolerance; NaN orders false).
int orders(const PyQuantity* self, PyObject* other, CompareOp op) {
  if (!is_quantity(other)) {
    PyErr_SetString(PyExc_TypeError, "Cannot compare Quantity with non-Quantity");
    return -1;
  }
  const PyQuantity* o = as_quantity(other);
  double b = o->magnitude;
  if (!(self->units == o->units)) {
    Result<double> r = locked(self->registry, [&](UnitRegistry& reg) {
      return magnitude_in(reg, self->units, o->magnitude, o->units);
    });
    if (!r) {
      raise(r.error());
      return -1;
    }
    b = *r;
  }
  return ordered(self->magnitude, b, op);
}

/// One comparison; != negates == and passes its errors through.
int evaluate(PyQuantity* self, PyObject* other, CompareOp op) {
  SharedBorrow b(self);
  if (!b.ok()) return -1;
  if (op == CompareOp::Eq || op == CompareOp::Ne) {
    const int eq = equals(self, other);
    return eq < 0 ? eq : (op == CompareOp::Eq ? eq : !eq);
  }
  return orders(self, other, op);
}

const char* const kCompareParams[] = {"other", "op"};
const Signature kCompareSig{"Quantity.compare()", kCompareParams, 2, 2};

}  // namespace

PyObject* quantity_richcompare(PyObject* self, PyObject* other, int op) {
  if (!is_quantity(self)) Py_RETURN_NOTIMPLEMENTED;
  const int r = evaluate(as_quantity(self), other, static_cast<CompareOp>(op));
  return r < 0 ? nullptr : PyBool_FromLong(r);
}

PyObject* quantity_compare(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
  PyObject* a[2];
  if (!bind_args(kCompareSig, args, nargs, kwnames, a)) return nullptr;
  std::string_view text;
  if (!extract_str(a[1], "op", text)) return nullptr;
  const std::optional<CompareOp> op = compare_op_named(text);
  if (!op) return PyErr_Format(PyExc_ValueError, "Unknown operator: %U", a[1]);
  const int r = evaluate(as_quantity(self), a[0], *op);
  return r < 0 ? nullptr : PyBool_FromLong(r);
}

}  // namespace qudim::py
