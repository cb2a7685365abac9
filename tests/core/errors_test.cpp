// Core error kinds and their message texts.
#include "errors.hpp"

#include <gtest/gtest.h>

#include "units_container_testing.hpp"

namespace qudim {
namespace {

UnitsContainer dims(std::initializer_list<std::pair<const char*, double>> pairs) {
  UnitsContainer c;
  for (const auto& [n, e] : pairs) ContainerTesting::append(c, n, e);
  return c;
}

TEST(QudimErrorMessage, EveryKind) {
  const struct {
    QudimError err;
    ErrorKind kind;
    const char* message;
  } cases[] = {
      {QudimError::dimensionality("meter / second", "kilogram",
                                  dims({{"[length]", 1}, {"[time]", -1}}), dims({{"[mass]", 1}})),
       ErrorKind::Dimensionality,
       "Cannot convert from 'meter / second' ([length] / [time]) to 'kilogram' ([mass])"},
      {QudimError::dimensionality("a", "b", std::nullopt, std::nullopt), ErrorKind::Dimensionality,
       "Cannot convert from 'a' () to 'b' ()"},
      {QudimError::undefined_unit("it's \"x\""), ErrorKind::UndefinedUnit,
       "'it's \"x\"' is not defined in the unit registry"},
      {QudimError::offset_unit_calculus("degC", "kelvin"), ErrorKind::OffsetUnitCalculus,
       "Ambiguous operation with offset unit (degC, kelvin)"},
      {QudimError::definition_syntax("bad line"), ErrorKind::DefinitionSyntax,
       "Definition syntax error: bad line"},
      {QudimError::redefinition("meter"), ErrorKind::Redefinition, "Cannot redefine 'meter'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.err.kind(), c.kind);
    EXPECT_EQ(c.err.message(), c.message);
  }
}

}  // namespace
}  // namespace qudim
