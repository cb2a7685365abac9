// The records behind the three Python classes, their types, and the shared
// operations that make and take apart binding objects.
#pragma once

#include "lib/py.hpp"

#include <cstdint>      // int32_t
#include <optional>     // std::optional
#include <string_view>  // std::string_view
#include <utility>      // std::move, std::exchange

#include "lib/handle.hpp"       // RegistryHandle
#include "units_container.hpp"  // UnitsContainer

namespace qudim::py {

/// Per-object access tracking: > 0 shared readers, -1 one exclusive writer.
/// Conflicts arise only when Python code run from inside a member calls back
/// into the same object.
using BorrowFlag = std::int32_t;

struct PyUnitRegistry {
  PyObject_HEAD RegistryHandle registry;
  PyObject* init_kwargs;  // dict or nullptr
};

struct PyQuantity {
  PyObject_HEAD double magnitude;
  UnitsContainer units;
  RegistryHandle registry;
  PyObject* dimensionality_cache;  // str; nullptr while empty
  BorrowFlag borrow;
  std::uint32_t cache_generation;  // the registry generation the cache was made in
};

struct PyUnit {
  PyObject_HEAD UnitsContainer units;
  RegistryHandle registry;
};

/// The three heap types (created by the module's initialisation).
extern PyTypeObject* RegistryType;
extern PyTypeObject* QuantityType;
extern PyTypeObject* UnitType;

/// Type creation, each called once from module initialisation.
PyTypeObject* create_registry_type();
PyTypeObject* create_quantity_type();
PyTypeObject* create_unit_type();

inline bool is_quantity(PyObject* o) { return Py_TYPE(o) == QuantityType; }
inline bool is_unit(PyObject* o) { return Py_TYPE(o) == UnitType; }
inline PyQuantity* as_quantity(PyObject* o) { return reinterpret_cast<PyQuantity*>(o); }
inline PyUnit* as_unit(PyObject* o) { return reinterpret_cast<PyUnit*>(o); }
inline PyUnitRegistry* as_registry(PyObject* o) { return reinterpret_cast<PyUnitRegistry*>(o); }

/// A new UnitRegistry object around handle; kwargs (may be nullptr) is kept.
PyObject* make_registry(RegistryHandle handle, PyObject* kwargs);
/// A new Quantity with an empty dimensionality cache. The units are copied
/// or moved straight into the object (once: this is on every hot path).
PyObject* make_quantity(double magnitude, const UnitsContainer& units,
                        const RegistryHandle& handle);
PyObject* make_quantity(double magnitude, UnitsContainer&& units, const RegistryHandle& handle);
/// A new Quantity carrying cache (a str or nullptr) over, as copies do.
PyObject* make_quantity_with_cache(double magnitude, const UnitsContainer& units,
                                   const RegistryHandle& handle, PyObject* cache,
                                   std::uint32_t cache_generation);
PyObject* make_quantity_with_cache(double magnitude, UnitsContainer&& units,
                                   const RegistryHandle& handle, PyObject* cache,
                                   std::uint32_t cache_generation);
/// A new Unit, its units copied or moved straight into the object.
PyObject* make_unit(const UnitsContainer& units, const RegistryHandle& handle);
PyObject* make_unit(UnitsContainer&& units, const RegistryHandle& handle);

/// Memory for a Quantity object (initialised as a new reference, members
/// not yet constructed), reused from released ones when there are some.
PyQuantity* alloc_quantity();
/// Takes back the memory of a Quantity whose members are destroyed.
void free_quantity(PyQuantity* q);

/// A Quantity with empty units, made before the registry lock is taken and
/// completed under it: a memoised unit map is copied straight into the
/// object, once, instead of out of the memo and then into the object.
/// Python never sees the object before take(); otherwise it is released.
class PendingQuantity {
 public:
  /// Check ok() afterwards (false with MemoryError set).
  PendingQuantity(double magnitude, const RegistryHandle& handle);
  PendingQuantity(const PendingQuantity&) = delete;
  PendingQuantity& operator=(const PendingQuantity&) = delete;
  ~PendingQuantity() { Py_XDECREF(reinterpret_cast<PyObject*>(q_)); }
  bool ok() const { return q_ != nullptr; }
  PyQuantity* operator->() const { return q_; }
  /// Copies units into the (still empty) object's unit map.
  void set_units(const UnitsContainer& units);
  /// The finished object, handed over as a new reference.
  PyObject* take() { return reinterpret_cast<PyObject*>(std::exchange(q_, nullptr)); }

 private:
  PyQuantity* q_;
};

/// A new Quantity of magnitude in units parsed from text in handle's registry
/// (one lock); nullptr with the parse error raised.
PyObject* quantity_of_text(double magnitude, std::string_view text, const RegistryHandle& handle);

/// A copy of a Quantity argument's record.
struct QuantityCopy {
  double magnitude;
  UnitsContainer units;
  RegistryHandle registry;
  PyObject* dimensionality_cache;  // new reference or nullptr
  std::uint32_t cache_generation;

  QuantityCopy(double m, UnitsContainer u, RegistryHandle r, PyObject* c, std::uint32_t g)
      : magnitude(m),
        units(std::move(u)),
        registry(std::move(r)),
        dimensionality_cache(c),
        cache_generation(g) {}
  QuantityCopy(const QuantityCopy&) = delete;
  QuantityCopy& operator=(const QuantityCopy&) = delete;
  ~QuantityCopy() { Py_XDECREF(dimensionality_cache); }
};

/// Copies obj's record if it is a Quantity; otherwise false with the TypeError
/// "'{type}' object cannot be converted to 'Quantity'".
bool extract_quantity(PyObject* obj, std::optional<QuantityCopy>& out);

/// RAII access to a quantity's record for one member: shared for readers,
/// exclusive for the in-place methods. Check ok() after construction: false
/// with RuntimeError "Already mutably borrowed" (shared access wanted while
/// exclusive access is held) or "Already borrowed" (exclusive access wanted
/// while any is held).
template <bool Exclusive>
class Borrow {
 public:
  explicit Borrow(PyQuantity* q) : q_(q) {
    if (Exclusive ? q->borrow != 0 : q->borrow < 0) {
      PyErr_SetString(PyExc_RuntimeError,
                      Exclusive ? "Already borrowed" : "Already mutably borrowed");
      q_ = nullptr;
    } else {
      q->borrow = Exclusive ? -1 : q->borrow + 1;
    }
  }
  Borrow(const Borrow&) = delete;
  Borrow& operator=(const Borrow&) = delete;
  ~Borrow() {
    if (q_ != nullptr) q_->borrow = Exclusive ? 0 : q_->borrow - 1;
  }
  bool ok() const { return q_ != nullptr; }

 private:
  PyQuantity* q_;
};
using SharedBorrow = Borrow<false>;
using ExclusiveBorrow = Borrow<true>;

}  // namespace qudim::py
