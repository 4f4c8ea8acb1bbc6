// The complex number of every stage of the solver.
#ifndef ZORMIX_COMPLEX_H_
#define ZORMIX_COMPLEX_H_

#include <complex>

namespace zormix {

using Complex = std::complex<double>;

}  // namespace zormix

#endif  // ZORMIX_COMPLEX_H_
