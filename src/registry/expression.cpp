// Unit expressions ("km/h", "kg*m**2/s**2") parsed into maps of spellings to
// exponents, with a bounded memo of recent texts.
#include <utility>  // std::move

#include "registry/group_walker.hpp"   // walk_groups, fold_group
#include "registry/registry_impl.hpp"  // UnitRegistry::Impl
#include "text_util.hpp"               // trim

namespace qudim {

namespace {

/// The memo keeps at most this many texts; later texts are parsed each time.
constexpr std::size_t kParseMemoCapacity = 512;
/// Longer texts are not memoised: they are rare, and 512 of them could pin
/// a lot of memory.
constexpr std::size_t kParseMemoMaxKeyBytes = 1024;

/// What the operands of a unit expression mean: each unit word enters the
/// map under its spelling, and numbers carry no unit ("1/s", "1000 m").
struct ExpressionGrammar {
  using Acc = UnitsContainer;
  using Op = RelToken::OpCode;
  static constexpr bool kNumbersAreOperands = false;

  const UnitRegistry::Impl& impl;

  static bool is_empty(const UnitsContainer& group) noexcept { return group.empty(); }

  bool name(UnitsContainer& acc, std::string_view word, Op c, double, double power) const {
    // A registered spelling becomes its canonical name; a prefixed one
    // stays as written ("km"), the later stages resolve it.
    std::string_view key = word;
    if (const std::string* canonical = impl.find_spelling(word)) {
      key = *canonical;
    } else {
      double factor = 1.0;
      if (impl.strip_prefix(word, factor) == nullptr) return false;
    }
    if (c != Op::Pow) acc.add_in_place(key, power);
    return true;
  }

  static void fold(UnitsContainer& outer, UnitsContainer&& group, Op, double e) {
    detail::fold_group(outer, std::move(group), e);
  }
};

}  // namespace

Result<const UnitsContainer*> UnitRegistry::parse_unit_expr_ref(std::string_view text,
                                                                UnitsContainer& scratch) {
  static const UnitsContainer dimensionless{};
  const std::string_view trimmed = trim(text);
  if (trimmed.empty() || trimmed == "dimensionless") return &dimensionless;
  // Registries with nothing but the built-in layer all parse alike, so they
  // share one memo (its own then only takes what that one has no room for).
  detail::SharedParseMemo* shared = impl_->pristine() ? impl_->shared_parse_memo : nullptr;
  if (shared != nullptr) {
    if (const UnitsContainer* hit = shared->find(trimmed)) return hit;
  }
  auto& memo = impl_->parse_cache;
  if (!memo.empty()) {
    if (const auto it = memo.find(trimmed); it != memo.end()) return &it->second;
  }
  Result<UnitsContainer> parsed =
      detail::walk_groups(ExpressionGrammar{*impl_}, tokenize_relation(trimmed));
  if (!parsed) return parsed.take_error();
  if (trimmed.size() <= kParseMemoMaxKeyBytes) {
    if (shared != nullptr) {
      if (const UnitsContainer* kept = shared->insert(trimmed, *parsed)) return kept;
    }
    if (memo.size() < kParseMemoCapacity) {
      return &memo.emplace(std::string(trimmed), std::move(*parsed)).first->second;
    }
  }
  scratch = std::move(*parsed);
  return &scratch;
}

Result<UnitsContainer> UnitRegistry::parse_unit_expr(std::string_view text) {
  UnitsContainer scratch;
  Result<const UnitsContainer*> parsed = parse_unit_expr_ref(text, scratch);
  if (!parsed) return parsed.take_error();
  if (*parsed == &scratch) return scratch;
  return **parsed;
}

}  // namespace qudim
