// zormix::Error (and running out of memory) as the Python exception class named after the
// identifier, from zormix._errors.
#ifndef ZORMIX_PYTHON_ERRORS_H_
#define ZORMIX_PYTHON_ERRORS_H_

#include <pybind11/pybind11.h>

#include <string>

namespace zormix::python {

// Sets the Python error for identifier id, with the GIL held.
void SetError(const std::string& id, const std::string& message);
// SetError, then throws it as pybind11::error_already_set.
[[noreturn]] void RaiseError(const std::string& id, const std::string& message);
// Translates every zormix::Error, std::bad_alloc and other C++ exception (zormix.Internal) that
// leaves a bound function.
void RegisterErrorTranslator();

}  // namespace zormix::python

#endif  // ZORMIX_PYTHON_ERRORS_H_
