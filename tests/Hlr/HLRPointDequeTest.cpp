#include "Hlr/HLRPointDeque.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

std::vector<HLRVector2D> contents(const HLRPointDeque& points) {
    return {points.begin(), points.end()};
}

} // namespace

// Random pushes and pops at both ends, checked against std::deque after every step: the moves that
// make room must keep every point and its order whichever end runs out first.
TEST(HLRPointDequeTest, BehavesAsADoubleEndedQueue) {
    std::mt19937 random(7);
    HLRPointDeque points;
    std::deque<HLRVector2D> expected;
    for (int step = 0; step < 5000; ++step) {
        const auto choice = random() % 5; // pushes outnumber pops, so the sequence grows
        const HLRVector2D point(step, -step);
        if (choice == 0 && !expected.empty()) {
            points.pop_front();
            expected.pop_front();
        } else if (choice == 1 && !expected.empty()) {
            points.pop_back();
            expected.pop_back();
        } else if (choice % 2 == 0) {
            points.push_front(point);
            expected.push_front(point);
        } else {
            points.push_back(point);
            expected.push_back(point);
        }
        ASSERT_EQ(contents(points), std::vector<HLRVector2D>(expected.begin(), expected.end()));
    }
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.front(), expected.front());
    EXPECT_EQ(points.back(), expected.back());
    EXPECT_EQ(points[points.size() / 2], expected[expected.size() / 2]);
}

TEST(HLRPointDequeTest, CopiesAreIndependent) {
    HLRPointDeque original;
    EXPECT_TRUE(original.empty());
    EXPECT_EQ(HLRPointDeque(original), original);
    for (int i = 0; i < 3; ++i)
        original.push_front(HLRVector2D(i, 0));
    HLRPointDeque copy = original;
    EXPECT_EQ(copy, original);
    copy.push_front(HLRVector2D(9, 9)); // a copy is filled exactly, so this moves its points
    copy.push_back(HLRVector2D(8, 8));
    EXPECT_EQ(contents(original), (std::vector<HLRVector2D>{{2, 0}, {1, 0}, {0, 0}}));
    EXPECT_EQ(contents(copy), (std::vector<HLRVector2D>{{9, 9}, {2, 0}, {1, 0}, {0, 0}, {8, 8}}));
    copy = original;
    EXPECT_EQ(copy, original);

    HLRPointDeque moved = std::move(copy);
    EXPECT_EQ(moved, original);
    EXPECT_TRUE(copy.empty()); // a moved-from sequence is empty and usable
    copy.push_back(HLRVector2D(1, 1));
    EXPECT_EQ(contents(copy), std::vector<HLRVector2D>{HLRVector2D(1, 1)});
}
