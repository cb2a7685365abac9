// The tokenizer shared by relations and unit expressions, and the evaluator
// that reduces a unit definition's relation to factor, root units and
// dimensionality.
#include <cmath>    // std::pow
#include <utility>  // std::move

#include "number_text.hpp"             // parse_decimal
#include "registry/group_walker.hpp"   // walk_groups, fold_group
#include "registry/registry_impl.hpp"  // UnitRegistry::Impl
#include "text_util.hpp"               // trim

namespace qudim {

namespace {

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

/// True for "[...]": a dimension reference inside a relation.
bool is_dimension_name(std::string_view name) noexcept {
  return !name.empty() && name.front() == '[' && name.back() == ']';
}

bool ends_name(char c) noexcept {
  return c == ' ' || c == '\t' || c == '(' || c == ')' || c == '*' || c == '/' || c == '^';
}

/// Reads the number or name that starts at text[i], hands it to put (an
/// unreadable number or an empty name vanishes) and returns where it ends.
template <class Put>
std::size_t read_operand(std::string_view text, std::size_t i, Put& put) {
  using Kind = RelToken::Kind;
  using Op = RelToken::OpCode;
  const std::size_t n = text.size();
  const char ch = text[i];
  std::size_t j = i + 1;
  if (is_digit(ch) || ch == '.' || ch == '-') {
    const std::size_t scan_begin = ch == '-' ? i + 1 : i;
    j = scan_begin;
    while (j < n) {
      const char c = text[j];
      const bool sign_after_e =
          (c == '+' || c == '-') && j > scan_begin && (text[j - 1] == 'e' || text[j - 1] == 'E');
      if (!is_digit(c) && c != '.' && c != 'e' && c != 'E' && !sign_after_e) break;
      ++j;
    }
    // An unreadable number ("1e", ".", "-") vanishes.
    if (const auto value = parse_decimal(text.substr(i, j - i), false)) {
      put(Kind::Number, Op::Mul, *value, {});
    }
    return j;
  }
  while (j < n && !ends_name(text[j])) ++j;
  const std::string_view name = trim(text.substr(i, j - i));
  if (!name.empty()) put(Kind::Name, Op::Mul, 0.0, name);
  return j;
}

/// Walks the text once, handing every token to emit(kind, op, number, name).
template <class Emit>
void scan_tokens(std::string_view text, Emit&& emit) {
  using Kind = RelToken::Kind;
  using Op = RelToken::OpCode;
  bool after_operand = false;  // the last token was a number, a name or ")"
  const auto put = [&](Kind kind, Op op, double number, std::string_view name) {
    after_operand = kind == Kind::Number || kind == Kind::Name || kind == Kind::RParen;
    emit(kind, op, number, name);
  };
  // Every character that decides anything is ASCII, so bytes can be walked
  // directly: UTF-8 continuation bytes never look like one of them.
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const char ch = text[i];
    Kind kind = Kind::Op;
    Op op = Op::Mul;
    std::size_t length = 1;
    switch (ch) {
      case ' ':
      case '\t':
        ++i;
        continue;
      case '(':
        kind = Kind::LParen;
        break;
      case ')':
        kind = Kind::RParen;
        break;
      case '*':
        if (i + 1 < n && text[i + 1] == '*') {
          op = Op::Pow;
          length = 2;
        }
        break;
      case '/':
        op = Op::Div;
        break;
      case '^':
        op = Op::Pow;
        break;
      case '-':
        if (after_operand) break;  // after an operand a minus multiplies
        [[fallthrough]];           // else it is a sign
      default:
        i = read_operand(text, i, put);
        continue;
    }
    put(kind, op, 0.0, {});
    i += length;
  }
}

/// What the operands of a relation mean: numbers and units scale the
/// factor, units multiply their root units and dimensionality in, and
/// "[dimension]" names multiply the dimensionality alone.
struct RelationGrammar {
  using Acc = UnitInfo;
  using Op = RelToken::OpCode;
  static constexpr bool kNumbersAreOperands = true;

  const UnitRegistry::Impl& impl;

  static bool is_empty(const UnitInfo& g) noexcept {
    return g.factor == 1.0 && g.root_units.empty() && g.dimensionality.empty();
  }

  static void number(UnitInfo& g, Op c, double number, double e) {
    const double v = e == 1.0 ? number : std::pow(number, e);
    if (c == Op::Mul) {
      g.factor *= v;
    } else if (c == Op::Div) {
      g.factor /= v;
    } else {
      g.factor = std::pow(g.factor, v);
    }
  }

  bool name(UnitInfo& g, std::string_view word, Op c, double e, double power) const {
    if (is_dimension_name(word)) {
      if (c != Op::Pow) g.dimensionality.add_in_place(word, power);
      return true;
    }
    double fu = 1.0;
    const UnitEntry* entry = impl.resolve_entry(word, fu);
    if (entry == nullptr) return false;
    const double scale = e == 1.0 ? fu : std::pow(fu, e);
    if (c == Op::Pow) {
      g.factor = std::pow(g.factor, scale);
      return true;
    }
    g.factor = c == Op::Mul ? g.factor * scale : g.factor / scale;
    g.root_units.mul_in_place(entry->root_units, power);
    g.dimensionality.mul_in_place(entry->dimensionality, power);
    return true;
  }

  static void fold(UnitInfo& outer, UnitInfo&& group, Op c, double e) {
    const double scale = e == 1.0 ? group.factor : std::pow(group.factor, e);
    outer.factor = c == Op::Mul ? outer.factor * scale : outer.factor / scale;
    detail::fold_group(outer.root_units, std::move(group.root_units), e);
    detail::fold_group(outer.dimensionality, std::move(group.dimensionality), e);
  }
};

}  // namespace

std::vector<RelToken> tokenize_relation(std::string_view text) {
  // Counting first lets the list be allocated once at its final size.
  std::size_t count = 0;
  scan_tokens(text, [&](RelToken::Kind, RelToken::OpCode, double, std::string_view) { ++count; });
  std::vector<RelToken> out;
  out.reserve(count);
  scan_tokens(text,
              [&](RelToken::Kind kind, RelToken::OpCode op, double number, std::string_view name) {
                out.push_back(RelToken{kind, op, number, std::string(name)});
              });
  return out;
}

Result<UnitInfo> eval_relation_tokens(const UnitRegistry& registry,
                                      const std::vector<RelToken>& tokens) {
  return eval_relation(*registry.impl_, tokens);
}

Result<UnitInfo> eval_relation(const UnitRegistry::Impl& impl,
                               const std::vector<RelToken>& tokens) {
  return detail::walk_groups(RelationGrammar{impl}, tokens);
}

}  // namespace qudim
