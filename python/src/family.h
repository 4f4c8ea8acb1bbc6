// Families of systems on the Python side: a parsed family, the start of its sweeps (solved, saved,
// loaded) and the sweep of its members by parameter homotopy.
#ifndef ZORMIX_PYTHON_FAMILY_H_
#define ZORMIX_PYTHON_FAMILY_H_

#include <pybind11/pybind11.h>

namespace zormix::python {

void BindFamilies(pybind11::module_& m);

}  // namespace zormix::python

#endif  // ZORMIX_PYTHON_FAMILY_H_
