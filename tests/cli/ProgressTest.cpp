// The progress display's line: shares, times and the estimate of the time left.

#include "cli/Progress.h"

#include <gtest/gtest.h>

namespace {

using kvhlr::progressLine;
using kvhlr::StageMeasure;

TEST(Progress, LineShowsNoHundredPercentBeforeTheStageIsOver) {
    EXPECT_EQ(progressLine("drawing", StageMeasure::Share, 1.0, 2.0, 1.0), "drawing  99%  2.0 s")
        << "the library's last share comes before its end";
    EXPECT_EQ(progressLine("reading a.obj", StageMeasure::ShareAndEstimate, 0.25, 3.0, 2.0),
              "reading a.obj  25%  3.0 s, about 6.0 s left");
    EXPECT_EQ(progressLine("reading a.obj", StageMeasure::ShareAndEstimate, 0.25, 3.0, 0.5), "reading a.obj  25%  3.0 s");
    EXPECT_EQ(progressLine("writing a.json", StageMeasure::TimeOnly, 0.5, 61.0, 1.0), "writing a.json  1:01");
}

} // namespace
