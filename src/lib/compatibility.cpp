// The argument of is_compatible_with, sorted into the kind it counts as.
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

}  // namespace qudim::py
