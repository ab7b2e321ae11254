#pragma once

#include "Hlr/HLRWindowQueryTraverser.h"

#include <atomic>
#include <cstddef>
#include <exception>

namespace KvHLR {

// Runs body(state, i) for every i in [0, count) on the library's OpenMP team, `perBlock` items handed to
// a thread at a time, each thread with a state of its own from makeState() (a query's stamps, say).
// The team starts only when there is more than one block (HLRWindowQueryTraverser::teamFor), and the
// caller's thread works alone otherwise. An exception may not leave a parallel region: the first one a
// body throws (a cancel, or a failure that makes the result useless anyway) stops the loop, the items
// left are skipped, and it is thrown again once every thread is done.
template <class MakeState, class Body>
void runInParallel(std::ptrdiff_t count, std::ptrdiff_t perBlock, MakeState&& makeState, Body&& body) {
    std::exception_ptr failure;
    std::atomic<bool> failed{false};
#pragma omp parallel num_threads(HLRWindowQueryTraverser::teamFor(count > perBlock))
    {
        auto state = makeState();
#pragma omp for schedule(dynamic, perBlock)
        for (std::ptrdiff_t i = 0; i < count; ++i) {
            if (failed.load(std::memory_order_relaxed)) {
                continue;
            }
            try {
                body(state, i);
            } catch (...) {
                failed.store(true);
#pragma omp critical(KvHLRParallelLoopFailure)
                if (!failure) {
                    failure = std::current_exception();
                }
            }
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace KvHLR
