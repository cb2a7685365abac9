// The one walk over relation and unit-expression tokens: operators, implicit
// multiplication, exponents and parenthesised groups. What an operand adds
// to a group is left to a grammar (relations reduce to factor, root units
// and dimensionality; unit expressions keep the spellings as written).
#pragma once

#include <cstddef>      // size_t
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "errors.hpp"             // QudimError, Result
#include "registry/registry.hpp"  // RelToken
#include "units_container.hpp"    // UnitsContainer

namespace qudim::detail {

/// The exponent written right after the operand at tokens[i] ("** 2", "^-1"):
/// consumes the two tokens and returns the number, or returns 1.0. Only a
/// plain number counts as an exponent.
inline double take_exponent(const std::vector<RelToken>& tokens, std::size_t& i) noexcept {
  if (i + 2 < tokens.size() && tokens[i + 1].kind == RelToken::Kind::Op &&
      tokens[i + 1].op == RelToken::OpCode::Pow && tokens[i + 2].kind == RelToken::Kind::Number) {
    i += 2;
    return tokens[i].number;
  }
  return 1.0;
}

/// Folds a closed group's map into the enclosing one: outer = outer * inner
/// ** e, with the group's sign already in inner. Whichever map is smaller is
/// walked (the larger taken over whole), so deeply nested groups of many
/// names cost time in proportion to their text.
inline void fold_group(UnitsContainer& outer, UnitsContainer&& inner, double e) {
  if (e != 1.0) {
    outer.mul_in_place(inner, e);
  } else if (outer.empty()) {
    outer = std::move(inner);
  } else if (outer.size() < inner.size()) {
    inner.merge_front(outer);
    outer = std::move(inner);
  } else {
    outer.mul_in_place(inner, 1.0);
  }
}

/// Evaluates tokens under the rules both grammars share: an operator stays
/// in force for every following operand until the next one; an exponent
/// "** n" / "^n" may follow an operand; a group opens afresh under "*" and
/// is folded, raised to its exponent, into the level around it under that
/// level's operator (dropped under a power); a missing ")" closes at the
/// end and a stray ")" is ignored. `Grammar` supplies:
///   Acc                  what a group accumulates; Acc() is an empty group
///   kNumbersAreOperands  whether a number is an operand (else it is skipped,
///                        and no exponent is read after it)
///   is_empty(acc)        acc equals Acc() (then it need not be saved)
///   number(acc, op, value, e)  only when numbers are operands
///   name(acc, word, op, e, power) -> false when the word is undefined
///   fold(outer, group, op, e)  op is Mul or Div
/// `power` is the exponent a name's map enters with: e, negated under "/"
/// and again for every enclosing group opened under "/". Groups accumulate
/// their maps already negated that way, so closing one needs no pass over
/// its entries (negation is exact: the sums are those of negating later).
///
/// Groups live on an explicit stack, never the native one: opening one saves
/// the enclosing accumulator (only when it is not empty, so deep nesting
/// stays small), and closing it restores that and folds the group in.
template <class Grammar>
Result<typename Grammar::Acc> walk_groups(const Grammar& grammar,
                                          const std::vector<RelToken>& tokens) {
  using Acc = typename Grammar::Acc;
  using Kind = RelToken::Kind;
  using Op = RelToken::OpCode;
  struct Frame {
    Op op;
    double sign;
    bool saved;
  };
  Acc acc{};
  Op c = Op::Mul;
  double sign = 1.0;
  std::vector<Frame> frames;
  std::vector<Acc> saved;

  const auto close_group = [&](double e) {
    const Frame frame = frames.back();
    frames.pop_back();
    Acc group = std::move(acc);
    if (frame.saved) {
      acc = std::move(saved.back());
      saved.pop_back();
    } else {
      acc = Acc();
    }
    c = frame.op;
    sign = frame.sign;
    if (c != Op::Pow) Grammar::fold(acc, std::move(group), c, e);  // else dropped
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
        if constexpr (Grammar::kNumbersAreOperands) {
          const double e = take_exponent(tokens, i);
          Grammar::number(acc, c, t.number, e);
        }
        break;
      case Kind::Name: {
        const double e = take_exponent(tokens, i);
        const double power = sign * (c == Op::Mul ? e : -e);
        if (!grammar.name(acc, t.name, c, e, power)) return QudimError::undefined_unit(t.name);
        break;
      }
      case Kind::LParen: {
        const bool keep = !Grammar::is_empty(acc);
        if (keep) saved.push_back(std::move(acc));
        frames.push_back(Frame{c, sign, keep});
        if (c == Op::Div) sign = -sign;
        c = Op::Mul;
        acc = Acc();
        break;
      }
      case Kind::RParen:
        if (!frames.empty()) close_group(take_exponent(tokens, i));  // else stray: ignored
        break;
    }
  }
  return acc;
}

}  // namespace qudim::detail
