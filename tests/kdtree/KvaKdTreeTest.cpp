#include "kdtree/KvaKdTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

struct Point {
    double x, y;
    int id;
    double coordinate(int axis) const { return axis == 0 ? x : y; }
};

using Tree = Kv::KvaKdTree<Point, 2>;

std::vector<int> ids(const std::vector<Point>& points) {
    std::vector<int> result;
    for (const Point& p : points)
        result.push_back(p.id);
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<int> bruteForce(const std::vector<Point>& points, const Tree::Window& w) {
    std::vector<Point> inside;
    for (const Point& p : points)
        if (w.min[0] < p.x && p.x < w.max[0] && w.min[1] < p.y && p.y < w.max[1])
            inside.push_back(p);
    return ids(inside);
}

TEST(KvaKdTreeTest, RandomWindowsMatchBruteForceIncludingDuplicatesAndNoPoints) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> grid(0, 40); // many equal coordinates
    std::uniform_real_distribution<double> real(-5, 45);
    for (int size : {0, 1, 2, 3, 10, 257, 5000}) {
        std::vector<Point> points;
        for (int i = 0; i < size; ++i)
            points.push_back({double(grid(rng)), i % 5 == 0 ? real(rng) : double(grid(rng)), i});
        Tree tree;
        tree.build(points);
        for (int q = 0; q < 200; ++q) {
            double x0 = real(rng), x1 = real(rng), y0 = real(rng), y1 = real(rng);
            if (q % 4 == 0) { // windows whose borders fall on grid coordinates
                x0 = grid(rng), x1 = grid(rng), y0 = grid(rng), y1 = grid(rng);
            }
            const Tree::Window w{{std::min(x0, x1), std::min(y0, y1)}, {std::max(x0, x1), std::max(y0, y1)}};
            ASSERT_EQ(ids(tree.windowQuery(w)), bruteForce(points, w)) << "size " << size << " query " << q;
        }
    }
}

// The query walk as the tree's shape prescribes it, reading each node's element from `points`.
std::vector<int> walkReading(const Tree& tree, const std::vector<Point>& points, const Tree::Window& w) {
    std::vector<int> found;
    std::vector<const Tree::Node*> pending;
    if (tree.root())
        pending.push_back(tree.root());
    while (!pending.empty()) {
        const Tree::Node* node = pending.back();
        pending.pop_back();
        const Point& p = points[node->element()];
        if (w.min[0] < p.x && p.x < w.max[0] && w.min[1] < p.y && p.y < w.max[1])
            found.push_back(p.id);
        const int a = node->axis();
        if (node->highChild() && w.max[a] >= p.coordinate(a))
            pending.push_back(node->highChild());
        if (node->lowChild() && p.coordinate(a) >= w.min[a])
            pending.push_back(node->lowChild());
    }
    return found;
}

// The renewal moves ends after the tree is built and tells the tree. A tree told of each move must
// answer every window as the walk over its unchanged shape does when it reads the moved points
// themselves: the same elements, in the same order.
TEST(KvaKdTreeTest, ReplacedElementsAnswerAsIfReadInPlace) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> real(0, 10);
    std::vector<Point> points;
    for (int i = 0; i < 300; ++i)
        points.push_back({real(rng), real(rng), i});
    Tree tree;
    tree.build(points);
    std::normal_distribution<double> nudge(0, 0.5);
    for (int round = 0; round < 200; ++round) {
        const int moved = int(rng() % points.size());
        points[moved].x += nudge(rng);
        points[moved].y += nudge(rng);
        tree.replaceElement(moved, points[moved]);
        const double x0 = real(rng), y0 = real(rng);
        const Tree::Window w{{x0, y0}, {x0 + 3, y0 + 3}};
        std::vector<int> found;
        for (const Point& p : tree.windowQuery(w))
            found.push_back(p.id);
        ASSERT_EQ(found, walkReading(tree, points, w)) << "round " << round;
    }
}

} // namespace
