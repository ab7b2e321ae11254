#pragma once

#include "WindowQuery/RootTree.h"
#include "WindowQuery/Traverser.h"

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace WindowQueryTest {

// A box on the tree's grid, stored as the packed codes the tree reads.
struct TestBox {
    std::uint32_t minCode;
    std::uint32_t maxCode;
};

struct BoxTraits {
    using Item = const TestBox*;
    static std::uint32_t minCode(const Item& item) { return item->minCode; }
    static std::uint32_t maxCode(const Item& item) { return item->maxCode; }
};

inline std::uint32_t code(int x, int y) {
    return (static_cast<std::uint32_t>(x) << 21) | (static_cast<std::uint32_t>(y) << 10);
}
inline TestBox box(int x0, int y0, int x1, int y1) {
    return TestBox{code(x0, y0), code(x1, y1)};
}

struct Corners {
    int x0, y0, x1, y1;
};
inline Corners corners(const TestBox& b) {
    return Corners{static_cast<int>(b.minCode >> 21), static_cast<int>((b.minCode >> 10) & 0x7FF),
                   static_cast<int>(b.maxCode >> 21), static_cast<int>((b.maxCode >> 10) & 0x7FF)};
}
inline bool meets(const TestBox& item, const TestBox& window) {
    const Corners a = corners(item);
    const Corners w = corners(window);
    return a.x0 <= w.x1 && a.x1 >= w.x0 && a.y0 <= w.y1 && a.y1 >= w.y0;
}

// Records what a query reports and how many subtrees it entered.
class RecordingTraverser : public WindowQuery::Traverser<BoxTraits> {
public:
    bool visit(const Item& item, std::size_t index) override {
        visited.push_back(index);
        visitedItems.push_back(item);
        return true;
    }
    void enterSubTree() override { ++enters; }

    std::vector<std::size_t> query(const WindowQuery::RootTree<BoxTraits>& tree, const TestBox& window) {
        visited.clear();
        visitedItems.clear();
        setWindow(window.minCode, window.maxCode);
        tree.query(*this);
        return visited;
    }

    std::vector<std::size_t> visited;
    std::vector<const TestBox*> visitedItems;
    int enters = 0;
};

// A window, and boxes on and around its borders: those it meets, bounds included, are listed in
// kBorderCaseMeeting.
inline const TestBox kBorderCaseWindow = box(100, 100, 200, 150);
inline std::vector<TestBox> borderCaseBoxes() {
    return {
        box(50, 120, 100, 130),                  // 0: touches the left border
        box(200, 120, 260, 130),                 // 1: touches the right border
        box(150, 40, 160, 100),                  // 2: touches the bottom border
        box(30, 150, 100, 300),                  // 3: touches a corner only
        box(50, 120, 99, 130),                   // 4: one quantum left of the window
        box(150, 151, 160, 170),                 // 5: one quantum above
        box(10, 125, 900, 125),                  // 6: flat in y, crossing the window
        box(150, 10, 150, 900),                  // 7: flat in x, crossing the window
        box(120, 120, 120, 120),                 // 8: a point inside
        box(201, 150, 201, 150),                 // 9: a point just outside
        box(0, 0, 1019, 1019),                   // 10: contains the window
        box(120, 90, 130, 160),                  // 11: crosses the window in y without an end inside
        box(10, 151, 900, 151),                  // 12: flat in y, just above
        TestBox{code(260, 140), code(190, 110)}, // 13: corners given the wrong way round
    };
}
inline const std::vector<std::size_t> kBorderCaseMeeting = {0, 1, 2, 3, 6, 7, 8, 10, 11, 13};

// Random boxes on the 1020 x 1020 grid of the packed codes.
class BoxGenerator {
public:
    explicit BoxGenerator(unsigned seed) : m_random(seed) {}

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_random); }

    // A box of the given largest extent, each axis possibly flat.
    TestBox around(int maxExtent) {
        const int x0 = uniform(0, 1019);
        const int y0 = uniform(0, 1019);
        return box(x0, y0, std::min(1019, x0 + uniform(0, maxExtent)),
                   std::min(1019, y0 + uniform(0, maxExtent)));
    }
    // Coordinates drawn from a coarse lattice, so that many items share their ends.
    TestBox onLattice(int step) {
        const int cells = 1019 / step;
        int x0 = uniform(0, cells) * step;
        int y0 = uniform(0, cells) * step;
        int x1 = uniform(0, cells) * step;
        int y1 = uniform(0, cells) * step;
        return box(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1));
    }
    // Mostly small boxes as the triangles of a mesh make them, with some long and some flat ones.
    std::vector<TestBox> meshLike(std::size_t count) {
        std::vector<TestBox> boxes;
        boxes.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const int kind = uniform(0, 99);
            boxes.push_back(kind < 85 ? around(6) : kind < 95 ? around(300) : onLattice(97));
        }
        return boxes;
    }

private:
    std::mt19937 m_random;
};

inline std::vector<const TestBox*> pointersTo(const std::vector<TestBox>& boxes) {
    std::vector<const TestBox*> items;
    for (const TestBox& b : boxes) {
        items.push_back(&b);
    }
    return items;
}

} // namespace WindowQueryTest
