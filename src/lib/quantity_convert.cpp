// Quantity conversion methods: to named units, to base units, unprefixed,
// compact prefixes and preferred units, each also in place.
#include "lib/quantity.hpp"

#include <cmath>        // std::fabs, std::pow
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "lib/args.hpp"       // bind_args, extract_*
#include "lib/errors_py.hpp"  // raise
#include "lib/objects.hpp"    // PyQuantity, make_quantity, borrows

namespace qudim::py {

namespace {

/// A conversion's outcome, computed under the lock and turned into Python
/// objects only after it is released.
struct Converted {
  double magnitude;
  UnitsContainer units;
};

/// m in units u converted to the unit text; target is set to the parsed
/// text (the registry's memo entry or scratch, valid under the lock only).
Result<double> convert_to_text(UnitRegistry& reg, double m, const UnitsContainer& u,
                               std::string_view text, UnitsContainer& scratch,
                               const UnitsContainer*& target) {
  Result<const UnitsContainer*> parsed = reg.parse_unit_expr_ref(text, scratch);
  if (!parsed) return parsed.take_error();
  target = *parsed;
  return reg.convert(m, u, *target);
}

Result<Converted> to_units(UnitRegistry& reg, double m, const UnitsContainer& u, std::string_view text) {
  UnitsContainer scratch;
  const UnitsContainer* target = nullptr;
  Result<double> value = convert_to_text(reg, m, u, text, scratch, target);
  if (!value) return value.take_error();
  return Converted{*value, *target};
}

/// Only the multiplicative factor applies: an offset unit's zero point plays
/// no part here (unlike `to`, which goes through convert).
Result<Converted> to_base(UnitRegistry& reg, double m, const UnitsContainer& u) {
  auto roots = reg.get_root_units(u);
  if (!roots) return roots.take_error();
  return Converted{roots->first * m, std::move(roots->second)};
}

Result<Converted> to_unprefixed(UnitRegistry& reg, double m, const UnitsContainer& u) {
  double total = 1.0;
  UnitsContainer result;
  for (const UnitsContainer::Entry& e : u) {
    auto roots = reg.get_root_units(UnitsContainer::single(e.name, 1.0));
    if (!roots) return roots.take_error();
    result = result * roots->second.pow(e.exponent);
    total *= std::pow(roots->first, e.exponent);
  }
  return Converted{m * total, std::move(result)};
}

struct CompactPrefix {
  const char* name;
  double factor;
};

// Built in on purpose: the choice of prefix must not depend on which
// prefixes a registry happens to define. There is no entry for factor 1.
constexpr CompactPrefix kCompactPrefixes[] = {
    {"quecto", 1e-30}, {"ronto", 1e-27}, {"yocto", 1e-24}, {"zepto", 1e-21}, {"atto", 1e-18},
    {"femto", 1e-15},  {"pico", 1e-12},  {"nano", 1e-9},   {"micro", 1e-6},  {"milli", 1e-3},
    {"centi", 1e-2},   {"deci", 1e-1},   {"deca", 1e1},    {"hecto", 1e2},   {"kilo", 1e3},
    {"mega", 1e6},     {"giga", 1e9},    {"tera", 1e12},   {"peta", 1e15},   {"exa", 1e18},
    {"zetta", 1e21},   {"yotta", 1e24},  {"ronna", 1e27},  {"quetta", 1e30},
};

/// The prefix with the largest factor that leaves 1 <= |value| / factor < 1000.
const CompactPrefix* best_prefix(double value) {
  const CompactPrefix* best = nullptr;
  for (const CompactPrefix& p : kCompactPrefixes) {
    const double r = std::fabs(value) / p.factor;  // NaN fails both tests
    if (r >= 1.0 && r < 1000.0 && (best == nullptr || p.factor > best->factor)) best = &p;
  }
  return best;
}

Result<Converted> to_compact(UnitRegistry& reg, double m, const UnitsContainer& u,
                             std::optional<std::string_view> unit) {
  Converted c{m, u};
  if (unit) {
    Result<Converted> target = to_units(reg, m, u, *unit);
    if (!target) return target.take_error();
    c = std::move(*target);
  }
  if (c.units.size() != 1) return c;
  const UnitsContainer::Entry& entry = c.units[0];
  if (std::fabs(entry.exponent - 1.0) > EPSILON || c.magnitude == 0.0) return c;

  // A key that resolves only by prefix stripping (km, kilometer) is first
  // taken back to its unit, so 5000 km becomes 5 megameter rather than the
  // unusable "kilokilometer".
  double value = c.magnitude;
  std::string name = entry.name;
  if (reg.lookup_spelling(name) == nullptr) {
    if (std::optional<PrefixMatch> match = reg.try_strip_prefix(name)) {
      value *= match->factor;
      name = std::move(match->canonical);
    }
  }
  // Without a fitting prefix the quantity stays as it was, prefix included.
  const CompactPrefix* prefix = best_prefix(value);
  if (prefix == nullptr) return c;
  return Converted{value / prefix->factor, UnitsContainer::single(prefix->name + name, 1.0)};
}

Result<Converted> to_preferred(UnitRegistry& reg, double m, const UnitsContainer& u,
                               const std::vector<std::string>& texts) {
  if (texts.empty()) return to_base(reg, m, u);
  Result<UnitsContainer> own = reg.get_dimensionality(u);
  if (!own) return own.take_error();
  for (const std::string& text : texts) {
    Result<UnitsContainer> candidate = reg.parse_unit_expr(text);
    if (!candidate) return candidate.take_error();
    Result<UnitsContainer> dims = reg.get_dimensionality(*candidate);
    if (!dims) return dims.take_error();
    if (*dims == *own) {
      Result<double> value = reg.convert(m, u, *candidate);
      if (!value) return value.take_error();
      return Converted{*value, std::move(*candidate)};
    }
  }
  return to_base(reg, m, u);
}

/// Runs op on q's record under its registry lock, then makes the result.
/// The caller holds the borrow.
template <class Op>
PyObject* new_quantity(PyQuantity* q, Op op) {
  RegistryLock lock(q->registry);
  Result<Converted> r = op(lock.registry(), q->magnitude, q->units);
  lock.unlock();
  if (!r) return raise(r.error());
  return make_quantity(r->magnitude, std::move(r->units), q->registry);
}

/// Runs op under the lock and stores its result into q only if it succeeded,
/// so a failing in-place conversion leaves q as it was. The caller holds the
/// exclusive borrow.
template <class Op>
PyObject* in_place(PyQuantity* q, Op op) {
  RegistryLock lock(q->registry);
  Result<Converted> r = op(lock.registry(), q->magnitude, q->units);
  lock.unlock();
  if (!r) return raise(r.error());
  q->magnitude = r->magnitude;
  q->units = std::move(r->units);
  Py_RETURN_NONE;
}

/// preferred_units: None (nullopt vector -> empty) or a sequence of str,
/// copied out before the lock is taken, since iterating runs Python code.
bool extract_preferred(PyObject* obj, std::vector<std::string>& out) {
  static const char* const name = "preferred_units";
  if (obj == nullptr || obj == Py_None) return true;
  if (PyUnicode_Check(obj)) {
    PyErr_SetString(PyExc_TypeError, "argument 'preferred_units': Can't extract `str` to `Vec`");
    return false;
  }
  if (!PySequence_Check(obj)) return conversion_error(name, obj, "Sequence");
  PyObject* iter = PyObject_GetIter(obj);
  if (iter == nullptr) return argument_error(name);
  PyObject* item;
  while ((item = PyIter_Next(iter)) != nullptr) {
    if (!PyUnicode_Check(item)) {
      Py_DECREF(item);
      Py_DECREF(iter);
      PyErr_SetString(PyExc_TypeError, "argument 'preferred_units': Can't extract `str` to `Vec`");
      return false;
    }
    Py_ssize_t len = 0;
    const char* data = PyUnicode_AsUTF8AndSize(item, &len);
    if (data != nullptr) out.emplace_back(data, static_cast<std::size_t>(len));
    Py_DECREF(item);
    if (data == nullptr) {
      Py_DECREF(iter);
      return false;
    }
  }
  Py_DECREF(iter);
  return !PyErr_Occurred() || argument_error(name);
}


#define BORROW(kind, q)  \
  kind borrow(q);        \
  if (!borrow.ok()) return nullptr

const char* const no_names[] = {nullptr};

const char* const to_names[] = {"units"};
const Signature to_sig{"Quantity.to()", to_names, 1, 1};
const Signature ito_sig{"Quantity.ito()", to_names, 1, 1};
const Signature m_as_sig{"Quantity.m_as()", to_names, 1, 1};

const Signature base_sig{"Quantity.to_base_units()", no_names, 0, 0};
const Signature ibase_sig{"Quantity.ito_base_units()", no_names, 0, 0};
const Signature unprefixed_sig{"Quantity.to_unprefixed()", no_names, 0, 0};
const Signature iunprefixed_sig{"Quantity.ito_unprefixed()", no_names, 0, 0};

const char* const compact_names[] = {"unit"};
const Signature compact_sig{"Quantity.to_compact()", compact_names, 1, 0};

const char* const preferred_names[] = {"preferred_units"};
const Signature preferred_sig{"Quantity.to_preferred()", preferred_names, 1, 0};
const Signature ipreferred_sig{"Quantity.ito_preferred()", preferred_names, 1, 0};

}  // namespace

QUDIM_FASTCALL(quantity_to) {
  try {
    QUDIM_BIND(to_sig, a, 1);
    std::string_view units;
    if (!extract_str(a[0], "units", units)) return nullptr;
    PyQuantity* q = as_quantity(self);
    BORROW(SharedBorrow, q);
    // The result is made first, so the target units go from the memo
    // straight into it under the lock.
    PendingQuantity result(0.0, q->registry);
    if (!result.ok()) return nullptr;
    RegistryLock lock(q->registry);
    UnitsContainer scratch;
    const UnitsContainer* target = nullptr;
    Result<double> value = convert_to_text(lock.registry(), q->magnitude, q->units, units, scratch, target);
    if (!value) return lock.unlock(), raise(value.error());
    result.set_units(*target);
    lock.unlock();
    result->magnitude = *value;
    return result.take();
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_ito) {
  try {
    PyQuantity* q = as_quantity(self);
    BORROW(ExclusiveBorrow, q);
    QUDIM_BIND(ito_sig, a, 1);
    std::string_view units;
    if (!extract_str(a[0], "units", units)) return nullptr;
    return in_place(q, [&](UnitRegistry& r, double m, const UnitsContainer& u) {
      return to_units(r, m, u, units);
    });
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_m_as) {
  try {
    QUDIM_BIND(m_as_sig, a, 1);
    std::string_view units;
    if (!extract_str(a[0], "units", units)) return nullptr;
    PyQuantity* q = as_quantity(self);
    BORROW(SharedBorrow, q);
    RegistryLock lock(q->registry);
    UnitsContainer scratch;
    const UnitsContainer* target = nullptr;
    Result<double> value = convert_to_text(lock.registry(), q->magnitude, q->units, units, scratch, target);
    lock.unlock();
    if (!value) return raise(value.error());
    return PyFloat_FromDouble(*value);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_to_base_units) {
  try {
    QUDIM_BIND_NONE(base_sig);
    PyQuantity* q = as_quantity(self);
    BORROW(SharedBorrow, q);
    return new_quantity(q, to_base);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_ito_base_units) {
  try {
    PyQuantity* q = as_quantity(self);
    BORROW(ExclusiveBorrow, q);
    QUDIM_BIND_NONE(ibase_sig);
    return in_place(q, to_base);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_to_unprefixed) {
  try {
    QUDIM_BIND_NONE(unprefixed_sig);
    PyQuantity* q = as_quantity(self);
    BORROW(SharedBorrow, q);
    return new_quantity(q, to_unprefixed);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_ito_unprefixed) {
  try {
    PyQuantity* q = as_quantity(self);
    BORROW(ExclusiveBorrow, q);
    QUDIM_BIND_NONE(iunprefixed_sig);
    return in_place(q, to_unprefixed);
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_to_compact) {
  try {
    QUDIM_BIND(compact_sig, a, 1);
    std::optional<std::string_view> unit;
    if (!extract_optional_str(a[0], "unit", unit)) return nullptr;
    PyQuantity* q = as_quantity(self);
    BORROW(SharedBorrow, q);
    return new_quantity(q, [&](UnitRegistry& r, double m, const UnitsContainer& u) {
      return to_compact(r, m, u, unit);
    });
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_to_preferred) {
  try {
    QUDIM_BIND(preferred_sig, a, 1);
    std::vector<std::string> texts;
    if (!extract_preferred(a[0], texts)) return nullptr;
    PyQuantity* q = as_quantity(self);
    BORROW(SharedBorrow, q);
    return new_quantity(q, [&](UnitRegistry& r, double m, const UnitsContainer& u) {
      return to_preferred(r, m, u, texts);
    });
  } catch (...) {
    return raise_from_current_exception();
  }
}

QUDIM_FASTCALL(quantity_ito_preferred) {
  try {
    PyQuantity* q = as_quantity(self);
    BORROW(ExclusiveBorrow, q);
    QUDIM_BIND(ipreferred_sig, a, 1);
    std::vector<std::string> texts;
    if (!extract_preferred(a[0], texts)) return nullptr;
    return in_place(q, [&](UnitRegistry& r, double m, const UnitsContainer& u) {
      return to_preferred(r, m, u, texts);
    });
  } catch (...) {
    return raise_from_current_exception();
  }
}

}  // namespace qudim::py
