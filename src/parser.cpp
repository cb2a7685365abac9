// The definitions reader and the numeric evaluator for prefix values and offsets.
#include "parser.hpp"

#include <cmath>    // std::pow
#include <cstddef>  // size_t
#include <string>   // std::string

#include "number_text.hpp"  // parse_decimal
#include "text_util.hpp"    // trim

namespace qudim {

namespace {

// ---------------------------------------------------------------------------
// Number literals

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// ---------------------------------------------------------------------------
// Tokens

struct Token {
  enum class Kind : unsigned char { Number, Operator, Open, Close };
  Kind kind;
  char op = 0;        // '+', '-', '*', '/' or '^' for operators
  double value = 0.;  // for numbers
};

/// The decimal text that stands in for π before tokenizing.
constexpr std::string_view kPiText = "3.1415926535897932384626433832795028841971693993751";
constexpr std::string_view kPiUtf8 = "\xCF\x80";

/// Replaces every π by its decimal text.
std::string replace_pi(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  for (std::size_t at = text.find(kPiUtf8); at != std::string_view::npos;
       at = text.find(kPiUtf8, i)) {
    out.append(text.substr(i, at - i));
    out.append(kPiText);
    i = at + kPiUtf8.size();
  }
  out.append(text.substr(i));
  return out;
}

/// Cuts text into tokens; no value when a number run is not a literal.
/// Characters that mean nothing here (letters, '^', ',') are skipped.
std::optional<std::vector<Token>> tokenize(std::string_view text) {
  std::vector<Token> tokens;
  const auto is_number_char = [](char c) {
    return is_digit(c) || c == '.' || c == 'e' || c == 'E';
  };
  const auto push_number = [&](std::string_view run) {
    const std::optional<double> value = parse_decimal(run, true);
    if (value) tokens.push_back({Token::Kind::Number, 0, *value});
    return value.has_value();
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '(' || c == ')') {
      tokens.push_back({c == '(' ? Token::Kind::Open : Token::Kind::Close});
      ++i;
    } else if (c == '*') {
      const bool power = i + 1 < text.size() && text[i + 1] == '*';
      tokens.push_back({Token::Kind::Operator, power ? '^' : '*'});
      i += power ? 2 : 1;
    } else if (c == '+' || c == '/') {
      tokens.push_back({Token::Kind::Operator, c});
      ++i;
    } else if (c == '-') {
      const bool after_operand = !tokens.empty() && (tokens.back().kind == Token::Kind::Number ||
                                                     tokens.back().kind == Token::Kind::Close);
      if (after_operand) {
        tokens.push_back({Token::Kind::Operator, '-'});
        ++i;
        continue;
      }
      // A negative literal; its exponent takes no sign, so `-1e-3` inside an
      // expression is the unreadable run `-1e`.
      std::size_t j = i + 1;
      while (j < text.size() && is_number_char(text[j])) ++j;
      if (!push_number(text.substr(i, j - i))) return std::nullopt;
      i = j;
    } else if (is_digit(c) || c == '.') {
      std::size_t j = i + 1;
      while (j < text.size()) {
        const char d = text[j];
        const bool exponent_sign =
            (d == '+' || d == '-') && (text[j - 1] == 'e' || text[j - 1] == 'E');
        if (!is_number_char(d) && !exponent_sign) break;
        ++j;
      }
      if (!push_number(text.substr(i, j - i))) return std::nullopt;
      i = j;
    } else {
      ++i;  // blanks and every character without a meaning here
    }
  }
  return tokens;
}

// ---------------------------------------------------------------------------
// Grammar
//
//   additive       := multiplicative (('+' | '-') multiplicative)*
//   multiplicative := power (('*' | '/') power)*
//   power          := atom ('^' power)?
//   atom           := number | '(' additive ')'? | '-' atom
//
// Nesting depth comes from user text, so the rules do not call each other:
// each pending rule is a frame on an explicit stack, and each rule below is
// one step of that rule, resumed when the operand it waited for is done.
// A failure anywhere gives no value; tokens after the outermost additive
// rule are ignored.

struct Frame {
  enum class Rule : unsigned char { Additive, Multiplicative, Power, Negate, Group };
  Rule rule;
  char op = 0;      // operator before the awaited term; 0 while the first term is awaited
  double lhs = 0.;  // value so far (additive, multiplicative) or the base (power)
};

class Evaluator {
 public:
  explicit Evaluator(const std::vector<Token>& tokens) : tokens_(tokens) {}

  /// Evaluates the additive rule from the first token.
  std::optional<double> run() {
    open_additive();
    for (;;) {
      double value = 0.;
      for (AtomStep step; (step = eval_atom(value)) != AtomStep::Value;) {
        if (step == AtomStep::Failed) return std::nullopt;
      }
      // Resume the rules waiting for this atom, innermost first, until one
      // of them expects a further operand.
      while (!eval_power(value) && !eval_multiplicative(value) && !eval_additive(value)) {
        if (stack_.empty()) return value;
        close_group();  // a finished group is an atom of the rules below it
      }
    }
  }

 private:
  enum class AtomStep : unsigned char { Value, Opened, Failed };

  /// True when the current token is one of the operators in ops.
  bool at_operator(std::string_view ops) const {
    return pos_ < tokens_.size() && tokens_[pos_].kind == Token::Kind::Operator &&
           ops.find(tokens_[pos_].op) != std::string_view::npos;
  }

  /// Starts an additive rule, whose first term is a multiplicative rule.
  void open_additive() {
    stack_.push_back({Frame::Rule::Additive});
    stack_.push_back({Frame::Rule::Multiplicative});
  }

  /// Atom step: a number sets `value`; '(' and '-' open their rule, so an
  /// operand is still expected; anything else, or the end, fails.
  AtomStep eval_atom(double& value) {
    if (pos_ == tokens_.size()) return AtomStep::Failed;
    const Token& t = tokens_[pos_++];
    switch (t.kind) {
      case Token::Kind::Number:
        value = t.value;
        return AtomStep::Value;
      case Token::Kind::Open:
        stack_.push_back({Frame::Rule::Group});
        open_additive();
        return AtomStep::Opened;
      case Token::Kind::Operator:
        if (t.op != '-') return AtomStep::Failed;
        stack_.push_back({Frame::Rule::Negate});
        return AtomStep::Opened;
      case Token::Kind::Close:
        break;
    }
    return AtomStep::Failed;
  }

  /// Power step after an atom: applies pending negations (they bind tighter
  /// than power), then either expects a right-grouping exponent (true) or
  /// folds every waiting base into `value` (false).
  bool eval_power(double& value) {
    while (stack_.back().rule == Frame::Rule::Negate) {
      value = -value;
      stack_.pop_back();
    }
    if (at_operator("^")) {
      ++pos_;
      stack_.push_back({Frame::Rule::Power, 0, value});
      return true;
    }
    while (stack_.back().rule == Frame::Rule::Power) {
      value = std::pow(stack_.back().lhs, value);
      stack_.pop_back();
    }
    return false;
  }

  /// Multiplicative step after a power term: true when a further factor is
  /// expected; otherwise pops the rule and leaves its result in `value`.
  bool eval_multiplicative(double& value) {
    Frame& frame = stack_.back();
    frame.lhs = frame.op == '*' ? frame.lhs * value : frame.op == '/' ? frame.lhs / value : value;
    if (at_operator("*/")) {
      frame.op = tokens_[pos_++].op;
      return true;
    }
    value = frame.lhs;
    stack_.pop_back();
    return false;
  }

  /// Additive step after a multiplicative term: true when a further term is
  /// expected; otherwise pops the rule and leaves its result in `value`.
  bool eval_additive(double& value) {
    Frame& frame = stack_.back();
    frame.lhs = frame.op == '+' ? frame.lhs + value : frame.op == '-' ? frame.lhs - value : value;
    if (at_operator("+-")) {
      frame.op = tokens_[pos_++].op;
      stack_.push_back({Frame::Rule::Multiplicative});
      return true;
    }
    value = frame.lhs;
    stack_.pop_back();
    return false;
  }

  /// Ends a parenthesised group; a missing ')' is accepted.
  void close_group() {
    stack_.pop_back();
    if (pos_ < tokens_.size() && tokens_[pos_].kind == Token::Kind::Close) ++pos_;
  }

  const std::vector<Token>& tokens_;
  std::vector<Frame> stack_;
  std::size_t pos_ = 0;
};

// ---------------------------------------------------------------------------
// Definitions reader helpers

/// Splits text at every '='.
std::vector<std::string_view> split_at_equals(std::string_view text) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t at = text.find('='); at != std::string_view::npos; at = text.find('=', start)) {
    pieces.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

/// Removes every trailing '-'.
std::string_view strip_dashes(std::string_view text) {
  while (!text.empty() && text.back() == '-') text.remove_suffix(1);
  return text;
}

/// Empty names and the `_` placeholder stand for "no name here".
bool is_placeholder(std::string_view name) { return name.empty() || name == "_"; }

/// `name- = value [= symbol] [= alias]...`; nothing when the value does not
/// evaluate.
std::optional<PrefixDef> read_prefix(std::string_view left, std::string_view right) {
  const std::vector<std::string_view> pieces = split_at_equals(right);
  const std::optional<double> value = eval_simple_expr(pieces[0]);
  if (!value) return std::nullopt;
  PrefixDef def;
  def.name = std::string(strip_dashes(left));
  // A nameless prefix could never be used: the line is unusable.
  if (def.name.empty()) return std::nullopt;
  def.value = *value;
  for (std::size_t k = 1; k < pieces.size(); ++k) {
    const std::string_view name = strip_dashes(trim(pieces[k]));
    if (is_placeholder(name)) continue;
    if (!def.symbol) {
      def.symbol = std::string(name);
    } else {
      def.aliases.emplace_back(name);
    }
  }
  return def;
}

/// `name [= relation [= symbol] [= alias]...] [; modifier [= name]...]`.
UnitDef read_unit(std::string_view line) {
  UnitDef def;
  std::string_view main_part = line;
  std::vector<std::string_view> extra_names;
  if (const std::size_t semi = line.find(';'); semi != std::string_view::npos) {
    main_part = line.substr(0, semi);
    const std::string_view modifier = trim(line.substr(semi + 1));
    const std::size_t eq = modifier.find('=');
    constexpr std::string_view kOffset = "offset:";
    if (modifier.starts_with(kOffset)) {
      const std::string_view expr = modifier.substr(0, eq).substr(kOffset.size());
      def.offset = eval_simple_expr(trim(expr));
    }
    if (eq != std::string_view::npos) {
      for (const std::string_view piece : split_at_equals(modifier.substr(eq + 1))) {
        const std::string_view name = trim(piece);
        if (!is_placeholder(name)) extra_names.push_back(name);
      }
    }
  }

  const std::vector<std::string_view> pieces = split_at_equals(main_part);
  def.name = std::string(trim(pieces[0]));
  std::size_t first_extra_alias = 0;
  if (pieces.size() >= 2) {
    def.relation = std::string(trim(pieces[1]));
    const std::string_view rel = def.relation;
    if (rel.starts_with('[') && rel.ends_with(']') && rel != "[]") {
      def.is_base = true;
      def.dimension = def.relation;
    }
    for (std::size_t k = 2; k < pieces.size(); ++k) {
      const std::string_view name = trim(pieces[k]);
      if (is_placeholder(name)) continue;
      if (!def.symbol) {
        def.symbol = std::string(name);
      } else {
        def.aliases.emplace_back(name);
      }
    }
    if (!def.symbol && !extra_names.empty()) {
      def.symbol = std::string(extra_names[0]);
      first_extra_alias = 1;
    }
  }
  // A line without '=' in its main part takes all extra names as aliases.
  for (std::size_t k = first_extra_alias; k < extra_names.size(); ++k) {
    def.aliases.emplace_back(extra_names[k]);
  }
  return def;
}

/// `@alias name = alias [= alias]...`; nothing without an '='.
std::optional<AliasDef> read_alias(std::string_view rest) {
  const std::vector<std::string_view> pieces = split_at_equals(rest);
  if (pieces.size() < 2) return std::nullopt;
  AliasDef def;
  def.name = std::string(trim(pieces[0]));
  for (std::size_t k = 1; k < pieces.size(); ++k) {
    const std::string_view name = trim(pieces[k]);
    if (!is_placeholder(name)) def.aliases.emplace_back(name);
  }
  return def;
}

/// Block state carried from line to line.
struct ReaderState {
  bool in_defaults = false;
  bool in_skip_block = false;
};

/// Acts on a directive line (it begins with '@'); directives act inside
/// blocks too.
void read_directive(std::string_view line, ReaderState& state, std::vector<Definition>& out) {
  if (line == "@end") {
    if (state.in_defaults) out.emplace_back(DefaultsDef{});
    state = ReaderState{};
    return;
  }
  if (line.size() < 7) return;
  constexpr std::string_view kImport = "@import ";
  constexpr std::string_view kAlias = "@alias ";
  if (line.starts_with("@defaults")) {
    state.in_defaults = true;
  } else if (line.starts_with("@system")) {
    state.in_skip_block = true;
  } else if (line.starts_with(kImport)) {
    out.emplace_back(ImportDef{std::string(trim(line.substr(kImport.size())))});
  } else if (line.starts_with(kAlias)) {
    if (std::optional<AliasDef> def = read_alias(line.substr(kAlias.size()))) {
      out.emplace_back(std::move(*def));
    }
  }
  // Everything else (`@group`, `@context`, unknown words) opens no block:
  // the lines that follow are read as ordinary lines.
}

/// Reads one ordinary line: a prefix, a dimension or a unit.
void read_definition(std::string_view line, std::vector<Definition>& out) {
  const std::size_t eq = line.find('=');
  if (eq != std::string_view::npos) {
    const std::string_view left = trim(line.substr(0, eq));
    if (left.ends_with('-')) {
      if (std::optional<PrefixDef> def = read_prefix(left, line.substr(eq + 1))) {
        out.emplace_back(std::move(*def));
      }
      return;
    }
  }
  if (line.starts_with('[')) {
    if (eq == std::string_view::npos) return;  // e.g. context rules `[a] -> [b]: ...`
    DimensionDef def;
    def.name = std::string(trim(line.substr(0, eq)));
    const std::string_view relation = trim(line.substr(eq + 1));
    if (!relation.empty()) def.relation = std::string(relation);
    out.emplace_back(std::move(def));
    return;
  }
  UnitDef unit = read_unit(line);
  // A nameless unit line (`= 5`) is unusable: registered, its name's plural
  // "s" would take the second's symbol away.
  if (unit.name.empty()) return;
  out.emplace_back(std::move(unit));
}

}  // namespace

std::optional<double> eval_simple_expr(std::string_view text) {
  const std::string_view trimmed = trim(text);
  if (trimmed.empty()) return std::nullopt;
  if (std::optional<double> literal = parse_decimal(trimmed, true)) return literal;

  std::string replaced;
  std::string_view expr = trimmed;
  if (trimmed.find(kPiUtf8) != std::string_view::npos) {
    replaced = replace_pi(trimmed);
    expr = replaced;
  }
  const std::optional<std::vector<Token>> tokens = tokenize(expr);
  if (!tokens) return std::nullopt;
  return Evaluator(*tokens).run();
}

std::vector<Definition> parse_definitions(std::string_view text) {
  std::vector<Definition> out;
  ReaderState state;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    // Trimming also drops the '\r' of a "\r\n" line end.
    std::string_view line = trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;

    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) {
      line = trim(line.substr(0, hash));
      if (line.empty()) {
        out.emplace_back(CommentDef{});
        continue;
      }
    }
    if (line.front() == '@') {
      read_directive(line, state, out);
      continue;
    }
    // Inside a `@defaults` block the `key = value` pairs are collected only to
    // be discarded at its `@end`, so they are not kept at all.
    if (state.in_defaults || state.in_skip_block) continue;
    read_definition(line, out);
  }
  return out;
}

}  // namespace qudim
