#pragma once

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRWindowQueryTraverser.h"

#include <algorithm>
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

// Runs body(block, begin, end) for the blocks [k * blockSize, min((k + 1) * blockSize, count)) of
// [0, count), on the team as runInParallel does, a block at a time: for work whose results are kept per
// block and put together in block order after, so that they come out the same on any number of threads;
// blockCount gives the number of blocks, for the results' room. A cancel check follows every block, so
// that bodies without checks of their own (filling pages, say) still answer a cancel within a block.
inline std::size_t blockCount(std::size_t count, std::size_t blockSize) {
    return (count + blockSize - 1) / blockSize;
}

template <class Body> void forEachBlock(std::size_t count, std::size_t blockSize, Body&& body) {
    const std::size_t blocks = blockCount(count, blockSize);
    if (blocks <= 1) {
        body(std::size_t{0}, std::size_t{0}, count); // a small drawing's stage: not worth even a team of one
        return;
    }
    runInParallel(
        static_cast<std::ptrdiff_t>(blocks), 1, [] { return 0; },
        [&](int, std::ptrdiff_t block) {
            const std::size_t begin = static_cast<std::size_t>(block) * blockSize;
            body(static_cast<std::size_t>(block), begin, std::min(count, begin + blockSize));
            HLRCancelPoll::checkNow();
        });
}

} // namespace KvHLR
