// Unit maps rendered for people: symbols, and every denominator term behind
// its own " / " ("g * m ** 2 / K / s ** 2").
#include <algorithm>  // std::sort
#include <cmath>      // std::fabs, std::floor
#include <vector>     // std::vector

#include "number_text.hpp"             // append_plain_decimal, append_saturated_int
#include "registry/registry_impl.hpp"  // UnitRegistry::Impl

namespace qudim {

namespace {

void append_term(std::string& out, const UnitRegistry::Impl& impl, const std::string& key,
                 double exponent) {
  const UnitEntry* entry = impl.find_unit(key);
  out += (entry != nullptr && entry->symbol) ? *entry->symbol : key;
  const double a = std::fabs(exponent);
  if (std::fabs(a - 1.0) < EPSILON) return;
  out += " ** ";
  if (a != std::floor(a)) {
    append_plain_decimal(out, a);
  } else {
    append_saturated_int(out, a);
  }
}

}  // namespace

std::string UnitRegistry::format_units(const UnitsContainer& units) const {
  if (units.empty()) return "dimensionless";
  // Terms sorted by the stored key (not the symbol shown; keys are unique),
  // on the stack for the usual small maps. Zero and NaN exponents drop out.
  constexpr std::size_t kOnStack = 8;
  const UnitsContainer::Entry* on_stack[kOnStack];
  std::vector<const UnitsContainer::Entry*> on_heap;
  const UnitsContainer::Entry** terms = on_stack;
  if (units.size() > kOnStack) {
    on_heap.resize(units.size());
    terms = on_heap.data();
  }
  std::size_t count = 0;
  bool any_numerator = false;
  for (const UnitsContainer::Entry& term : units) {
    if (term.exponent > 0.0 || term.exponent < 0.0) terms[count++] = &term;
    any_numerator = any_numerator || term.exponent > 0.0;
  }
  std::sort(terms, terms + count, [](const auto* a, const auto* b) { return a->name < b->name; });
  std::string out;
  if (!any_numerator && count > 0) out += '1';
  bool first = true;
  for (std::size_t i = 0; i < count; ++i) {
    if (!(terms[i]->exponent > 0.0)) continue;
    if (!first) out += " * ";
    first = false;
    append_term(out, *impl_, terms[i]->name, terms[i]->exponent);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!(terms[i]->exponent < 0.0)) continue;
    out += " / ";
    append_term(out, *impl_, terms[i]->name, terms[i]->exponent);
  }
  return out;
}

}  // namespace qudim
