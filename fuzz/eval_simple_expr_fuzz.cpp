// Fuzz target: the numeric evaluator on arbitrary text.
#include <cstddef>  // size_t
#include <cstdint>  // uint8_t
#include <string>   // std::string

#include "fuzz_check.hpp"  // check
#include "parser.hpp"      // eval_simple_expr

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<double> value = qudim::eval_simple_expr(text);
  // Surrounding blanks never change the answer.
  const std::optional<double> padded = qudim::eval_simple_expr(" " + std::string(text) + "\t");
  qudim::fuzz::check(value.has_value() == padded.has_value(), "padding changes evaluability");
  if (value && *value == *value) qudim::fuzz::check(*value == *padded, "padding changes the value");
  return 0;
}
