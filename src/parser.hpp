// The definitions reader and the numeric evaluator it uses.
#pragma once

#include <optional>     // std::optional
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "definition.hpp"  // Definition

namespace qudim {

/// Evaluates a short arithmetic text of plain numbers ("2**10",
/// "233.15 + 200 / 9", "π / 2"); no value when it cannot.
std::optional<double> eval_simple_expr(std::string_view text);

/// Reads a definitions text into records, in line order. Never fails:
/// unusable lines are dropped.
std::vector<Definition> parse_definitions(std::string_view text);

}  // namespace qudim
