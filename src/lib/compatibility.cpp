// Dimensional compatibility of a unit map with a Python argument.
#include "lib/compatibility.hpp"

#include "lib/objects.hpp"  // is_quantity, is_unit

namespace qudim::py {

bool classify_compat_arg(PyObject* other, bool for_quantity, CompatArg& out) {
  if (is_unit(other)) {
    out.kind = CompatArg::Kind::Units;
    out.units = as_unit(other)->units;
  } else if (for_quantity && is_quantity(other)) {
    out.kind = CompatArg::Kind::Units;
    out.units = as_quantity(other)->units;
  } else if (PyUnicode_Check(other)) {
    Py_ssize_t len = 0;
    const char* data = PyUnicode_AsUTF8AndSize(other, &len);
    if (data == nullptr) return false;
    out.kind = CompatArg::Kind::Text;
    out.text = std::string_view(data, static_cast<std::size_t>(len));
  } else {
    out.kind = for_quantity ? CompatArg::Kind::Plain : CompatArg::Kind::Never;
  }
  return true;
}

Result<bool> units_compatible(UnitRegistry& registry, const UnitsContainer& units,
                              const CompatArg& other) {
  Result<UnitsContainer> dims = registry.get_dimensionality(units);
  if (!dims) return dims.take_error();
  switch (other.kind) {
    case CompatArg::Kind::Plain:
      return dims->empty();
    case CompatArg::Kind::Never:
      return false;
    case CompatArg::Kind::Units: {
      Result<UnitsContainer> other_dims = registry.get_dimensionality(other.units);
      if (!other_dims) return other_dims.take_error();
      return *dims == *other_dims;
    }
    case CompatArg::Kind::Text: {
      Result<UnitsContainer> parsed = registry.parse_unit_expr(other.text);
      if (!parsed) return parsed.take_error();
      Result<UnitsContainer> other_dims = registry.get_dimensionality(*parsed);
      if (!other_dims) return other_dims.take_error();
      return *dims == *other_dims;
    }
  }
  return false;
}

}  // namespace qudim::py
