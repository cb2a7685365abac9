// Close spellings for names a registry does not know: slips of case, plural
// endings, a prefix on a slightly wrong unit, look-alike characters, units
// run together ("kmh") and small typing errors. Every hint is checked
// against the registry before it is offered, and all of this runs only on
// the error path.
#include "registry/suggest.hpp"

#include <algorithm>  // std::find, std::min, std::sort
#include <array>      // std::array
#include <cstdint>    // std::uint64_t
#include <cstring>    // std::memcpy
#include <tuple>      // std::make_tuple, std::tuple
#include <utility>    // std::move, std::pair

namespace qudim {

namespace {

/// Names longer than this get no hints: no spelling is that long, and the
/// distance work grows with the length.
constexpr std::size_t kMaxNameBytes = 48;
/// Run-together forms are looked for only in names up to this long.
constexpr std::size_t kMaxJoinBytes = 24;
/// At most this many prefixes are tried at the head of one name.
constexpr std::size_t kMaxHeads = 8;
/// Only prefix spellings this long are looked for with a typing error in
/// them ("mili" for milli); a shorter one would match almost anything.
constexpr std::size_t kMinFuzzyPrefix = 4;

// What each kind of slip costs; hints are ranked by their total. A slip of
// case or form is cheaper than any typing error; a rate run together
// ("kmh") is as good a guess as one typing error.
constexpr int kSlip = 1;
constexpr int kPerEdit = 3;
constexpr int kJoined = kPerEdit;
/// A product read out of a run-together name is a loose guess ("gramm" is
/// not gram*m), offered only when nothing closer is found ("kNm").
constexpr int kJoinedProduct = 2 * kPerEdit;
/// Hints costing more than the best one plus this are not offered, so a
/// plain case slip is not followed by unrelated one-letter neighbours.
constexpr int kSpread = 1;
/// Nothing costing more than two typing errors is offered at all.
constexpr int kMaxCost = 2 * kPerEdit;

/// Characters people type for the ones the definitions use.
constexpr std::array<std::pair<std::string_view, std::string_view>, 11> kLookAlikes{{
    {"\u2103", "\u00B0C"},  // ℃ -> °C
    {"\u2109", "\u00B0F"},  // ℉ -> °F
    {"\u212A", "K"},        // Kelvin sign
    {"\u00BA", "\u00B0"},   // masculine ordinal for the degree sign
    {"\u02DA", "\u00B0"},   // ring above for the degree sign
    {"\u00B2", "**2"},
    {"\u00B3", "**3"},
    {"\u207B\u00B9", "**-1"},  // ⁻¹
    {"\u00B7", "*"},           // middle dot
    {"\u22C5", "*"},           // dot operator
    {"\u00D7", "*"},           // multiplication sign
}};

/// Plural and abbreviation endings, with what replaces them.
constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kEndings{{
    {"ies", "y"},
    {"es", ""},
    {"s", ""},
    {".", ""},
}};

/// Separators meaning "per" in a run-together name ("kmph", "m_per_s").
constexpr std::array<std::string_view, 3> kPer{"_per_", "per", "p"};

constexpr char fold(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

/// The bit of each byte in a character set: letters (either case), digits
/// and "_" each have one of their own, all other bytes share the rest.
constexpr std::array<std::uint8_t, 256> kCharBit = [] {
  std::array<std::uint8_t, 256> bits{};
  for (unsigned c = 0; c < 256; ++c) {
    const char f = fold(static_cast<char>(c));
    bits[c] = static_cast<std::uint8_t>((f >= 'a' && f <= 'z')   ? f - 'a'
                                        : (f >= '0' && f <= '9') ? 26 + (f - '0')
                                        : f == '_'               ? 36
                                                                 : 37 + c % 27);
  }
  return bits;
}();

/// The set of characters in s, as bits. A word within d edits of another
/// has at most d characters the other lacks, so comparing these sets rules
/// out most spellings before any distance work.
std::uint64_t char_set(std::string_view s) noexcept {
  std::uint64_t bits = 0;
  for (const char c : s) bits |= std::uint64_t{1} << kCharBit[static_cast<unsigned char>(c)];
  return bits;
}

/// True when x has at most d bits set.
bool at_most_bits(std::uint64_t x, int d) noexcept {
  for (int i = 0; i < d && x != 0; ++i) x &= x - 1;
  return x == 0;
}

/// False when the character sets alone show that more than d edits part
/// the two words.
bool may_be_within(std::uint64_t a, std::uint64_t b, int d) noexcept {
  return at_most_bits(a & ~b, d) && at_most_bits(b & ~a, d);
}

bool equal_folded(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

/// Typing errors allowed in a word of n bytes: none in very short words,
/// where any single change lands on some other unit.
int allowed_edits(std::size_t n) noexcept { return n < 3 ? 0 : n < 6 ? 1 : 2; }

/// Optimal-string-alignment distance of a and b (ignoring ASCII case when
/// kFold), or limit + 1 once it is known to exceed limit. Neither is longer
/// than kMaxNameBytes + 2 (the callers filter by length first).
template <bool kFold>
int edit_distance(std::string_view a, std::string_view b, int limit) noexcept {
  const auto key = [](char c) { return kFold ? fold(c) : c; };
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  std::array<int, kMaxNameBytes + 4> rows[3];
  int* before = rows[0].data();  // row i - 2
  int* prev = rows[1].data();    // row i - 1
  int* cur = rows[2].data();
  for (std::size_t j = 0; j <= m; ++j) prev[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= n; ++i) {
    cur[0] = static_cast<int>(i);
    int best = cur[0];
    const char ai = key(a[i - 1]);
    for (std::size_t j = 1; j <= m; ++j) {
      const char bj = key(b[j - 1]);
      int d = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (ai == bj ? 0 : 1)});
      if (i > 1 && j > 1 && ai == key(b[j - 2]) && key(a[i - 2]) == bj) {
        d = std::min(d, before[j - 2] + 1);
      }
      cur[j] = d;
      best = std::min(best, d);
    }
    if (best > limit) return limit + 1;
    int* spare = before;
    before = prev;
    prev = cur;
    cur = spare;
  }
  return std::min(prev[m], limit + 1);
}

/// What offering text for word costs, the two being d edits apart when
/// case is ignored. A wrong case on top of a typing error makes a much
/// weaker guess than either alone (unless it is only a capital at the start,
/// as at the start of a sentence), and so does a wrong first letter: people
/// seldom mistype the start of a word.
int slip_cost(std::string_view word, std::string_view text, int d) {
  const bool case_differs = edit_distance<false>(word, text, d) > d;
  if (d == 0) return case_differs ? kSlip : 0;
  int cost = kPerEdit * d;
  if (case_differs) {
    std::string lowered(word);
    lowered[0] = fold(lowered[0]);
    cost += edit_distance<false>(lowered, text, d) > d ? 2 * kSlip : kSlip;
  }
  if (fold(word.front()) != fold(text.front())) cost += 2 * kSlip;
  return cost;
}

/// True when name resolves the way unit expressions resolve it.
bool resolves(const UnitRegistry& reg, std::string_view name) {
  const std::string* canonical = reg.lookup_spelling(name);
  if (canonical != nullptr && reg.find_unit(*canonical) != nullptr) return true;
  return reg.try_strip_prefix(name).has_value();
}

/// What a hint stands for, so that two spellings of one unit are offered
/// once; empty when the hint does not parse in reg.
std::string identity(const UnitRegistry& reg, std::string_view text) {
  const std::vector<RelToken> tokens = tokenize_relation(text);
  if (tokens.size() == 1 && tokens[0].kind == RelToken::Kind::Name && tokens[0].name == text) {
    const std::string* canonical = reg.lookup_spelling(text);
    if (canonical != nullptr && reg.find_unit(*canonical) != nullptr) return *canonical;
    const std::optional<PrefixMatch> match = reg.try_strip_prefix(text);
    if (!match) return {};
    std::string id = match->canonical;
    id += '\0';
    char bytes[sizeof(double)];
    std::memcpy(bytes, &match->factor, sizeof bytes);
    id.append(bytes, sizeof bytes);
    return id;
  }
  bool any_name = false;
  for (const RelToken& token : tokens) {
    if (token.kind != RelToken::Kind::Name) continue;
    if (!resolves(reg, token.name)) return {};
    any_name = true;
  }
  return any_name ? std::string(text) : std::string();
}

struct Hint {
  std::string text;
  int cost;
};

/// The name with every look-alike character replaced.
std::string replace_look_alikes(std::string_view name) {
  std::string out;
  out.reserve(name.size() + 4);
  for (std::size_t i = 0; i < name.size();) {
    bool replaced = false;
    for (const auto& [from, to] : kLookAlikes) {
      if (name.substr(i, from.size()) == from) {
        out += to;
        i += from.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += name[i++];
  }
  return out;
}

/// A prefix found at the head of a word, and the rest after it.
struct Head {
  std::string_view prefix;
  std::string_view rest;
  int edits;  // typing errors in the prefix as written
};

/// Hints for one word (no operators in it), each costing at least base.
void word_hints(const UnitRegistry& reg, std::string_view word, int base,
                std::vector<Hint>& hints) {
  const std::size_t n = word.size();
  if (n == 0 || n > kMaxNameBytes) return;
  const int edits = allowed_edits(n);

  // A plural or abbreviation ending on a known spelling ("mins", "hrs.").
  std::vector<std::string> stems;
  for (const auto& [ending, replacement] : kEndings) {
    if (n <= ending.size() || word.substr(n - ending.size()) != ending) continue;
    std::string stem(word.substr(0, n - ending.size()));
    stem += replacement;
    if (resolves(reg, stem)) hints.push_back({stem, base + kSlip});
    stems.push_back(std::move(stem));
  }

  // A power written without its operator ("cm3", "ft2").
  std::size_t digits = n;
  while (digits > 0 && word[digits - 1] >= '0' && word[digits - 1] <= '9') --digits;
  if (digits > 0 && digits < n && n - digits <= 2 && word[digits] != '0' &&
      resolves(reg, word.substr(0, digits))) {
    std::string power(word.substr(0, digits));
    power += "**";
    power += word.substr(digits);
    hints.push_back({std::move(power), base + kSlip});
  }

  // A prefix, perhaps in the wrong case, in front of a near miss ("KM"),
  // or a long prefix with one typing error before a unit spelled right.
  std::vector<Head> heads;
  for (const std::string_view prefix : reg.prefix_spellings()) {
    if (prefix.empty() || fold(prefix[0]) != fold(word[0])) continue;
    if (prefix.size() < n && equal_folded(word.substr(0, prefix.size()), prefix)) {
      heads.push_back({prefix, word.substr(prefix.size()), 0});
    }
    if (prefix.size() < kMinFuzzyPrefix) continue;
    // The slip must lie inside the prefix: its last letter stays, so
    // "megaw|at" is not read as mega + at.
    for (std::size_t cut = prefix.size() - 1; cut <= prefix.size() + 1 && cut < n; ++cut) {
      if (fold(word[cut - 1]) == fold(prefix.back()) &&
          edit_distance<true>(word.substr(0, cut), prefix, 1) == 1) {
        heads.push_back({prefix, word.substr(cut), 1});
      }
    }
  }
  // Exact prefixes first, longest first, and a fixed order among equals, so
  // which heads survive the cap never depends on the maps' iteration order.
  std::sort(heads.begin(), heads.end(), [](const Head& a, const Head& b) {
    if (a.edits != b.edits) return a.edits < b.edits;
    return a.prefix.size() != b.prefix.size() ? a.prefix.size() > b.prefix.size()
                                              : a.prefix < b.prefix;
  });
  if (heads.size() > kMaxHeads) heads.resize(kMaxHeads);

  // One pass over every spelling serves the word, its stems and its heads.
  const std::uint64_t word_set = char_set(word);
  std::vector<std::uint64_t> rest_sets;
  for (const Head& head : heads) rest_sets.push_back(char_set(head.rest));
  for (const std::string_view spelling : reg.unit_spellings()) {
    const std::size_t m = spelling.size();
    if (m > n + 2) continue;  // beyond every edit allowance
    std::uint64_t set = 0;
    bool set_known = false;
    const auto spelling_set = [&] {
      if (!set_known) set = char_set(spelling);
      set_known = true;
      return set;
    };
    const std::size_t gap = m > n ? m - n : n - m;
    if (gap <= static_cast<std::size_t>(edits) && may_be_within(word_set, spelling_set(), edits)) {
      const int d = edit_distance<true>(word, spelling, edits);
      if (d <= edits) hints.push_back({std::string(spelling), base + slip_cost(word, spelling, d)});
    }
    for (const std::string& stem : stems) {
      if (stem != spelling && equal_folded(stem, spelling)) {
        hints.push_back({std::string(spelling), base + 2 * kSlip});
      }
    }
    for (std::size_t h = 0; h < heads.size(); ++h) {
      const Head& head = heads[h];
      const std::size_t r = head.rest.size();
      const int rest_edits = head.edits > 0 ? 0 : std::min(allowed_edits(r), 1);
      if ((m > r ? m - r : r - m) > static_cast<std::size_t>(rest_edits)) continue;
      if (!may_be_within(rest_sets[h], spelling_set(), rest_edits)) continue;
      const int rest_d = edit_distance<true>(head.rest, spelling, rest_edits);
      if (rest_d > rest_edits) continue;
      std::string text(head.prefix);
      text += spelling;
      // A near miss after a prefix is a weaker guess than one on its own,
      // and weaker still when the unit's first letter is the one changed.
      const int d = head.edits + rest_d;
      int cost = slip_cost(word, text, d) + (d > 0 ? 2 * kSlip : 0);
      if (rest_d > 0 && fold(head.rest[0]) != fold(spelling[0])) cost += 2 * kSlip;
      hints.push_back({std::move(text), base + cost});
    }
  }

  if (n > kMaxJoinBytes) return;
  // Units run together: "kmh" is km/h, "Nm" is N*m, "kmph" is km/h. Only
  // the first may carry a prefix; otherwise "kmh" would also read as the
  // Boltzmann constant times a millihour.
  const auto join = [&](std::string_view a, std::string_view b, bool per) {
    if (a.empty() || b.empty() || !resolves(reg, a)) return;
    const std::string* second = reg.lookup_spelling(b);
    if (second == nullptr || reg.find_unit(*second) == nullptr) return;
    if (!per) {
      // Only a length run into a time reads as a speed; otherwise a product.
      const Result<UnitInfo> first = reg.resolve_unit_ref(a);
      const Result<UnitInfo> second = reg.resolve_unit_ref(b);
      per = first && second && first->dimensionality == UnitsContainer::single("[length]", 1.0) &&
            second->dimensionality == UnitsContainer::single("[time]", 1.0);
    }
    std::string text(a);
    text += per ? '/' : '*';
    text += b;
    hints.push_back({std::move(text), base + (per ? kJoined : kJoinedProduct)});
  };
  for (std::size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(word[i]) & 0xC0) == 0x80) continue;  // inside a character
    join(word.substr(0, i), word.substr(i), false);
    for (const std::string_view per : kPer) {
      if (word.substr(i, per.size()) == per) {
        join(word.substr(0, i), word.substr(i + per.size()), true);
      }
    }
  }
}

}  // namespace

std::vector<std::string> close_spellings(const UnitRegistry& reg, std::string_view name,
                                         std::size_t limit) {
  std::vector<std::string> out;
  if (name.empty() || name.size() > kMaxNameBytes || limit == 0) return out;

  std::vector<Hint> hints;
  const std::string plain = replace_look_alikes(name);
  int base = 0;
  if (plain != name) {
    hints.push_back({plain, kSlip});
    base = kSlip;
  }
  // A replacement that brought in operators is a whole expression: offered
  // as it is, never taken apart further.
  if (plain.find_first_of("*/^ ") == std::string::npos) word_hints(reg, plain, base, hints);
  if (hints.empty()) return out;

  // Cheapest first. Among equals, fewer capitals (most unit spellings are
  // lower case: "KM" is more likely km than kilo-molar kM), then fewer case
  // changes from what was typed, then the shorter and the lower in byte
  // order, so the outcome never depends on the maps' iteration order.
  const auto rank = [&](const Hint& h) {
    int capitals = 0;
    int changes = 0;
    for (std::size_t i = 0; i < h.text.size(); ++i) {
      capitals += h.text[i] >= 'A' && h.text[i] <= 'Z';
      changes += i < name.size() && h.text[i] != name[i] && fold(h.text[i]) == fold(name[i]);
    }
    return std::make_tuple(h.cost, capitals, changes, h.text.size());
  };
  std::vector<std::pair<std::tuple<int, int, int, std::size_t>, Hint*>> order;
  for (Hint& hint : hints) order.emplace_back(rank(hint), &hint);
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second->text < b.second->text;
  });
  std::vector<std::string> seen;
  int best = -1;
  for (const auto& [key, entry] : order) {
    Hint& hint = *entry;
    if (hint.cost > kMaxCost || (best >= 0 && hint.cost > best + kSpread)) break;
    std::string id = identity(reg, hint.text);
    if (id.empty() || std::find(seen.begin(), seen.end(), id) != seen.end()) continue;
    if (best < 0) best = hint.cost;
    seen.push_back(std::move(id));
    out.push_back(std::move(hint.text));
    if (out.size() == limit) break;
  }
  return out;
}

void annotate_undefined(const UnitRegistry& reg, QudimError& error) {
  if (error.kind() != ErrorKind::UndefinedUnit || !error.note().empty()) return;
  std::vector<std::string> close = close_spellings(reg, error.text1());
  if (close.empty()) return;
  std::string note = "Did you mean ";
  for (std::size_t i = 0; i < close.size(); ++i) {
    if (i > 0) note += i + 1 == close.size() ? " or " : ", ";
    note += "'" + close[i] + "'";
  }
  error.set_note(note + "?");
}

}  // namespace qudim
