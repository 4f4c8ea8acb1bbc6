#include "python/src/errors.h"

#include <exception>
#include <new>

#include "zormix/error.h"

namespace py = pybind11;

namespace zormix::python {
namespace {

// The identifiers the MEX module gives these failures too.
constexpr const char* kOutOfMemoryId = "zormix:outOfMemory";
constexpr const char* kInternalId = "zormix:internal";

}  // namespace

void SetError(const std::string& id, const std::string& message) {
  try {
    const py::object error = py::module_::import("zormix._errors").attr("make_error")(id, message);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  } catch (py::error_already_set& failure) {
    failure.restore();  // the package is broken: its own error is the more useful one
  }
}

void RaiseError(const std::string& id, const std::string& message) {
  SetError(id, message);
  throw py::error_already_set();
}

void RegisterErrorTranslator() {
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const Error& error) {
      SetError(error.id(), error.what());
    } catch (const std::bad_alloc&) {
      SetError(kOutOfMemoryId, "out of memory");
    } catch (const py::builtin_exception&) {
      throw;  // pybind11's own (TypeError of a conversion, ...): its translator knows them
    } catch (const std::exception& error) {
      SetError(kInternalId, error.what());
    }
  });
}

}  // namespace zormix::python
