// Fuzz target: the definitions reader on arbitrary text.
#include <cstddef>  // size_t
#include <cstdint>  // uint8_t
#include <variant>  // std::get_if

#include "fuzz_check.hpp"  // check
#include "parser.hpp"      // parse_definitions
#include "text_util.hpp"   // trim

using qudim::fuzz::check;

namespace {

/// A name piece is stored trimmed and is never the "_" placeholder.
bool clean_name(std::string_view name) { return qudim::trim(name) == name && name != "_"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const qudim::Definition& record : qudim::parse_definitions(text)) {
    if (const auto* unit = std::get_if<qudim::UnitDef>(&record)) {
      check(unit->is_base == unit->dimension.has_value(), "dimension set exactly for base units");
      check(clean_name(unit->name) || unit->name == "_", "unit name trimmed");
      if (unit->symbol) check(clean_name(*unit->symbol) && !unit->symbol->empty(), "unit symbol");
      for (const auto& alias : unit->aliases) check(clean_name(alias) && !alias.empty(), "alias");
    } else if (const auto* prefix = std::get_if<qudim::PrefixDef>(&record)) {
      check(!prefix->name.ends_with('-'), "prefix name keeps no trailing '-'");
      if (prefix->symbol) check(!prefix->symbol->empty(), "prefix symbol not empty");
    }
  }
  return 0;
}
