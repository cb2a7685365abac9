// Unit maps rendered for people: symbols, and every denominator term behind
// its own " / " ("g * m ** 2 / K / s ** 2").
#include <algorithm>  // std::sort
#include <cmath>      // std::fabs, std::floor

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
  std::vector<const UnitsContainer::Entry*> num;
  std::vector<const UnitsContainer::Entry*> den;
  for (const UnitsContainer::Entry& term : units) {
    if (term.exponent > 0.0) num.push_back(&term);
    else if (term.exponent < 0.0) den.push_back(&term);  // zero and NaN drop out
  }
  // Sorted by the stored key (not the symbol shown); keys are unique.
  const auto by_key = [](const auto* a, const auto* b) { return a->name < b->name; };
  std::sort(num.begin(), num.end(), by_key);
  std::sort(den.begin(), den.end(), by_key);
  std::string out;
  if (num.empty() && !den.empty()) out += '1';
  for (std::size_t i = 0; i < num.size(); ++i) {
    if (i > 0) out += " * ";
    append_term(out, *impl_, num[i]->name, num[i]->exponent);
  }
  for (const UnitsContainer::Entry* term : den) {
    out += " / ";
    append_term(out, *impl_, term->name, term->exponent);
  }
  return out;
}

}  // namespace qudim
