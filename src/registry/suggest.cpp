// Close spellings of unknown names (first cut: no suggestions yet).
#include "registry/suggest.hpp"

namespace qudim {

std::vector<std::string> close_spellings(const UnitRegistry&, std::string_view, std::size_t) {
  return {};
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
