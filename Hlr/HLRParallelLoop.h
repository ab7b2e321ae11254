#pragma once

#include "Hlr/HLRCancelPoll.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>

namespace KvHLR {

// The library's parallel loops: the OpenMP team they run on, and the share of the work a thread takes at
// a time.

// The stages of the projected model's build (projecting vertices, the triangles' planes and facings,
// choosing and classifying edges, boxing triangles) work on blocks of this many items at a time
// (forEachBlock), each stage on the team once a store or face has more than one block; a store of one
// block stays on the calling thread, so that a small call costs what it did without a team.
constexpr std::size_t kItemsPerBlock = 16384;

// The edges a thread of a hide pass takes at a time (runInParallel), with either hide test: edges take
// very different times, so they go out in small blocks; a pass of one block runs on the calling thread.
constexpr std::ptrdiff_t kEdgesPerBlock = 1024;

// The OpenMP team of the library's parallel loops: the OpenMP setting, but never more than a few
// threads per processor. A host that asks for tens of thousands would otherwise crash the OpenMP
// runtime, and more threads than that gain nothing on work items of microseconds. One thread in a
// process forked after the library's first team.
int teamSize();

// The team for a loop that `parallel` says is worth one: teamSize(), remembered so that the end of the
// call lets its threads go (releaseTeam); otherwise 1, and no thread is woken or started.
int teamFor(bool parallel);

// Whether the library may start threads of its own beside the team's: not in the WebAssembly module
// built without threads, where a thread can never start (and libc++'s std::async, failing to start
// one, waits for it for ever rather than running its task deferred).
bool canStartThreads();

// At the end of a call: where a loop of the call ran with a team, its idle threads are released. Left
// alone, the OpenMP runtime keeps them spinning for milliseconds after every loop in wait of the next
// one, taking a processor from the host's own threads between calls (and, on a small drawing, from the
// calling thread). The next team starts them again, for a fraction of a millisecond, which only a loop
// with enough work to pay for it asks for.
void releaseTeam();

// Runs body(state, i) for every i in [0, count) on the library's OpenMP team, `perBlock` items handed to
// a thread at a time, each thread with a state of its own from makeState() (a query's stamps, say).
// The team starts only when there is more than one block (teamFor), and the caller's thread works alone
// otherwise. An exception may not leave a parallel region: the first one a
// body throws (a cancel, or a failure that makes the result useless anyway) stops the loop, the items
// left are skipped, and it is thrown again once every thread is done.
template <class MakeState, class Body>
void runInParallel(std::ptrdiff_t count, std::ptrdiff_t perBlock, MakeState&& makeState, Body&& body) {
    std::exception_ptr failure;
    std::atomic<bool> failed{false};
    // Read by the pragmas alone, which a serial build (KVHLR_OPENMP=OFF) ignores.
    [[maybe_unused]] const int team = teamFor(count > perBlock);
#pragma omp parallel num_threads(team)
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
