// The lock-free lookup and locked insertion of the shared parse memo.
#include "registry/shared_parse_memo.hpp"

#include <functional>  // std::hash

namespace qudim::detail {

namespace {

std::size_t first_slot(std::string_view text, std::size_t slots) noexcept {
  return std::hash<std::string_view>{}(text) & (slots - 1);
}

}  // namespace

SharedParseMemo::~SharedParseMemo() {
  for (std::atomic<const Entry*>& slot : slots_) delete slot.load(std::memory_order_relaxed);
}

const UnitsContainer* SharedParseMemo::find(std::string_view text) const noexcept {
  for (std::size_t i = first_slot(text, kSlots);; i = (i + 1) & (kSlots - 1)) {
    const Entry* e = slots_[i].load(std::memory_order_acquire);
    if (e == nullptr) return nullptr;
    if (e->text == text) return &e->units;
  }
}

const UnitsContainer* SharedParseMemo::insert(std::string_view text, const UnitsContainer& units) {
  const std::lock_guard<std::mutex> guard(insert_mutex_);
  std::size_t i = first_slot(text, kSlots);
  for (;; i = (i + 1) & (kSlots - 1)) {
    const Entry* e = slots_[i].load(std::memory_order_relaxed);
    if (e == nullptr) break;
    if (e->text == text) return &e->units;
  }
  if (size_ == kCapacity) return nullptr;
  // Built from a copy: a copy holds no removed entries awaiting compaction,
  // so readers under different registry locks never write to it.
  const Entry* e = new Entry{std::string(text), UnitsContainer(units)};
  slots_[i].store(e, std::memory_order_release);
  ++size_;
  return &e->units;
}

SharedParseMemo& builtin_parse_memo() {
  static SharedParseMemo memo;
  return memo;
}

}  // namespace qudim::detail
