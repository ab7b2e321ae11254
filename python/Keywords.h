#pragma once

// Python's arguments read as the kit's values, one rule for all: a wrong type is a TypeError and a bad
// value a ValueError, each naming the argument, and names (views, axes, papers, styles, orders) are
// compared without case.

#include "kit/camera/CameraFit.h"

#include <pybind11/pybind11.h>

#include <initializer_list>
#include <string>

namespace kvhlr::python {

namespace py = pybind11;

// `value` as a Value; TypeError "NAME must be a TYPE, not GIVEN" otherwise.
template <class Value> Value keyword(py::handle value, const char* name, const char* type) {
    try {
        return value.cast<Value>();
    } catch (const py::cast_error&) {
        throw py::type_error(std::string(name) + " must be " + type + ", not " +
                             std::string(py::str(py::type::of(value).attr("__name__"))));
    }
}

// A name given as a str, in lower case.
std::string nameOf(py::handle value, const char* name);

// The name given, in lower case, if it is one of `choices`; ValueError naming them otherwise.
std::string oneOf(py::handle value, const char* name, std::initializer_list<const char*> choices);

// 'y' or 'z', any case.
UpAxis upAxisOf(py::handle value, const char* name = "up_axis");

// A view's name as the kit reads it: a named view in lower case, and a section's view "section:A" with
// its letter in capitals.
std::string viewNameOf(const std::string& name);

} // namespace kvhlr::python
