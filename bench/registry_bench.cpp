// Measures what a registry costs: the first full build of the built-in
// layer in a process, then each fresh registry over it. Not a test.
#include <chrono>  // std::chrono::steady_clock
#include <cstdio>  // std::printf
#include <vector>  // std::vector

#include "registry/registry.hpp"  // UnitRegistry

namespace {

using Clock = std::chrono::steady_clock;

double micros_since(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

}  // namespace

int main() {
  const Clock::time_point first = Clock::now();
  qudim::UnitRegistry registry = qudim::UnitRegistry::new_registry();
  const double first_us = micros_since(first);

  constexpr int kFresh = 200000;
  std::vector<qudim::UnitRegistry> keep;
  keep.reserve(1000);
  const Clock::time_point fresh = Clock::now();
  for (int i = 0; i < kFresh; ++i) {
    qudim::UnitRegistry r = qudim::UnitRegistry::new_registry();
    if (keep.size() < keep.capacity()) keep.push_back(std::move(r));
  }
  const double fresh_us = micros_since(fresh) / kFresh;

  // A fresh registry's first use: parse, reduce and convert once.
  constexpr int kUses = 20000;
  const Clock::time_point use = Clock::now();
  double sink = 0.0;
  for (int i = 0; i < kUses; ++i) {
    qudim::UnitRegistry r = qudim::UnitRegistry::new_registry();
    auto km = r.parse_unit_expr("km/h");
    auto ms = r.parse_unit_expr("m/s");
    sink += r.convert(3.0, km.value(), ms.value()).value();
  }
  const double use_us = micros_since(use) / kUses;

  // A warm registry: memo hits.
  constexpr int kWarm = 1000000;
  const Clock::time_point warm = Clock::now();
  for (int i = 0; i < kWarm; ++i) {
    auto km = registry.parse_unit_expr("km/h");
    auto ms = registry.parse_unit_expr("m/s");
    sink += registry.convert(3.0, km.value(), ms.value()).value();
  }
  const double warm_ns = micros_since(warm) * 1000.0 / kWarm;

  std::printf("first full build:                %.3f ms (%zu units)\n", first_us / 1000.0,
              registry.unit_names().size());
  std::printf("new registry after the first:    %.3f us\n", fresh_us);
  std::printf("fresh registry + 2 parses + convert: %.3f us\n", use_us);
  std::printf("warm 2 parses + convert:         %.1f ns\n", warm_ns);
  return sink > 0.0 ? 0 : 1;
}
