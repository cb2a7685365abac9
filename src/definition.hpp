// Records produced by the definitions reader, one per meaningful line.
#pragma once

#include <optional>  // std::optional
#include <string>    // std::string
#include <variant>   // std::variant
#include <vector>    // std::vector

namespace qudim {

/// `kilo- = 1e3 = k-`
struct PrefixDef {
  std::string name;                  // without the trailing '-'
  std::vector<std::string> aliases;  // in line order
  std::optional<std::string> symbol;
  double value = 0.0;
};

/// `meter = [length] = m = metre`, `degC = kelvin; offset: 273.15 = ...`
struct UnitDef {
  std::optional<double> offset;
  std::string name;
  std::string relation;  // trimmed text right of the first '=' (may be empty)
  std::vector<std::string> aliases;
  std::optional<std::string> symbol;
  std::optional<std::string> dimension;  // set exactly when is_base
  bool is_base = false;
};

/// `[area] = [length] ** 2`
struct DimensionDef {
  std::string name;  // brackets included
  std::optional<std::string> relation;
};

/// `@alias meter = my_meter`
struct AliasDef {
  std::string name;
  std::vector<std::string> aliases;
};

/// The `@end` closing a `@defaults` block.
struct DefaultsDef {};
/// A line holding only a comment.
struct CommentDef {};
/// `@import path`
struct ImportDef {
  std::string path;
};

/// One record; the alternatives are in the fixed kind order.
using Definition =
    std::variant<PrefixDef, UnitDef, DimensionDef, AliasDef, DefaultsDef, CommentDef, ImportDef>;

}  // namespace qudim
