#pragma once

// Files' errors as Python callers expect them: a file that cannot be read or written, or whose content
// is not understood, raises OSError, as the interpreter's own file functions do; the kit's other input
// errors are ValueErrors (the module's exception translator, python/Module.cpp).

#include "kit/InputError.h"

#include <stdexcept>

namespace kvhlr::python {

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs `call`, whose InputErrors are about a file unless they name a parameter (the CAD reader's limit
// that a file needs more than), and returns what it returns.
template <class Call> auto fileCall(Call call) {
    try {
        return call();
    } catch (const InputError& error) {
        if (!error.parameter().empty())
            throw;
        throw FileError(error.what());
    }
}

} // namespace kvhlr::python
