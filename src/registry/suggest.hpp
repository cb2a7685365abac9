// Close spellings for a name a registry does not know, offered as a hint
// ("Did you mean …?") on undefined-unit errors.
#pragma once

#include <cstddef>      // std::size_t
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "errors.hpp"             // QudimError
#include "registry/registry.hpp"  // UnitRegistry

namespace qudim {

/// Up to limit spellings known to reg that are close to name, closest first.
std::vector<std::string> close_spellings(const UnitRegistry& reg, std::string_view name,
                                         std::size_t limit = 3);

/// Gives an undefined-unit error without a note its close spellings as the
/// note; any other error is left alone.
void annotate_undefined(const UnitRegistry& reg, QudimError& error);

}  // namespace qudim
