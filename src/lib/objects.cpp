// Making binding objects, copying quantity arguments, access tracking.
#include "lib/objects.hpp"

#include <new>  // placement new

#include "lib/args.hpp"       // short_type_name
#include "lib/entry.hpp"      // locked
#include "lib/errors_py.hpp"  // raise

namespace qudim::py {

PyTypeObject* RegistryType = nullptr;
PyTypeObject* QuantityType = nullptr;
PyTypeObject* UnitType = nullptr;

PyObject* make_registry(RegistryHandle handle, PyObject* kwargs) {
  PyUnitRegistry* r = PyObject_GC_New(PyUnitRegistry, RegistryType);
  if (r == nullptr) return nullptr;
  new (&r->registry) RegistryHandle(std::move(handle));
  r->init_kwargs = Py_XNewRef(kwargs);
  PyObject_GC_Track(r);
  return reinterpret_cast<PyObject*>(r);
}

namespace {

// Released Quantity objects kept for reuse: arithmetic mostly makes and
// drops quantities, and the object allocator is a good share of that cost.
// Under AddressSanitizer each one goes back, so a use after release shows.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kRecycleQuantities = false;
#else
constexpr bool kRecycleQuantities = true;
#endif
constexpr int kFreeQuantitiesMax = 256;
PyQuantity* free_quantities[kFreeQuantitiesMax];
int free_quantity_count = 0;

}  // namespace

PyQuantity* alloc_quantity() {
  if (!kRecycleQuantities || free_quantity_count == 0)
    return PyObject_New(PyQuantity, QuantityType);
  PyQuantity* q = free_quantities[--free_quantity_count];
  PyObject_Init(reinterpret_cast<PyObject*>(q), QuantityType);
  return q;
}

void free_quantity(PyQuantity* q) {
  if (kRecycleQuantities && free_quantity_count < kFreeQuantitiesMax) {
    free_quantities[free_quantity_count++] = q;
  } else {
    PyObject_Free(q);
  }
}

namespace {

/// A new Quantity object with every member but the units set; the caller
/// constructs those next (also when it fails, before releasing the object).
PyQuantity* start_quantity(double magnitude, const RegistryHandle& handle,
                           std::uint32_t cache_generation) {
  PyQuantity* q = alloc_quantity();
  if (q == nullptr) return nullptr;
  q->magnitude = magnitude;
  new (&q->registry) RegistryHandle(handle);
  q->dimensionality_cache = nullptr;
  q->borrow = 0;
  q->cache_generation = cache_generation;
  return q;
}

/// Guards the in-place construction of obj's unit map: should it throw, the
/// map is made empty (an object must be whole to be freed) and, if owned,
/// obj is released before the exception goes on.
template <class Obj>
struct UnitsUnderConstruction {
  Obj* obj;
  bool owned;
  ~UnitsUnderConstruction() {
    if (obj == nullptr) return;
    new (&obj->units) UnitsContainer();
    if (owned) Py_DECREF(obj);
  }
};

/// Builds a Quantity with units constructed in place from units (copied or
/// moved).
template <class Units>
PyObject* new_quantity(double magnitude, Units&& units, const RegistryHandle& handle,
                       PyObject* cache, std::uint32_t cache_generation) {
  PyQuantity* q = start_quantity(magnitude, handle, cache_generation);
  if (q == nullptr) return nullptr;
  UnitsUnderConstruction<PyQuantity> guard{q, true};
  new (&q->units) UnitsContainer(std::forward<Units>(units));
  guard.obj = nullptr;
  q->dimensionality_cache = Py_XNewRef(cache);
  return reinterpret_cast<PyObject*>(q);
}

}  // namespace

PyObject* make_quantity_with_cache(double magnitude, const UnitsContainer& units,
                                   const RegistryHandle& handle, PyObject* cache,
                                   std::uint32_t cache_generation) {
  return new_quantity(magnitude, units, handle, cache, cache_generation);
}

PyObject* make_quantity_with_cache(double magnitude, UnitsContainer&& units,
                                   const RegistryHandle& handle, PyObject* cache,
                                   std::uint32_t cache_generation) {
  return new_quantity(magnitude, std::move(units), handle, cache, cache_generation);
}

PyObject* make_quantity(double magnitude, const UnitsContainer& units,
                        const RegistryHandle& handle) {
  return new_quantity(magnitude, units, handle, nullptr, 0);
}

PyObject* make_quantity(double magnitude, UnitsContainer&& units, const RegistryHandle& handle) {
  return new_quantity(magnitude, std::move(units), handle, nullptr, 0);
}

namespace {

/// Builds a Unit with units constructed in place (copied or moved).
template <class Units>
PyObject* new_unit(Units&& units, const RegistryHandle& handle) {
  PyUnit* u = PyObject_New(PyUnit, UnitType);
  if (u == nullptr) return nullptr;
  new (&u->registry) RegistryHandle(handle);
  UnitsUnderConstruction<PyUnit> guard{u, true};
  new (&u->units) UnitsContainer(std::forward<Units>(units));
  guard.obj = nullptr;
  return reinterpret_cast<PyObject*>(u);
}

}  // namespace

PyObject* make_unit(const UnitsContainer& units, const RegistryHandle& handle) {
  return new_unit(units, handle);
}

PyObject* make_unit(UnitsContainer&& units, const RegistryHandle& handle) {
  return new_unit(std::move(units), handle);
}

PendingQuantity::PendingQuantity(double magnitude, const RegistryHandle& handle)
    : q_(start_quantity(magnitude, handle, 0)) {
  // Default-initialised, not value-initialised: zeroing the inline room of
  // an empty map first costs more than the rest of the set-up.
  if (q_ != nullptr) new (&q_->units) UnitsContainer;
}

void PendingQuantity::set_units(const UnitsContainer& units) {
  // Built in place: a copy assignment would copy aside and then move.
  q_->units.~UnitsContainer();
  UnitsUnderConstruction<PyQuantity> guard{q_, false};
  new (&q_->units) UnitsContainer(units);
  guard.obj = nullptr;
}

PyObject* quantity_of_text(double magnitude, std::string_view text, const RegistryHandle& handle) {
  PendingQuantity q(magnitude, handle);
  if (!q.ok()) return nullptr;
  const Status parsed = locked(handle, [&](UnitRegistry& reg) -> Status {
    UnitsContainer scratch;
    Result<const UnitsContainer*> units = reg.parse_unit_expr_ref(text, scratch);
    if (!units) return units.take_error();
    q.set_units(**units);
    return {};
  });
  if (!parsed) return raise(parsed.error());
  return q.take();
}

bool extract_quantity(PyObject* obj, std::optional<QuantityCopy>& out) {
  if (!is_quantity(obj)) {
    PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to 'Quantity'",
                 short_type_name(obj));
    return false;
  }
  PyQuantity* q = as_quantity(obj);
  Py_XINCREF(q->dimensionality_cache);
  out.emplace(q->magnitude, q->units, q->registry, q->dimensionality_cache, q->cache_generation);
  return true;
}

}  // namespace qudim::py
