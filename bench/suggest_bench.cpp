// Measures what a "Did you mean …?" hint costs on the error path of the
// built-in registry, per misspelling, and prints the hints. Not a test.
// Processor time rather than wall time: on a shared machine the process is
// often waiting for a core, which says nothing about the code.
#include <cstdio>       // std::printf
#include <ctime>        // std::clock
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "registry/registry.hpp"  // UnitRegistry
#include "registry/suggest.hpp"   // close_spellings

namespace {

constexpr std::string_view kMisses[] = {
    "Meter", "KM",      "mins",       "kmh", "\u2103",    "kilometr",
    "fot",   "m\u00B2", "qwertyuiop", "Nm",  "milimeter",
};

}  // namespace

int main() {
  qudim::UnitRegistry registry = qudim::UnitRegistry::new_registry();
  std::printf("%zu unit spellings\n", registry.unit_spellings().size());
  constexpr int kCalls = 2000;
  std::size_t sink = 0;
  double total = 0.0;
  for (const std::string_view miss : kMisses) {
    sink += qudim::close_spellings(registry, miss).size();  // warm up
    const std::clock_t start = std::clock();
    for (int i = 0; i < kCalls; ++i) sink += qudim::close_spellings(registry, miss).size();
    const double us = 1e6 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / kCalls;
    total += us;
    std::string shown;
    for (const std::string& hint : qudim::close_spellings(registry, miss)) shown += " " + hint;
    std::printf("%-12.*s %7.2f us ->%s\n", static_cast<int>(miss.size()), miss.data(), us,
                shown.c_str());
  }
  std::printf("mean %.2f us per miss (%zu)\n", total / std::size(kMisses), sink);
  return 0;
}
