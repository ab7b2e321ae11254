#include "kit/WorkSharing.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace kvhlr {

unsigned threadsFor(unsigned asked, std::size_t work, std::size_t perThread) {
    if (asked != 0)
        return asked;
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::clamp<std::size_t>(work / perThread, 1, cores));
}

void runInParallel(unsigned count, const std::function<void(unsigned)>& work) {
    std::vector<std::exception_ptr> errors(count);
    auto run = [&](unsigned k) {
        try {
            work(k);
        } catch (...) {
            errors[k] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(count);
    unsigned started = 1;
    try {
        for (; started < count; ++started)
            threads.emplace_back(run, started);
    } catch (const std::system_error&) {
        // No more threads to be had: the calling thread does the rest of the work.
    }
    run(0);
    for (unsigned k = started; k < count; ++k)
        run(k);
    for (std::thread& thread : threads)
        thread.join();
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
}

} // namespace kvhlr
