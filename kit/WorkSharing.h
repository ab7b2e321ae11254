#pragma once

// The kit's sharing of one large piece of work among threads: the mesh readers split a file's bytes, the
// welder its vertices and the JSON writer a drawing's lines. Threads are started for the call and joined
// before it returns; where none can be started (the browser's module), the calling thread does it all.

#include <cstddef>
#include <functional>

namespace kvhlr {

// How many threads share `work` items: `asked` when it is not 0 (tests and benchmarks choose), otherwise
// one for every `perThread` items up to the machine's cores, and at least one. Small files are read
// often (batches, tests), and starting threads would cost them more than it saves.
unsigned threadsFor(unsigned asked, std::size_t work, std::size_t perThread);

// Runs work(0) to work(count - 1) at the same time, work(0) on the calling thread and each other on a
// thread of its own. Once all have returned, rethrows the exception of the lowest k whose work threw, so
// that the first problem in the input is the one reported.
void runInParallel(unsigned count, const std::function<void(unsigned)>& work);

} // namespace kvhlr
