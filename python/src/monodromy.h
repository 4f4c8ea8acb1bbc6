// A family's start found by monodromy, on the Python side.
#ifndef ZORMIX_PYTHON_MONODROMY_H_
#define ZORMIX_PYTHON_MONODROMY_H_

#include <pybind11/pybind11.h>

namespace zormix::python {

void BindMonodromy(pybind11::module_& m);

}  // namespace zormix::python

#endif  // ZORMIX_PYTHON_MONODROMY_H_
