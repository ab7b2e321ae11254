#pragma once

#include "Hlr/HLRProgressObservable.h"
#include "api/KvHLRExport.h"

#include <cstdint>

namespace KvHLR {

// Frequent progress calls, so that a cancel request ends a run within a fraction of a second whatever
// the stage. The progress stages report at a few fixed points only, and on a large model several
// stages (the projection, the search tree, the hide pass, the renewal of the stroke network, the
// joining) run for seconds between two reports, or after the last one.
//
// With the switch on (off by default; read once at the start of each run), a run calls the progress
// callback whenever its percentage grows and otherwise about every 20 ms of work, at every stage, with
// the largest percentage reached so far (so it never goes back); the stage reports that would repeat a
// percentage within those 20 ms are left out. The callback is called from the thread that called
// CalcSilhouette only; a non-zero answer throws HLRCancelException there, and worker threads of the
// projected build, the tree build and the hide pass stop at their next check. Off, the callback is
// called exactly at the stage reports, as it always was.
class KVHLR_API HLRCancelPoll {
public:
    static void setFrequentProgress(bool on);
    static bool frequentProgress();

    // Arms the checks for one run on the calling thread while it lives, frequent or not as the run's
    // modes say (HLRRunModes: the switch as it is now, or the caller's choice for that call); the entry
    // points hold one around each run. Without it (stages run by the host itself), or without a
    // callback, the checks do nothing.
    class Run {
    public:
        Run(HLRProgressCallback callback, bool frequent);
        ~Run();
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;
    };

    // Whether the run is armed with frequent progress: the stages then report through report().
    static bool armed();
    // A stage report of `percent` in the armed run, from the calling thread: forwarded when the
    // percentage grows or the last call is 20 ms old; throws HLRCancelException on a non-zero answer.
    static void report(std::int32_t percent);
    // A check in a long loop, from any thread: in the calling thread it calls the callback when the
    // last call is 20 ms old; in any thread it throws HLRCancelException once the run is cancelled.
    static void check();
    // The same check reading the clock every time: for loops whose steps take a millisecond or more
    // (a block of a parallel loop), where check() would read it too seldom.
    static void checkNow();
};

} // namespace KvHLR
