// Fuzz target: definition lines applied to a fresh registry, interleaved with
// conversions. A line "?a|b" converts from expression a to expression b;
// every other line goes through the reader and is applied as `define` does.
#include <cstddef>  // size_t
#include <cstdint>  // uint8_t

#include "fuzz_check.hpp"         // check, check_container
#include "parser.hpp"             // parse_definitions
#include "registry/registry.hpp"  // UnitRegistry

using qudim::fuzz::check;

namespace {

/// Parses, reduces and converts between two expressions; errors are fine.
void convert_between(qudim::UnitRegistry& registry, std::string_view src, std::string_view dst) {
  auto a = registry.parse_unit_expr(src);
  auto b = registry.parse_unit_expr(dst);
  if (!a.ok() || !b.ok()) return;
  qudim::fuzz::check_container(*a);
  qudim::fuzz::check_container(*b);
  (void)registry.convert(1.5, *a, *b);
  (void)registry.get_conversion_factor(*a, *b);
  if (auto roots = registry.get_root_units(*a); roots.ok()) {
    qudim::fuzz::check_container(roots->second);
  }
  (void)registry.format_units(*b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  qudim::UnitRegistry registry = qudim::UnitRegistry::new_registry();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (line.starts_with('?')) {
      const std::size_t bar = line.find('|');
      if (bar == std::string_view::npos) continue;
      convert_between(registry, line.substr(1, bar - 1), line.substr(bar + 1));
      continue;
    }
    const qudim::Status st = registry.apply_definitions(qudim::parse_definitions(line), true);
    if (!st.ok()) check(!st.error().message().empty(), "error without a message");
  }
  return 0;
}
