// The unit map's storage (small inline vector + optional hash index) and its
// algebra. Every algebraic operation drops an exponent that becomes exactly
// 0.0; removal shifts later entries up so insertion order is kept.
#include "units_container.hpp"

#include <algorithm>   // std::sort, std::stable_sort, std::max
#include <bit>         // std::bit_ceil
#include <cmath>       // std::fabs, std::floor, std::isnan
#include <cstring>     // std::memcpy
#include <functional>  // std::hash

#include "number_text.hpp"  // append_plain_decimal, append_saturated_int

namespace qudim {

namespace {

std::size_t name_hash(std::string_view name) noexcept {
  return std::hash<std::string_view>{}(name);
}

}  // namespace

UnitsContainer::UnitsContainer(const UnitsContainer& other) {
  grow(static_cast<std::uint32_t>(other.size()));
  for (const Entry& e : other) append(e.name, e.exponent);
}

UnitsContainer::UnitsContainer(UnitsContainer&& other) noexcept { take(other); }

void UnitsContainer::take(UnitsContainer& other) noexcept {
  if (other.is_inline()) {
    for (std::uint32_t i = 0; i < other.size_; ++i) {
      new (&data_[i]) Entry{std::move(other.data_[i].name), other.data_[i].exponent};
    }
    size_ = other.size_;
    other.destroy();
  } else {
    data_ = other.data_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    front_ = other.front_;
    index_ = other.index_;
    other.data_ = other.inline_data();
    other.size_ = 0;
    other.capacity_ = kInline;
    other.front_ = 0;
    other.index_ = nullptr;
  }
}

UnitsContainer& UnitsContainer::operator=(const UnitsContainer& other) {
  if (this != &other) {
    UnitsContainer copy(other);
    *this = std::move(copy);
  }
  return *this;
}

UnitsContainer& UnitsContainer::operator=(UnitsContainer&& other) noexcept {
  if (this != &other) {
    destroy();
    take(other);
  }
  return *this;
}

UnitsContainer::~UnitsContainer() { destroy(); }

void UnitsContainer::destroy() noexcept {
  for (std::uint32_t i = 0; i < size_; ++i) data_[i].~Entry();
  if (!is_inline()) ::operator delete(data_ - front_);
  delete[] index_;
  data_ = inline_data();
  size_ = 0;
  capacity_ = kInline;
  front_ = 0;
  index_ = nullptr;
}

UnitsContainer UnitsContainer::single(std::string_view name, double exponent) {
  UnitsContainer c;
  c.append(name, exponent);
  return c;
}

void UnitsContainer::grow(std::uint32_t n) {
  if (n <= capacity_) return;
  if (dead_count() != 0) compact();
  std::uint32_t cap = capacity_;
  while (cap < n) cap *= 2;
  Entry* fresh = static_cast<Entry*>(::operator new(sizeof(Entry) * cap));
  for (std::uint32_t i = 0; i < size_; ++i) {
    new (&fresh[i]) Entry{std::move(data_[i].name), data_[i].exponent};
    data_[i].~Entry();
  }
  if (!is_inline()) ::operator delete(data_ - front_);
  data_ = fresh;
  capacity_ = cap;
  front_ = 0;
  rebuild_index();
}

std::uint32_t UnitsContainer::index_slots() const noexcept {
  return std::bit_ceil(2 * (front_ + capacity_));
}

void UnitsContainer::rebuild_index() {
  delete[] index_;
  index_ = nullptr;
  if (front_ + capacity_ <= kIndexThreshold) return;
  // slots, then the dead count, then one dead mark per buffer position
  const std::uint32_t slots = index_slots();
  index_ = new std::uint32_t[slots + 1 + (front_ + capacity_) / 32 + 1]();
  for (std::uint32_t i = 0; i < size_; ++i) index_insert(i);
}

void UnitsContainer::index_insert(std::uint32_t i) {
  const std::size_t mask = index_slots() - 1;
  std::size_t slot = name_hash(data_[i].name) & mask;
  while (index_[slot] != 0) slot = (slot + 1) & mask;
  index_[slot] = front_ + i + 1;
}

std::ptrdiff_t UnitsContainer::index_of(std::string_view name) const noexcept {
  if (index_ == nullptr) {
    for (std::uint32_t i = 0; i < size_; ++i) {
      if (data_[i].name == name) return i;
    }
    return -1;
  }
  // Slots of dead entries hold kDeletedSlot; the probe goes on past them.
  const std::size_t mask = index_slots() - 1;
  for (std::size_t slot = name_hash(name) & mask; index_[slot] != 0; slot = (slot + 1) & mask) {
    if (index_[slot] == kDeletedSlot) continue;
    const std::uint32_t i = index_[slot] - 1 - front_;
    if (data_[i].name == name) return i;
  }
  return -1;
}

void UnitsContainer::compact() noexcept {
  std::uint32_t w = 0;
  for (std::uint32_t r = 0; r < size_; ++r) {
    if (is_dead(r)) continue;
    if (w != r) {
      data_[w].name = std::move(data_[r].name);
      data_[w].exponent = data_[r].exponent;
    }
    ++w;
  }
  for (std::uint32_t k = w; k < size_; ++k) data_[k].~Entry();
  size_ = w;
  // An allocation failure here ends the process, like memory exhaustion
  // anywhere in the container's algebra.
  rebuild_index();
}

const double* UnitsContainer::find(std::string_view name) const noexcept {
  const std::ptrdiff_t i = index_of(name);
  return i < 0 ? nullptr : &data_[i].exponent;
}

void UnitsContainer::append(std::string_view name, double exponent) {
  if (size_ == capacity_ && dead_count() != 0) compact();
  grow(size_ + 1);
  new (&data_[size_]) Entry{std::string(name), exponent};
  ++size_;
  if (index_ != nullptr) index_insert(size_ - 1);
}

void UnitsContainer::prepend(std::string_view name, double exponent) {
  if (index_ == nullptr) {
    // Small map: shift everything up by one.
    if (size_ == capacity_ && dead_count() != 0) compact();
    grow(size_ + 1);
    new (&data_[size_]) Entry{std::string(), 0.0};
    for (std::uint32_t k = size_; k > 0; --k) {
      data_[k].name = std::move(data_[k - 1].name);
      data_[k].exponent = data_[k - 1].exponent;
    }
    data_[0].name.assign(name);
    data_[0].exponent = exponent;
    ++size_;
    if (index_ != nullptr) rebuild_index();
    return;
  }
  if (front_ == 0) {
    // Make room in front, as much as the map holds, so that a run of front
    // insertions costs amortised constant time.
    if (dead_count() != 0) compact();
    const std::uint32_t room = std::max<std::uint32_t>(size_, 8);
    Entry* fresh = static_cast<Entry*>(::operator new(sizeof(Entry) * (room + capacity_)));
    for (std::uint32_t i = 0; i < size_; ++i) {
      new (&fresh[room + i]) Entry{std::move(data_[i].name), data_[i].exponent};
      data_[i].~Entry();
    }
    ::operator delete(data_ - front_);
    data_ = fresh + room;
    front_ = room;
    rebuild_index();
  }
  // Buffer positions of the others do not change, so the index stays valid.
  --data_;
  --front_;
  ++capacity_;
  new (&data_[0]) Entry{std::string(name), exponent};
  ++size_;
  index_insert(0);
}

void UnitsContainer::merge_front(const UnitsContainer& front) {
  if (&front == this) {
    const UnitsContainer copy(front);
    merge_front(copy);
    return;
  }
  // front's names go first in front's order: each is put in front, last
  // first; a name this map also holds leaves its place for front's, with the
  // exponents summed (and dropped at exactly zero) as the product would.
  const Entry* entries = front.live_data();
  for (std::size_t k = front.size(); k-- > 0;) {
    const Entry& e = entries[k];
    const std::ptrdiff_t i = index_of(e.name);
    double exponent = e.exponent;
    if (i >= 0) {
      exponent = e.exponent + data_[i].exponent;
      remove_at(static_cast<std::uint32_t>(i));
      if (exponent == 0.0) continue;
    }
    prepend(e.name, exponent);
  }
}

void UnitsContainer::remove_at(std::uint32_t i) {
  if (index_ != nullptr) {
    // Large map: mark dead now, compact once dead entries outnumber live ones.
    const std::uint32_t slots = index_slots();
    const std::size_t mask = slots - 1;
    const std::uint32_t at = front_ + i;
    std::size_t slot = name_hash(data_[i].name) & mask;
    while (index_[slot] != at + 1) slot = (slot + 1) & mask;
    index_[slot] = kDeletedSlot;
    index_[slots + 1 + at / 32] |= 1u << (at % 32);
    const std::uint32_t dead = ++index_[slots];
    if (2 * dead > size_) compact();
    return;
  }
  for (std::uint32_t k = i; k + 1 < size_; ++k) {
    data_[k].name = std::move(data_[k + 1].name);
    data_[k].exponent = data_[k + 1].exponent;
  }
  data_[size_ - 1].~Entry();
  --size_;
}

void UnitsContainer::add_in_place(std::string_view name, double e) {
  const std::ptrdiff_t i = index_of(name);
  if (i < 0) {
    // 0.0 + e: only an exact zero sum is dropped, so -0.0 counts as zero too.
    if (e + 0.0 != 0.0) append(name, e + 0.0);
    return;
  }
  const double sum = data_[i].exponent + e;
  if (sum == 0.0) {
    remove_at(static_cast<std::uint32_t>(i));
  } else {
    data_[i].exponent = sum;
  }
}

void UnitsContainer::mul_in_place(const UnitsContainer& other, double power) {
  if (&other == this) {
    const UnitsContainer copy(other);
    mul_in_place(copy, power);
    return;
  }
  for (const Entry& e : other) add_in_place(e.name, power == 1.0 ? e.exponent : e.exponent * power);
}

UnitsContainer UnitsContainer::pow(double n) const {
  UnitsContainer out;
  out.grow(static_cast<std::uint32_t>(size()));
  for (const Entry& e : *this) {
    const double p = n * e.exponent;
    if (p != 0.0) out.append(e.name, p);
  }
  return out;
}

UnitsContainer UnitsContainer::operator*(const UnitsContainer& other) const {
  UnitsContainer copy(*this);
  copy.mul_in_place(other, 1.0);
  return copy;
}

UnitsContainer UnitsContainer::operator/(const UnitsContainer& other) const {
  UnitsContainer copy(*this);
  copy.mul_in_place(other, -1.0);
  return copy;
}

bool UnitsContainer::operator==(const UnitsContainer& other) const {
  const std::size_t n = size();
  if (n != other.size()) return false;
  const Entry* mine = live_data();
  const Entry* theirs = other.live_data();
  for (std::size_t i = 0; i < n; ++i) {
    // Same position first: containers built the same way line up.
    const double* e =
        (theirs[i].name == mine[i].name) ? &theirs[i].exponent : other.find(mine[i].name);
    if (e == nullptr || !(std::fabs(mine[i].exponent - *e) < EPSILON)) return false;
  }
  return true;
}

namespace {

std::vector<const UnitsContainer::Entry*> sorted_by_name(const UnitsContainer& c) {
  std::vector<const UnitsContainer::Entry*> v;
  v.reserve(c.size());
  for (const auto& e : c) v.push_back(&e);
  // Names are unique keys, so a plain sort is already total.
  std::sort(v.begin(), v.end(), [](auto* a, auto* b) { return a->name < b->name; });
  return v;
}

void append_term(std::string& out, const std::string& name, double exponent) {
  const double a = std::fabs(exponent);
  out += name;
  if (std::fabs(a - 1.0) < EPSILON) return;
  out += " ** ";
  if (a == std::floor(a)) {
    append_saturated_int(out, a);
  } else {
    append_plain_decimal(out, a);
  }
}

}  // namespace

std::string UnitsContainer::to_string() const {
  if (empty()) return "dimensionless";
  std::string num;
  std::string den;
  // Counted, not judged by the text: a term can be empty (an empty name).
  std::size_t num_terms = 0;
  std::size_t den_terms = 0;
  for (const Entry* e : sorted_by_name(*this)) {
    if (e->exponent > 0.0) {
      if (num_terms++ > 0) num += " * ";
      append_term(num, e->name, e->exponent);
    } else if (e->exponent < 0.0) {
      if (den_terms++ > 0) den += " * ";
      append_term(den, e->name, e->exponent);
    }
  }
  if (den_terms == 0) return num;
  if (num_terms == 0) return "1 / " + den;
  return num + " / " + den;
}

void UnitsContainer::append_hash_feed(std::string& out) const {
  for (const Entry* e : sorted_by_name(*this)) {
    out += e->name;
    out += static_cast<char>(0xFF);
    std::uint64_t bits;
    std::memcpy(&bits, &e->exponent, sizeof bits);
    for (int k = 0; k < 8; ++k) out += static_cast<char>((bits >> (8 * k)) & 0xFF);
  }
}

}  // namespace qudim
