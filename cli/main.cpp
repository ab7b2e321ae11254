#include "cli/Progress.h"
#include "cli/Tool.h"

#include <cstdlib>

namespace {

// The library's OpenMP threads wait for work asleep rather than spinning, unless the user asks
// otherwise with OMP_WAIT_POLICY. The tool runs threads of its own beside them (reading and writing
// files, the search for parts that cannot cross themselves beside the projection), and on a machine of
// few cores a thread that spins while it waits takes their time: on two cores the 1M-triangle box stack
// spent about a second of its six seconds of processor time spinning. The OpenMP runtime reads the
// setting when it is loaded, before main and before any static constructor of ours, so it is set from
// the executable's pre-initialisation functions, which the loader runs before those of any shared
// library.
void sleepWhileWaiting(int, char**, char**) {
    setenv("OMP_WAIT_POLICY", "passive", 0);
}

__attribute__((section(".preinit_array"), used)) void (*const kSleepWhileWaiting)(int, char**, char**) =
    sleepWhileWaiting;

} // namespace

int main(int argc, char** argv) {
    // First of all, so that an early Ctrl-C also stops the tool cleanly.
    kvhlr::installStopHandlers();
    return kvhlr::runTool(argc, argv);
}
