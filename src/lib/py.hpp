// Python.h, included first everywhere in the binding, with the clean-API macro.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>
