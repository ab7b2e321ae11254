#include "Hlr/HLRParallelLoop.h"

#include <omp.h>

#include <thread>

#include <unistd.h>

namespace KvHLR {

namespace {

// Whether a loop ran with a team since the last release. Written by the calling thread only: the
// entry points run one call at a time.
bool g_teamStarted = false;

} // namespace

int teamSize() {
    // The OpenMP runtime cannot start threads in a process forked after it did (its threads stay
    // behind in the parent, and a team would wait for them forever): such a child works alone.
    static const pid_t firstUser = getpid();
    if (getpid() != firstUser) {
        return 1;
    }
    const int perMachine = std::max(64, 4 * static_cast<int>(std::thread::hardware_concurrency()));
    return std::min(omp_get_max_threads(), perMachine);
}

int teamFor(bool parallel) {
    const int team = parallel ? teamSize() : 1;
    g_teamStarted = g_teamStarted || team > 1;
    return team;
}

bool canStartThreads() {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    return false;
#else
    return true;
#endif
}

void releaseTeam() {
    // Not in a process forked meanwhile: the runtime would wait for threads that stayed in the parent.
    if (g_teamStarted && teamSize() > 1) {
        // A soft pause: the runtime lets the threads of its teams go, or sleep, and starts them anew at
        // the next parallel loop; the host's settings (wait policy, team sizes) stay as they were.
        omp_pause_resource_all(omp_pause_soft);
    }
    g_teamStarted = false;
}

} // namespace KvHLR
