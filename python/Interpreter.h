#pragma once

// The interpreter while the kit works: a long call gives up the interpreter (other threads run) and
// takes it back now and then to run the signal handlers (Ctrl-C) and the caller's progress callback.
//
// In:  the kit's progress hooks, called in the working thread. Out: the work stopped by the exception
//      that a signal handler or the callback raised, which the call raises again.

#include <pybind11/pybind11.h>

#include <chrono>
#include <functional>
#include <string>

namespace kvhlr::python {

namespace py = pybind11;

// How often a long call that has given up the interpreter takes it back: often enough for Ctrl-C and a
// cancel button, rarely enough not to slow the work or the other threads.
class Every50ms {
public:
    // True when 50 ms have passed since it was last true (or since the start).
    bool due() {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < std::chrono::milliseconds(50))
            return false;
        m_last = now;
        return true;
    }

private:
    std::chrono::steady_clock::time_point m_last;
};

// The progress hook of a kit step that has given up the interpreter (laying out a page, plotter order,
// writing): it runs the signal handlers every 50 ms, and a handler that raised
// (Ctrl-C) stops the step with py::error_already_set.
std::function<void(double)> stopOnSignal();

// A drawing's progress hook (DrawOptions::progress), in the drawing's thread, which has given up the
// interpreter. The kit calls it whenever the share grows and otherwise about every 20 ms, whatever the
// stage; the interpreter is taken back when the share changes or 50 ms have passed. A pending Ctrl-C
// (or any signal whose handler raises) cancels the drawing even without a callback; the exception
// raised by the handler or by the callback goes through the library and is raised again by draw.
class ProgressHook {
public:
    // `callback` (None or a callable told the share, whose true result cancels) must outlive the hook.
    explicit ProgressHook(const py::object& callback) : m_callback(callback) {}

    bool operator()(double share);

private:
    const py::object& m_callback;
    double m_share = -1.0;
    Every50ms m_due;
};

// Marks the calling thread as drawing while it lives. Throws std::runtime_error when the thread
// already draws: a progress callback that draws again would wait for itself forever.
class ThisThreadDraws {
public:
    ThisThreadDraws();
    ~ThisThreadDraws();
    ThisThreadDraws(const ThisThreadDraws&) = delete;
    ThisThreadDraws& operator=(const ThisThreadDraws&) = delete;
};

// A UserWarning of `message`, raised as an exception where the warnings filter says so.
void warn(const std::string& message);

} // namespace kvhlr::python
