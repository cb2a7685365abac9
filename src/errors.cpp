// QudimError construction and its fixed message texts.
#include "errors.hpp"

namespace qudim {

QudimError QudimError::dimensionality(std::string units1, std::string units2,
                                      std::optional<UnitsContainer> dim1,
                                      std::optional<UnitsContainer> dim2) {
  return QudimError(std::make_unique<Data>(Data{.kind = ErrorKind::Dimensionality,
                                                .text1 = std::move(units1),
                                                .text2 = std::move(units2),
                                                .dim1 = std::move(dim1),
                                                .dim2 = std::move(dim2)}));
}

QudimError QudimError::undefined_unit(std::string name) {
  return QudimError(
      std::make_unique<Data>(Data{.kind = ErrorKind::UndefinedUnit, .text1 = std::move(name)}));
}

QudimError QudimError::offset_unit_calculus(std::string units1, std::string units2) {
  return QudimError(std::make_unique<Data>(Data{.kind = ErrorKind::OffsetUnitCalculus,
                                                .text1 = std::move(units1),
                                                .text2 = std::move(units2)}));
}

QudimError QudimError::definition_syntax(std::string description) {
  return QudimError(std::make_unique<Data>(
      Data{.kind = ErrorKind::DefinitionSyntax, .text1 = std::move(description)}));
}

QudimError QudimError::redefinition(std::string name) {
  return QudimError(
      std::make_unique<Data>(Data{.kind = ErrorKind::Redefinition, .text1 = std::move(name)}));
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
