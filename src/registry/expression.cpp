// Unit expressions ("km/h", "kg*m**2/s**2") parsed into maps of spellings to
// exponents, with a bounded memo of recent texts.
#include "registry/registry_impl.hpp"  // UnitRegistry::Impl, take_exponent
#include "text_util.hpp"               // trim

namespace qudim {

namespace {

/// The memo keeps at most this many texts; later texts are parsed each time.
constexpr std::size_t kParseMemoCapacity = 512;
/// Longer texts are not memoised: they are rare, and 512 of them could pin
/// a lot of memory.
constexpr std::size_t kParseMemoMaxKeyBytes = 1024;

}  // namespace

Result<UnitsContainer> eval_unit_expr_tokens(const UnitRegistry& registry,
                                             const std::vector<RelToken>& tokens) {
  return eval_unit_expr(*registry.impl_, tokens);
}

Result<UnitsContainer> eval_unit_expr(const UnitRegistry::Impl& impl,
                                      const std::vector<RelToken>& tokens) {
  using Kind = RelToken::Kind;
  using Op = RelToken::OpCode;

  // Same explicit group stack as relation evaluation: opening a group saves
  // the enclosing accumulator (only when non-empty), operator and sign. A
  // group under "/" is accumulated with its exponents negated (sign -1), so
  // closing it needs no pass over its entries; negation is exact, so the
  // sums are those of negating afterwards.
  struct Frame {
    Op op;
    bool saved;
    double sign;
  };
  Op c = Op::Mul;
  double sign = 1.0;
  UnitsContainer acc;
  std::vector<Frame> frames;
  std::vector<UnitsContainer> saved;

  const auto close_group = [&](double e) {
    const Frame frame = frames.back();
    frames.pop_back();
    UnitsContainer inner = std::move(acc);
    acc = UnitsContainer();
    if (frame.saved) {
      acc = std::move(saved.back());
      saved.pop_back();
    }
    c = frame.op;
    sign = frame.sign;
    if (c == Op::Pow) return;
    detail::fold_group(acc, std::move(inner), e);
  };

  const std::size_t n = tokens.size();
  for (std::size_t i = 0;; ++i) {
    if (i >= n) {
      if (frames.empty()) break;
      close_group(1.0);  // a missing ")" closes at the end
      continue;
    }
    const RelToken& t = tokens[i];
    switch (t.kind) {
      case Kind::Op:
        c = t.op;
        break;
      case Kind::Number:
        break;  // numbers carry no unit ("1/s", "1000 m"); only exponents count
      case Kind::Name: {
        // A registered spelling becomes its canonical name; a prefixed one
        // stays as written ("km"), the later stages resolve it.
        std::string_view key = t.name;
        if (const std::string* canonical = impl.find_spelling(t.name)) {
          key = *canonical;
        } else {
          double factor = 1.0;
          if (impl.strip_prefix(t.name, factor) == nullptr) {
            return QudimError::undefined_unit(t.name);
          }
        }
        const double e = detail::take_exponent(tokens, i);
        if (c != Op::Pow) acc.add_in_place(key, sign * (c == Op::Mul ? e : -e));
        break;
      }
      case Kind::LParen: {
        const bool keep = !acc.empty();
        if (keep) saved.push_back(std::move(acc));
        frames.push_back(Frame{c, keep, sign});
        if (c == Op::Div) sign = -sign;
        c = Op::Mul;
        acc = UnitsContainer();
        break;
      }
      case Kind::RParen:
        if (!frames.empty()) close_group(detail::take_exponent(tokens, i));  // else stray: ignored
        break;
    }
  }
  return acc;
}

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
  Result<UnitsContainer> parsed = eval_unit_expr(*impl_, tokenize_relation(trimmed));
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
