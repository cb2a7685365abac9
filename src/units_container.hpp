// The unit map: insertion-ordered names (units or [dimensions]) to double
// exponents. Every other part of the system speaks in these.
#pragma once

#include <cstddef>      // size_t
#include <cstdint>      // uint32_t
#include <new>          // placement new
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::move

namespace qudim {

struct ContainerTesting;

/// Double-precision machine epsilon: the absolute tolerance used wherever
/// exponents or magnitudes are compared.
inline constexpr double EPSILON = 2.220446049250313e-16;

/// Insertion-ordered map of name -> exponent with value semantics.
///
/// Entries live in a small vector with inline room for a few entries, so
/// copying an ordinary unit map (one to three short names) never allocates.
/// Lookup is a linear scan while small; past a handful of entries an
/// open-addressing index of entry positions keeps it constant time.
class UnitsContainer {
 public:
  struct Entry {
    std::string name;
    double exponent;
  };

  UnitsContainer() noexcept = default;
  UnitsContainer(const UnitsContainer& other);
  UnitsContainer(UnitsContainer&& other) noexcept;
  UnitsContainer& operator=(const UnitsContainer& other);
  UnitsContainer& operator=(UnitsContainer&& other) noexcept;
  ~UnitsContainer();

  /// A container holding exactly {name: exponent} (even when exponent is 0).
  static UnitsContainer single(std::string_view name, double exponent);

  // --- value operations (return new containers) ---
  /// Every exponent multiplied by n; exact-zero products are dropped.
  [[nodiscard]] UnitsContainer pow(double n) const;
  [[nodiscard]] UnitsContainer operator*(const UnitsContainer& other) const;
  [[nodiscard]] UnitsContainer operator/(const UnitsContainer& other) const;
  /// Same names, exponents within EPSILON; order plays no part.
  bool operator==(const UnitsContainer& other) const;

  // --- in-place forms of the same algebra (for builders on hot paths) ---
  /// name's exponent increased by e; an exact 0.0 sum removes the name.
  void add_in_place(std::string_view name, double e);
  void mul_in_place(const UnitsContainer& other, double power = 1.0);
  /// this = front * this, with front's names first: the product of the
  /// two maps as `front * this` would give it (same order, same sums), in
  /// time proportional to front's size once this map is large.
  void merge_front(const UnitsContainer& front);

  // --- text and hashing ---
  /// "kilogram * meter ** 2 / second ** 2", "1 / second", "dimensionless".
  std::string to_string() const;
  /// Appends the order-independent hash feed: entries sorted by name, each
  /// as name bytes, 0xFF, 8 little-endian bytes of the exponent's bits.
  void append_hash_feed(std::string& out) const;

  // --- map access ---
  std::size_t size() const noexcept { return size_ - dead_count(); }
  bool empty() const noexcept { return size() == 0; }
  const Entry* begin() const noexcept { return live_data(); }
  const Entry* end() const noexcept { return live_data() + size_; }
  const Entry& operator[](std::size_t i) const noexcept { return live_data()[i]; }
  /// Pointer to the exponent of name, or nullptr.
  const double* find(std::string_view name) const noexcept;

 private:
  friend struct ContainerTesting;
  static constexpr std::uint32_t kInline = 2;
  static constexpr std::uint32_t kIndexThreshold = 8;
  static constexpr std::uint32_t kDeletedSlot = 0xFFFFFFFFu;

  Entry* inline_data() noexcept { return reinterpret_cast<Entry*>(inline_); }
  bool is_inline() const noexcept { return data_ == reinterpret_cast<const Entry*>(inline_); }
  // Large maps remove entries lazily: a removed entry stays in place, marked
  // dead, until the next read of the entries (or a growth) compacts them, so
  // cancelling many names one by one stays linear. The dead count and marks
  // live after the index slots in the index allocation.
  std::uint32_t dead_count() const noexcept {
    return index_ == nullptr ? 0 : index_[index_slots()];
  }
  bool is_dead(std::uint32_t i) const noexcept {
    const std::uint32_t at = i + front_;
    return (index_[index_slots() + 1 + at / 32] >> (at % 32)) & 1u;
  }
  /// Slots of the index table: a power of two, at least twice the buffer.
  std::uint32_t index_slots() const noexcept;
  /// The entries with dead ones compacted away (logically const: the
  /// visible content does not change).
  Entry* live_data() const noexcept {
    if (dead_count() != 0) const_cast<UnitsContainer*>(this)->compact();
    return data_;
  }
  void compact() noexcept;
  std::ptrdiff_t index_of(std::string_view name) const noexcept;
  void grow(std::uint32_t n);
  void append(std::string_view name, double exponent);
  /// Inserts a name that is not present before all others.
  void prepend(std::string_view name, double exponent);
  void remove_at(std::uint32_t i);
  void rebuild_index();
  void index_insert(std::uint32_t i);
  void destroy() noexcept;
  /// Moves other's entries into this (empty) container.
  void take(UnitsContainer& other) noexcept;

  Entry* data_ = inline_data();
  std::uint32_t size_ = 0;            // entries in data_, dead ones included
  std::uint32_t capacity_ = kInline;  // room from data_ on
  // Free room before data_ in a large map's buffer, so that inserting at the
  // front is cheap; the buffer starts at data_ - front_.
  std::uint32_t front_ = 0;
  // Open-addressing table of buffer positions (+1; 0 = free slot) with
  // index_slots() slots, then the dead count and the dead marks by buffer
  // position; present only in large maps.
  std::uint32_t* index_ = nullptr;
  alignas(Entry) unsigned char inline_[kInline * sizeof(Entry)];
};

}  // namespace qudim
