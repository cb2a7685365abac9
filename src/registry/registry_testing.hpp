// Reaches into registries for the core tests: registries built from other
// texts or over another shared parse memo, and the sizes of the memos.
// Production code never includes this header.
#pragma once

#include <cstddef>      // size_t
#include <memory>       // std::make_shared, std::make_unique
#include <mutex>        // std::lock_guard
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "registry/registry.hpp"           // UnitRegistry
#include "registry/registry_impl.hpp"      // UnitRegistry::Impl, build_layer
#include "registry/shared_parse_memo.hpp"  // detail::SharedParseMemo

namespace qudim {

struct RegistryTesting {
  /// A registry of the built-in definitions that shares `memo` instead of
  /// the process-wide memo of registries without definitions of their own.
  static UnitRegistry with_shared_memo(detail::SharedParseMemo& memo) {
    UnitRegistry registry = UnitRegistry::new_registry();
    registry.impl_->shared_parse_memo = &memo;
    return registry;
  }

  /// A standalone registry built from the given texts; `main` may import
  /// "constants_en.txt", which splices in `constants`.
  static UnitRegistry from_texts(std::string_view main, std::string_view constants) {
    auto impl = std::make_unique<UnitRegistry::Impl>();
    impl->base = std::make_shared<const detail::Layer>(build_layer(main, constants));
    return UnitRegistry(std::move(impl));
  }

  static std::size_t parse_memo_size(const UnitRegistry& registry) {
    return registry.impl_->parse_cache.size();
  }

  static std::size_t unit_info_memo_size(const UnitRegistry& registry) {
    return registry.impl_->unit_info_cache.size();
  }

  static std::size_t size(const detail::SharedParseMemo& memo) {
    const std::lock_guard<std::mutex> lock(memo.insert_mutex_);
    return memo.size_;
  }
};

}  // namespace qudim
