// Parse results shared by every registry that has nothing but the built-in
// layer: such registries parse any text alike, so one registry's work serves
// the next (constructors and unpickling make a fresh registry each time).
#pragma once

#include <array>        // std::array
#include <atomic>       // std::atomic
#include <cstddef>      // size_t
#include <mutex>        // std::mutex
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "units_container.hpp"  // UnitsContainer

namespace qudim {
struct RegistryTesting;
}  // namespace qudim

namespace qudim::detail {

/// Insert-only memo of text -> unit map, safe to share between threads.
/// Lookups take no lock: an entry is published once, complete, and neither
/// changes nor moves until the memo goes, so its address stays valid.
class SharedParseMemo {
 public:
  SharedParseMemo() = default;
  SharedParseMemo(const SharedParseMemo&) = delete;
  SharedParseMemo& operator=(const SharedParseMemo&) = delete;
  ~SharedParseMemo();

  /// The kept map of text, or nullptr.
  const UnitsContainer* find(std::string_view text) const noexcept;
  /// Keeps a copy of units under text (the first one kept wins) and returns
  /// the kept map; nullptr once the memo is full.
  const UnitsContainer* insert(std::string_view text, const UnitsContainer& units);
  /// At most this many texts are kept.
  static constexpr std::size_t kCapacity = 512;

 private:
  friend struct qudim::RegistryTesting;
  struct Entry {
    std::string text;
    UnitsContainer units;
  };
  // Open addressing at a load of at most one half.
  static constexpr std::size_t kSlots = 2 * kCapacity;

  std::array<std::atomic<const Entry*>, kSlots> slots_{};
  mutable std::mutex insert_mutex_;
  std::size_t size_ = 0;  // guarded by insert_mutex_
};

/// The memo of the process's built-in layer.
SharedParseMemo& builtin_parse_memo();

}  // namespace qudim::detail
