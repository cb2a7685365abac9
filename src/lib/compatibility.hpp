// is_compatible_with for Quantity and Unit: the argument is sorted into a
// kind and copied before the registry lock is taken, then compared under it
// by units_compatible.
#pragma once

#include "lib/py.hpp"

#include "quantity/compatibility.hpp"  // CompatArg, units_compatible

namespace qudim::py {

/// Sorts other into its kind. For a quantity's question a Quantity counts as
/// units and a plain value as Plain; for a unit's question both are Never.
/// False with an error set when a str cannot be read as UTF-8.
bool classify_compat_arg(PyObject* other, bool for_quantity, CompatArg& out);

}  // namespace qudim::py
