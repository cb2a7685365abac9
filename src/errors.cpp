// QudimError construction and its fixed message texts.
#include "errors.hpp"

namespace qudim {

QudimError QudimError::dimensionality(std::string units1, std::string units2,
                                      std::optional<UnitsContainer> dim1,
                                      std::optional<UnitsContainer> dim2) {
  return QudimError(std::make_unique<Data>(Data{ErrorKind::Dimensionality, std::move(units1),
                                                std::move(units2), std::move(dim1),
                                                std::move(dim2), {}}));
}

QudimError QudimError::undefined_unit(std::string name) {
  return QudimError(std::make_unique<Data>(
      Data{ErrorKind::UndefinedUnit, std::move(name), {}, std::nullopt, std::nullopt, {}}));
}

QudimError QudimError::offset_unit_calculus(std::string units1, std::string units2) {
  return QudimError(std::make_unique<Data>(Data{ErrorKind::OffsetUnitCalculus, std::move(units1),
                                                std::move(units2), std::nullopt, std::nullopt,
                                                {}}));
}

QudimError QudimError::definition_syntax(std::string description) {
  return QudimError(std::make_unique<Data>(
      Data{ErrorKind::DefinitionSyntax, std::move(description), {}, std::nullopt, std::nullopt, {}}));
}

QudimError QudimError::redefinition(std::string name) {
  return QudimError(std::make_unique<Data>(
      Data{ErrorKind::Redefinition, std::move(name), {}, std::nullopt, std::nullopt, {}}));
}

std::string QudimError::message() const {
  const Data& d = *data_;
  switch (d.kind) {
    case ErrorKind::Dimensionality: {
      // An absent dimensionality renders empty, giving "()".
      const std::string t1 = d.dim1 ? d.dim1->to_string() : std::string();
      const std::string t2 = d.dim2 ? d.dim2->to_string() : std::string();
      return "Cannot convert from '" + d.text1 + "' (" + t1 + ") to '" + d.text2 + "' (" + t2 + ")";
    }
    case ErrorKind::UndefinedUnit:
      return "'" + d.text1 + "' is not defined in the unit registry";
    case ErrorKind::OffsetUnitCalculus:
      return "Ambiguous operation with offset unit (" + d.text1 + ", " + d.text2 + ")";
    case ErrorKind::DefinitionSyntax:
      return "Definition syntax error: " + d.text1;
    case ErrorKind::Redefinition:
      return "Cannot redefine '" + d.text1 + "'";
  }
  return {};
}

}  // namespace qudim
