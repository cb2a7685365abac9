// RegistryHandle: a counted shared reference to one core registry behind
// one mutex. Every binding object of a registry holds one.
#pragma once

#include <atomic>   // std::atomic
#include <cstdint>  // uint32_t
#include <mutex>    // std::mutex

#include "registry/registry.hpp"  // UnitRegistry

namespace qudim::py {

/// The shared core: the registry value, its lock and the reference count.
struct CoreRegistry {
  explicit CoreRegistry(UnitRegistry r) : registry(std::move(r)) {}
  std::atomic<long> refs{1};
  /// Bumped by every definition change; cached texts of an older generation
  /// are stale (a redefinition can change what a spelling means).
  std::atomic<std::uint32_t> generation{0};
  std::mutex mutex;
  UnitRegistry registry;
};

/// Counted reference to a CoreRegistry (one pointer wide, so quantities stay
/// small). Copying increments the count; the last handle frees the core.
class RegistryHandle {
 public:
  RegistryHandle() noexcept = default;
  /// A handle to a brand-new registry of the built-in definitions.
  static RegistryHandle fresh() {
    return RegistryHandle(new CoreRegistry(UnitRegistry::new_registry()));
  }

  RegistryHandle(const RegistryHandle& o) noexcept : core_(o.core_) { retain(); }
  RegistryHandle(RegistryHandle&& o) noexcept : core_(o.core_) { o.core_ = nullptr; }
  RegistryHandle& operator=(const RegistryHandle& o) noexcept {
    if (core_ != o.core_) {
      release();
      core_ = o.core_;
      retain();
    }
    return *this;
  }
  RegistryHandle& operator=(RegistryHandle&& o) noexcept {
    if (this != &o) {
      release();
      core_ = o.core_;
      o.core_ = nullptr;
    }
    return *this;
  }
  ~RegistryHandle() { release(); }

  CoreRegistry* get() const noexcept { return core_; }
  std::uint32_t generation() const noexcept {
    return core_->generation.load(std::memory_order_relaxed);
  }
  bool operator==(const RegistryHandle& o) const noexcept { return core_ == o.core_; }

 private:
  explicit RegistryHandle(CoreRegistry* c) noexcept : core_(c) {}
  void retain() noexcept {
    if (core_ != nullptr) core_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  void release() noexcept {
    if (core_ != nullptr && core_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete core_;
    core_ = nullptr;
  }
  CoreRegistry* core_ = nullptr;
};

}  // namespace qudim::py
