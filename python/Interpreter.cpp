#include "python/Interpreter.h"

#include <stdexcept>
#include <string>

namespace kvhlr::python {
namespace {

thread_local bool t_drawing = false;

} // namespace

std::function<void(double)> stopOnSignal() {
    return [due = Every50ms()](double) mutable {
        if (!due.due())
            return;
        const py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0)
            throw py::error_already_set();
    };
}

bool ProgressHook::operator()(double share) {
    if (!m_due.due() && share == m_share)
        return true;
    m_share = share;
    const py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0)
        throw py::error_already_set();
    return m_callback.is_none() || !py::bool_(m_callback(share));
}

ThisThreadDraws::ThisThreadDraws() {
    if (t_drawing)
        throw std::runtime_error("draw cannot be called from its own progress callback");
    t_drawing = true;
}

ThisThreadDraws::~ThisThreadDraws() {
    t_drawing = false;
}

void warn(const std::string& message) {
    if (PyErr_WarnEx(PyExc_UserWarning, message.c_str(), 1) != 0)
        throw py::error_already_set();
}

} // namespace kvhlr::python
