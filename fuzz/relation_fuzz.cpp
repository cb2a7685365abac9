// Fuzz target: the relation tokenizer and evaluator on the default registry.
#include <cstddef>  // size_t
#include <cstdint>  // uint8_t

#include "fuzz_check.hpp"         // check, check_container
#include "registry/registry.hpp"  // UnitRegistry, tokenize_relation, eval_relation_tokens

using qudim::RelToken;
using qudim::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Relation evaluation only reads the registry, so one serves every input.
  static const qudim::UnitRegistry registry = qudim::UnitRegistry::new_registry();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<RelToken> tokens = qudim::tokenize_relation(text);
  for (const RelToken& t : tokens) {
    if (t.kind != RelToken::Kind::Name) continue;
    check(!t.name.empty(), "empty name token");
    check(t.name.find_first_of(" \t()*/^") == std::string::npos, "separator inside a name token");
  }
  const qudim::Result<qudim::UnitInfo> info = qudim::eval_relation_tokens(registry, tokens);
  if (info.ok()) {
    qudim::fuzz::check_container(info->root_units);
    qudim::fuzz::check_container(info->dimensionality);
  } else {
    check(info.error().kind() == qudim::ErrorKind::UndefinedUnit, "relations fail only on names");
  }
  return 0;
}
