// The core's single error type and the Result<T> that carries it.
#pragma once

#include <memory>       // std::unique_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <type_traits>  // std::is_void_v
#include <utility>      // std::move
#include <variant>      // std::variant

#include "units_container.hpp"  // UnitsContainer

namespace qudim {

/// The five kinds, in their fixed order (the binding maps each to a class).
enum class ErrorKind : unsigned char {
  Dimensionality = 0,
  UndefinedUnit = 1,
  OffsetUnitCalculus = 2,
  DefinitionSyntax = 3,
  Redefinition = 4,
};

/// A core failure. Travels as one owning pointer so results stay small.
class QudimError {
 public:
  static QudimError dimensionality(std::string units1, std::string units2,
                                   std::optional<UnitsContainer> dim1,
                                   std::optional<UnitsContainer> dim2);
  static QudimError undefined_unit(std::string name);
  static QudimError offset_unit_calculus(std::string units1, std::string units2);
  static QudimError definition_syntax(std::string description);
  static QudimError redefinition(std::string name);

  ErrorKind kind() const noexcept { return data_->kind; }
  /// The fixed message text, e.g. "'furlongz' is not defined in the unit registry".
  std::string message() const;

  /// An extra hint shown after the message (for example close spellings of an
  /// undefined name); empty when there is none. It never changes message().
  const std::string& note() const noexcept { return data_->note; }
  void set_note(std::string note) { data_->note = std::move(note); }

  /// The undefined name, the description, or the first units text.
  const std::string& text1() const noexcept { return data_->text1; }

 private:
  struct Data {
    ErrorKind kind;
    std::string text1 = {};  // units1 / the name / the description
    std::string text2 = {};  // units2 (dimensionality and offset kinds only)
    std::optional<UnitsContainer> dim1 = {};
    std::optional<UnitsContainer> dim2 = {};
    std::string note = {};
  };
  explicit QudimError(std::unique_ptr<Data> data) : data_(std::move(data)) {}
  std::unique_ptr<Data> data_;
};

/// Either a value or a QudimError. Result<void> carries only the error.
template <class T>
class [[nodiscard]] Result {
 public:
  // By reference, so that returning a local moves it in once, not twice.
  Result(const T& value) : v_(std::in_place_index<0>, value) {}
  Result(T&& value) : v_(std::in_place_index<0>, std::move(value)) {}
  Result(QudimError error) : v_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const noexcept { return v_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }
  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  T* operator->() { return &std::get<0>(v_); }
  const T* operator->() const { return &std::get<0>(v_); }
  T& operator*() & { return std::get<0>(v_); }
  const T& operator*() const& { return std::get<0>(v_); }
  const QudimError& error() const& { return std::get<1>(v_); }
  QudimError& error() & { return std::get<1>(v_); }
  QudimError&& error() && { return std::get<1>(std::move(v_)); }
  QudimError take_error() { return std::get<1>(std::move(v_)); }

 private:
  std::variant<T, QudimError> v_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(QudimError error) : err_(std::move(error)) {}

  bool ok() const noexcept { return !err_.has_value(); }
  explicit operator bool() const noexcept { return ok(); }
  const QudimError& error() const& { return *err_; }
  QudimError& error() & { return *err_; }
  QudimError take_error() { return std::move(*err_); }

 private:
  std::optional<QudimError> err_;
};

using Status = Result<void>;

}  // namespace qudim
