// Frequent progress (HLRCancelPoll): with the switch on, the callback is called all through a run, so
// that a cancel ends it at once whatever the stage, on a smooth mesh and on a sharp-edged one whose
// hidden lines keep the renewal and joining busy; the percentages never go back. Bounds are relative
// to the whole run's time, so that they hold under sanitizers and on a busy machine.

#include "Hlr/HLRCancelPoll.h"
#include "Scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Boxes in a 12 x 12 grid, 12 layers deep along the view: every box hides many others.
Polygon3D boxStack() {
    Polygon3D stack;
    for (int layer = 0; layer < 12; ++layer)
        for (int i = 0; i < 12; ++i)
            for (int j = 0; j < 12; ++j) {
                const ON_3dPoint lo(-1.5 + 0.25 * i + 0.01 * layer, -1.5 + 0.25 * j, -1.5 + 0.15 * layer);
                append(stack, box(lo, ON_3dPoint(lo.x + 0.2, lo.y + 0.2, lo.z + 0.1)));
            }
    return stack;
}

// Records when it is called and with what, and cancels once the run is `cancelAfter` seconds old.
struct Timeline {
    static inline Clock::time_point start;
    static inline double cancelAfter = 0.0;
    static inline std::vector<std::pair<double, long>> calls;

    static int callback(long percent, long) {
        const double now = secondsSince(start);
        calls.emplace_back(now, percent);
        return now < cancelAfter ? 0 : 1;
    }

    static bool run(Polygon3D const& model, double cancelAfterSeconds) {
        Polygon3D polygon = model;
        std::vector<StrokeLine> lines;
        cancelAfter = cancelAfterSeconds;
        calls.clear();
        start = Clock::now();
        return CalcSilhouette(everything(), isometric(ON_3dPoint(0, 0, 0)), polygon, {}, lines, callback);
    }
};

TEST(FrequentProgress, ACancelEndsTheRunAtOnceInEveryStage) {
    HLRCancelPoll::setFrequentProgress(true);
    for (auto const& [name, model] :
         {std::pair{"sphere", sphere(60, 120)}, std::pair{"box stack", boxStack()}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Timeline::run(model, 1e9));
        const double whole = secondsSince(Timeline::start);
        const auto& calls = Timeline::calls;
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().second, 100);
        double longestWait = calls.front().first + (whole - calls.back().first);
        for (std::size_t i = 1; i < calls.size(); ++i) {
            EXPECT_GE(calls[i].second, calls[i - 1].second) << "call " << i;
            longestWait = std::max(longestWait, calls[i].first - calls[i - 1].first);
        }
        EXPECT_LT(longestWait, 0.25 * whole + 0.1) << "of " << whole << " s";

        for (double share : {0.2, 0.5, 0.8}) {
            // From the request (the run's age passing the mark) to the return.
            if (!Timeline::run(model, share * whole)) {
                EXPECT_LT(secondsSince(Timeline::start) - share * whole, 0.2 * whole + 0.1)
                    << "cancelled at " << share << " of " << whole << " s";
            }
        }
    }
    HLRCancelPoll::setFrequentProgress(false);
}

} // namespace
