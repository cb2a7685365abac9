// The two built-in definitions texts, compiled in from src/definitions.
#pragma once

#include <string_view>  // std::string_view

namespace qudim {

/// The main text (prefixes, base units, units, dimensions, groups, systems).
extern const std::string_view kDefaultDefinitions;
/// The constants text, spliced in where the main text imports constants_en.txt.
extern const std::string_view kConstantsDefinitions;

}  // namespace qudim
