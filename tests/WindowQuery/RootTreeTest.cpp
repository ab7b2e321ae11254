#include "tests/WindowQuery/WindowQueryTestSupport.h"

#include "WindowQuery/RootTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace WindowQueryTest;
using Tree = WindowQuery::RootTree<BoxTraits>;

namespace {

std::vector<std::size_t> bruteForce(const std::vector<TestBox>& boxes, const TestBox& window) {
    std::vector<std::size_t> expected;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (meets(boxes[i], window)) {
            expected.push_back(i);
        }
    }
    return expected;
}

// Checks one query against brute force: every meeting item reported, each exactly once, and through
// the item pointer that belongs to its index.
void expectMatchesBruteForce(const Tree& tree, const std::vector<TestBox>& boxes, const TestBox& window) {
    RecordingTraverser traverser;
    std::vector<std::size_t> reported = traverser.query(tree, window);
    for (std::size_t i = 0; i < reported.size(); ++i) {
        ASSERT_EQ(traverser.visitedItems[i], &boxes[reported[i]]);
    }
    std::sort(reported.begin(), reported.end());
    const Corners w = corners(window);
    ASSERT_EQ(reported, bruteForce(boxes, window))
        << "window " << w.x0 << "," << w.y0 << " - " << w.x1 << "," << w.y1;
}

std::vector<TestBox> randomWindows(BoxGenerator& generator, std::size_t count) {
    std::vector<TestBox> windows;
    for (std::size_t i = 0; i < count; ++i) {
        const int kind = generator.uniform(0, 3);
        windows.push_back(kind == 0   ? generator.around(4)
                          : kind == 1 ? generator.around(120)
                                      : generator.onLattice(97));
    }
    return windows;
}

class RootTreeThreads : public ::testing::TestWithParam<unsigned> {};

} // namespace

TEST_P(RootTreeThreads, ReportsExactlyTheMeetingItemsOfRandomBoxes) {
    BoxGenerator generator(17 + GetParam());
    const std::vector<std::vector<TestBox>> sets = {
        generator.meshLike(4000),
        [&] {
            std::vector<TestBox> lattice;
            for (int i = 0; i < 3000; ++i) {
                lattice.push_back(generator.onLattice(i % 2 ? 13 : 211));
            }
            return lattice;
        }(),
    };
    for (const std::vector<TestBox>& boxes : sets) {
        Tree tree;
        tree.build(pointersTo(boxes), GetParam());
        for (const TestBox& window : randomWindows(generator, 300)) {
            expectMatchesBruteForce(tree, boxes, window);
        }
    }
}

// A large set filters its items on a fine grid of the windows, a small one on a coarse grid. A subtree
// all of whose items the grid leaves out is not made, so that fewer subtrees may be entered; in the
// large set every subtree that a query enters holds some item.
TEST_P(RootTreeThreads, TreeBuiltForKnownWindowsAnswersThemAsTheWholeTreeDoes) {
    for (const auto& [boxCount, sameSubTrees] : {std::pair{20000u, true}, std::pair{150u, false}}) {
        BoxGenerator generator(23);
        const std::vector<TestBox> boxes = generator.meshLike(boxCount);
        const std::vector<const TestBox*> items = pointersTo(boxes);
        const std::vector<TestBox> windows = randomWindows(generator, 60);
        std::vector<WindowQuery::Imple::QuantisedBox> known;
        for (const TestBox& window : windows) {
            known.push_back(WindowQuery::Imple::QuantisedBox::fromCodes(window.minCode, window.maxCode));
        }
        Tree whole;
        whole.build(items, 0);
        Tree partial;
        partial.build(items, GetParam(), known);
        RecordingTraverser a;
        RecordingTraverser b;
        for (const TestBox& window : windows) {
            ASSERT_EQ(a.query(whole, window), b.query(partial, window)) << boxCount << " boxes";
            // The same subtrees reached, none of them left unbuilt.
            ASSERT_TRUE(sameSubTrees ? a.enters == b.enters : a.enters >= b.enters) << boxCount << " boxes";
        }
        // With no windows known no subtree is made, and any query finds nothing.
        Tree none;
        none.build(items, GetParam(), {});
        EXPECT_FALSE(a.query(whole, windows.front()).empty());
        EXPECT_TRUE(b.query(none, windows.front()).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(BuildThreads, RootTreeThreads, ::testing::Values(0u, 1u, 8u));

TEST(RootTree, BordersAndFlatItemsCount) {
    const std::vector<TestBox> boxes = borderCaseBoxes();
    Tree tree;
    tree.build(pointersTo(boxes), 0);
    RecordingTraverser traverser;
    std::vector<std::size_t> reported = traverser.query(tree, kBorderCaseWindow);
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported, kBorderCaseMeeting);
}

// Together the two corner entry points find the items whose box contains the window's minimum
// corner, and they leave the traverser's window as it was.
TEST(RootTree, CornerPhasesFindTheItemsContainingTheMinimumCorner) {
    BoxGenerator generator(41);
    const std::vector<TestBox> boxes = generator.meshLike(3000);
    Tree tree;
    tree.build(pointersTo(boxes), 0);
    RecordingTraverser traverser;
    for (const TestBox& window : randomWindows(generator, 200)) {
        const Corners w = corners(window);
        traverser.visited.clear();
        traverser.setWindow(window.minCode, window.maxCode);
        traverser.begin(boxes.size(), tree.items().data());
        tree.stabQueryAtMinimum(traverser);
        tree.rangeQueryAtMinimum(traverser);
        EXPECT_EQ(traverser.window().x1, w.x1);
        std::sort(traverser.visited.begin(), traverser.visited.end());
        ASSERT_EQ(traverser.visited, bruteForce(boxes, box(w.x0, w.y0, w.x0, w.y0)));
    }
}
