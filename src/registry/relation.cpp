// The tokenizer shared by relations and unit expressions, and the evaluator
// that reduces a unit definition's relation to factor, root units and
// dimensionality.
#include <cmath>  // std::pow

#include "number_text.hpp"             // parse_decimal
#include "registry/registry_impl.hpp"  // UnitRegistry::Impl, take_exponent
#include "text_util.hpp"               // trim

namespace qudim {

namespace {

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

bool ends_name(char c) noexcept {
  return c == ' ' || c == '\t' || c == '(' || c == ')' || c == '*' || c == '/' || c == '^';
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
    switch (ch) {
      case ' ':
      case '\t':
        ++i;
        continue;
      case '(':
        put(Kind::LParen, Op::Mul, 0.0, {});
        ++i;
        continue;
      case ')':
        put(Kind::RParen, Op::Mul, 0.0, {});
        ++i;
        continue;
      case '*':
        if (i + 1 < n && text[i + 1] == '*') {
          put(Kind::Op, Op::Pow, 0.0, {});
          i += 2;
        } else {
          put(Kind::Op, Op::Mul, 0.0, {});
          ++i;
        }
        continue;
      case '/':
        put(Kind::Op, Op::Div, 0.0, {});
        ++i;
        continue;
      case '^':
        put(Kind::Op, Op::Pow, 0.0, {});
        ++i;
        continue;
      case '-':
        // After an operand a minus multiplies; there is no subtraction.
        if (after_operand) {
          put(Kind::Op, Op::Mul, 0.0, {});
          ++i;
          continue;
        }
        break;
      default:
        break;
    }
    if (is_digit(ch) || ch == '.' || ch == '-') {
      const std::size_t scan_begin = ch == '-' ? i + 1 : i;
      std::size_t j = scan_begin;
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
      i = j;
      continue;
    }
    std::size_t j = i + 1;
    while (j < n && !ends_name(text[j])) ++j;
    const std::string_view name = trim(text.substr(i, j - i));
    if (!name.empty()) put(Kind::Name, Op::Mul, 0.0, name);
    i = j;
  }
}

}  // namespace

std::vector<RelToken> tokenize_relation(std::string_view text) {
  // Counting first lets the list be allocated once at its final size.
  std::size_t count = 0;
  scan_tokens(text, [&](RelToken::Kind, RelToken::OpCode, double, std::string_view) { ++count; });
  std::vector<RelToken> out;
  out.reserve(count);
  scan_tokens(text, [&](RelToken::Kind kind, RelToken::OpCode op, double number,
                        std::string_view name) {
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
  using Kind = RelToken::Kind;
  using Op = RelToken::OpCode;

  // Groups are evaluated with an explicit stack: opening one saves the
  // enclosing state and starts afresh; its closing parenthesis (or the end
  // of the list) folds the group into the restored state. Enclosing
  // containers are saved only when non-empty, so deep nesting stays small.
  // As in eval_unit_expr, a group under "/" accumulates its maps negated.
  struct Frame {
    double factor;
    Op op;
    bool saved;
    double sign;
  };
  double f = 1.0;
  Op c = Op::Mul;
  double sign = 1.0;
  UnitsContainer roots;
  UnitsContainer dims;
  std::vector<Frame> frames;
  std::vector<std::pair<UnitsContainer, UnitsContainer>> saved;

  const auto close_group = [&](double e) {
    const Frame frame = frames.back();
    frames.pop_back();
    const double fg = f;
    UnitsContainer group_roots = std::move(roots);
    UnitsContainer group_dims = std::move(dims);
    roots = UnitsContainer();
    dims = UnitsContainer();
    if (frame.saved) {
      roots = std::move(saved.back().first);
      dims = std::move(saved.back().second);
      saved.pop_back();
    }
    f = frame.factor;
    c = frame.op;
    sign = frame.sign;
    if (c == Op::Pow) return;  // a group raised to nothing is dropped
    const double scale = e == 1.0 ? fg : std::pow(fg, e);
    f = c == Op::Mul ? f * scale : f / scale;
    detail::fold_group(roots, std::move(group_roots), e);
    detail::fold_group(dims, std::move(group_dims), e);
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
        c = t.op;  // stays in force for every following operand
        break;
      case Kind::Number: {
        const double e = detail::take_exponent(tokens, i);
        const double v = e == 1.0 ? t.number : std::pow(t.number, e);
        if (c == Op::Mul) f *= v;
        else if (c == Op::Div) f /= v;
        else f = std::pow(f, v);
        break;
      }
      case Kind::Name: {
        const double e = detail::take_exponent(tokens, i);
        if (detail::is_dimension_name(t.name)) {
          if (c != Op::Pow) dims.add_in_place(t.name, sign * (c == Op::Mul ? e : -e));
          break;
        }
        double fu = 1.0;
        const UnitEntry* entry = impl.resolve_entry(t.name, fu);
        if (entry == nullptr) return QudimError::undefined_unit(t.name);
        const double scale = e == 1.0 ? fu : std::pow(fu, e);
        if (c == Op::Pow) {
          f = std::pow(f, scale);
          break;
        }
        const double power = sign * (c == Op::Mul ? e : -e);
        f = c == Op::Mul ? f * scale : f / scale;
        roots.mul_in_place(entry->root_units, power);
        dims.mul_in_place(entry->dimensionality, power);
        break;
      }
      case Kind::LParen: {
        const bool keep = !roots.empty() || !dims.empty();
        if (keep) saved.emplace_back(std::move(roots), std::move(dims));
        frames.push_back(Frame{f, c, keep, sign});
        if (c == Op::Div) sign = -sign;
        f = 1.0;
        c = Op::Mul;
        roots = UnitsContainer();
        dims = UnitsContainer();
        break;
      }
      case Kind::RParen:
        if (!frames.empty()) close_group(detail::take_exponent(tokens, i));  // else stray: ignored
        break;
    }
  }
  return UnitInfo{f, std::move(roots), std::move(dims)};
}

}  // namespace qudim
