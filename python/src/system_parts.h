// A polynomial system as it crosses to Python: (term counts (n), exponents (m x n, one row per
// term), coefficients (m), variable names). The row-major m x n array has the memory of the
// column-major n x m matrix.
#ifndef ZORMIX_PYTHON_SYSTEM_PARTS_H_
#define ZORMIX_PYTHON_SYSTEM_PARTS_H_

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>

#include "zormix/complex.h"
#include "zormix/poly_system.h"

namespace zormix::python {

using IntArray =
    pybind11::array_t<std::int32_t, pybind11::array::c_style | pybind11::array::forcecast>;
using ComplexArray =
    pybind11::array_t<Complex, pybind11::array::c_style | pybind11::array::forcecast>;

pybind11::tuple SystemToTuple(const PolySystem& system);
// Throws Error kBadArgument when the parts do not fit together.
PolySystem SystemFromTuple(const pybind11::tuple& parts);

}  // namespace zormix::python

#endif  // ZORMIX_PYTHON_SYSTEM_PARTS_H_
