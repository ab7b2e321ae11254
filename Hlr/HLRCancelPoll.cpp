#include "Hlr/HLRCancelPoll.h"

#include "Hlr/HLRCancelException.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace KvHLR {

namespace {

using Clock = std::chrono::steady_clock;

// Reading the clock costs more than the rest of a check (a large model's build checks tens of millions
// of times), and the loops that check take well under a millisecond for 64 rounds, so the clock is read
// at every 64th check only.
constexpr unsigned kChecksPerClockRead = 64;
constexpr Clock::duration kInterval = std::chrono::milliseconds(20);

std::atomic<bool> frequentSwitch{false};

// The run under way. Runs take turns behind the entry points' lock; the calling thread arms and
// disarms, workers only read `armed` and `cancelled` while the run goes on.
struct RunState {
    // Read at every check by every thread, written when a run starts, ends or is cancelled.
    alignas(64) std::atomic<bool> armed{false};
    std::atomic<bool> cancelled{false};
    std::atomic<std::thread::id> caller;
    HLRProgressCallback callback = nullptr;
    // Written at every check of the calling thread: on a cache line of their own, or each of those writes
    // would take from the other threads the line they read at their checks (a tenth of a 10M-triangle
    // drawing went on that, once its build ran on both threads).
    alignas(64) std::int32_t percent = 0; // the largest reported
    unsigned checks = 0;
    Clock::time_point called;
};
RunState state;

void call() {
    state.called = Clock::now();
    if (state.callback(state.percent, 100) != 0) {
        state.cancelled.store(true);
        throw HLRCancelException("HLRCancelPoll: the run is canceled.", __FILE__, __LINE__);
    }
}

// A check from any thread; the calling thread reads the clock every time with `readClock`, else at
// every kChecksPerClockRead-th check.
void poll(bool readClock) {
    if (!state.armed.load(std::memory_order_relaxed))
        return;
    if (std::this_thread::get_id() != state.caller.load(std::memory_order_relaxed)) {
        if (state.cancelled.load(std::memory_order_relaxed))
            throw HLRCancelException("HLRCancelPoll: the run is canceled.", __FILE__, __LINE__);
        return;
    }
    if ((readClock || ++state.checks % kChecksPerClockRead == 0) && Clock::now() - state.called >= kInterval)
        call();
}

} // namespace

void HLRCancelPoll::setFrequentProgress(bool on) {
    frequentSwitch.store(on);
}

bool HLRCancelPoll::frequentProgress() {
    return frequentSwitch.load();
}

HLRCancelPoll::Run::Run(HLRProgressCallback callback, bool frequent) {
    state.caller.store(std::this_thread::get_id());
    state.callback = callback;
    state.percent = 0;
    state.checks = 0;
    state.called = Clock::now();
    state.cancelled.store(false);
    state.armed.store(callback != nullptr && frequent);
}

HLRCancelPoll::Run::~Run() {
    state.armed.store(false);
}

bool HLRCancelPoll::armed() {
    return state.armed.load(std::memory_order_relaxed);
}

void HLRCancelPoll::report(std::int32_t percent) {
    if (percent > state.percent) {
        state.percent = percent;
        call();
    } else {
        check();
    }
}

void HLRCancelPoll::check() {
    poll(false);
}

void HLRCancelPoll::checkNow() {
    poll(true);
}

} // namespace KvHLR
