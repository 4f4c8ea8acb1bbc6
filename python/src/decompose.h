// zormix.decompose on the Python side: the decomposition and membership queries, returned as the
// JSON of `zormix decompose` that the package turns into NumPy arrays.
#ifndef ZORMIX_PYTHON_DECOMPOSE_H_
#define ZORMIX_PYTHON_DECOMPOSE_H_

#include <pybind11/pybind11.h>

namespace zormix::python {

void BindDecompose(pybind11::module_& m);

}  // namespace zormix::python

#endif  // ZORMIX_PYTHON_DECOMPOSE_H_
