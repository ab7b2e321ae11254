#include "tests/WindowQuery/WindowQueryTestSupport.h"

#include "WindowQuery/Grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using namespace WindowQueryTest;
using Grid = WindowQuery::Grid<BoxTraits>;

namespace {

// Builds on a thread for each block, all at once, as a team of many threads would.
struct ThreadedBoxTraits : BoxTraits {
    template <class Body> static void forEachBlock(std::size_t count, std::size_t blockSize, Body&& body) {
        std::vector<std::thread> threads;
        for (std::size_t first = 0; first < count; first += blockSize) {
            threads.emplace_back(
                [&body, first, end = std::min(count, first + blockSize)] { body(first, end); });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
};

// Runs a stage of at most one block as one call, even a stage of none, as the library's loops do.
struct SmallStageBoxTraits : BoxTraits {
    template <class Body> static void forEachBlock(std::size_t count, std::size_t blockSize, Body&& body) {
        for (std::size_t first = 0; first < count || first == 0; first += blockSize) {
            body(first, std::min(count, first + blockSize));
        }
    }
};

// What a query reports, in its order, each index and box checked against the item reported with them.
template <class Traits>
std::vector<std::size_t> query(const WindowQuery::Grid<Traits>& grid, const TestBox& window,
                               std::int16_t nearest = 0) {
    using WindowQuery::Imple::QuantisedBox;
    std::vector<std::size_t> reported;
    grid.forEachMeeting(QuantisedBox::fromCodes(window.minCode, window.maxCode), nearest,
                        [&](const TestBox* item, std::size_t index, const QuantisedBox& box) {
                            EXPECT_EQ(item, grid.items()[index]);
                            const QuantisedBox own = QuantisedBox::fromCodes(item->minCode, item->maxCode);
                            EXPECT_EQ(std::vector<int>({box.x0, box.y0, box.x1, box.y1}),
                                      std::vector<int>({own.x0, own.y0, own.x1, own.y1}));
                            reported.push_back(index);
                            return true;
                        });
    return reported;
}

std::vector<std::size_t> meetingIndices(const std::vector<TestBox>& boxes, const TestBox& window,
                                        const std::vector<std::int16_t>& nearness, std::int16_t nearest) {
    std::vector<std::size_t> expected;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (meets(boxes[i], window) && nearness[i] >= nearest) {
            expected.push_back(i);
        }
    }
    return expected;
}

} // namespace

// Sets from a dozen boxes (a grid of few, coarse cells) to a mesh's worth (fine cells, with long and
// flat boxes filed on coarser levels), each box at one of a few depths: each meeting box near enough
// reported once, and none other, by a grid of all the boxes and by one built for the windows asked.
TEST(Grid, ReportsEachMeetingBoxNearEnoughOnce) {
    BoxGenerator generator(5);
    for (const std::size_t count : {12u, 700u, 40000u}) {
        const std::vector<TestBox> boxes = generator.meshLike(count);
        std::vector<std::int16_t> nearness;
        for (std::size_t i = 0; i < count; ++i) {
            nearness.push_back(static_cast<std::int16_t>(generator.uniform(0, 9)));
        }
        std::vector<TestBox> windows;
        std::vector<WindowQuery::Imple::QuantisedBox> known;
        for (int i = 0; i < 300; ++i) {
            windows.push_back(i % 3 == 0 ? generator.around(3) : i % 3 == 1 ? generator.around(150)
                                                                            : generator.onLattice(97));
            known.push_back(WindowQuery::Imple::QuantisedBox::fromCodes(windows.back().minCode, windows.back().maxCode));
        }
        const Grid whole(pointersTo(boxes), nearness);
        const Grid forWindows(pointersTo(boxes), nearness, &known);
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const auto nearest = static_cast<std::int16_t>(i % 2 == 0 ? 0 : generator.uniform(0, 10));
            const std::vector<std::size_t> expected = meetingIndices(boxes, windows[i], nearness, nearest);
            for (const Grid* grid : {&whole, &forWindows}) {
                std::vector<std::size_t> reported = query(*grid, windows[i], nearest);
                std::sort(reported.begin(), reported.end());
                const Corners w = corners(windows[i]);
                ASSERT_EQ(reported, expected) << count << " boxes, window " << w.x0 << "," << w.y0 << " - " << w.x1
                                              << "," << w.y1 << ", nearness from " << nearest
                                              << (grid == &whole ? "" : ", grid for the windows");
            }
        }
    }
}

TEST(Grid, BordersFlatBoxesAndTheWholeFieldCount) {
    const std::vector<TestBox> boxes = borderCaseBoxes();
    const Grid grid(pointersTo(boxes));
    std::vector<std::size_t> reported = query(grid, kBorderCaseWindow);
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported, kBorderCaseMeeting);
}

// A model whose triangles all lie out of the hide pass's reach leaves a grid of none, built by traits
// that run no block for it or one block of none.
TEST(Grid, HoldsNoItems) {
    const std::vector<TestBox> none;
    EXPECT_TRUE(query(Grid(pointersTo(none)), kBorderCaseWindow).empty());
    EXPECT_TRUE(query(WindowQuery::Grid<SmallStageBoxTraits>(pointersTo(none)), kBorderCaseWindow).empty());
}

TEST(Grid, StopsWhenAVisitSaysSo) {
    BoxGenerator generator(9);
    const std::vector<TestBox> boxes = generator.meshLike(5000);
    const Grid grid(pointersTo(boxes));
    const auto window = WindowQuery::Imple::QuantisedBox::fromCodes(code(300, 300), code(700, 700));
    std::size_t visits = 0;
    EXPECT_FALSE(grid.forEachMeeting(window, 0,
                                     [&](const TestBox*, std::size_t, const auto&) { return ++visits < 3; }));
    EXPECT_EQ(visits, 3u);
    EXPECT_TRUE(
        grid.forEachMeeting(window, 0, [](const TestBox*, std::size_t, const auto&) { return true; }));
}

// Over a hundred thousand small boxes (so that the build takes several blocks of items, and a cell holds
// items of several blocks), all filed on the finest level: a window inside one of its cells (8 fields a
// side here) reads that cell alone, so the grid reports the boxes it meets nearest first and then in the
// items' order, built on threads or on the calling thread alike.
TEST(Grid, ListsACellNearestFirstThenInTheItemsOrderOnAnyThreads) {
    BoxGenerator generator(11);
    std::vector<TestBox> boxes;
    std::vector<std::int16_t> nearness;
    for (int i = 0; i < 120000; ++i) {
        boxes.push_back(generator.around(4));
        nearness.push_back(static_cast<std::int16_t>(generator.uniform(0, 3)));
    }
    const Grid serial(pointersTo(boxes), nearness);
    const WindowQuery::Grid<ThreadedBoxTraits> threaded(pointersTo(boxes), nearness);
    const Grid serialUnordered(pointersTo(boxes));
    const WindowQuery::Grid<ThreadedBoxTraits> threadedUnordered(pointersTo(boxes));
    for (int i = 0; i < 400; ++i) {
        const int x = generator.uniform(0, 126) * 8, y = generator.uniform(0, 126) * 8;
        const TestBox window = i % 2 == 0 ? box(x, y, x + 7, y + 7) : box(x + 3, y + 5, x + 3, y + 5);
        std::vector<std::size_t> expected = meetingIndices(boxes, window, nearness, 0);
        ASSERT_EQ(query(serialUnordered, window), expected) << "window at " << x << "," << y;
        ASSERT_EQ(query(threadedUnordered, window), expected) << "window at " << x << "," << y;
        std::stable_sort(expected.begin(), expected.end(),
                         [&](std::size_t a, std::size_t b) { return nearness[a] > nearness[b]; });
        ASSERT_EQ(query(serial, window), expected) << "window at " << x << "," << y;
        ASSERT_EQ(query(threaded, window), expected) << "window at " << x << "," << y;
    }
}
