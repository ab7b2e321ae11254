#pragma once

#include "WindowQuery/Arena.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace WindowQuery {
namespace Imple {

// Items are addressed by their 32-bit position in the tree's item array; sentinel events carry this.
constexpr std::uint32_t NO_ITEM = 0xFFFFFFFFu;
constexpr std::int16_t LOW_SENTINEL = -32767;
constexpr std::int16_t HIGH_SENTINEL = 32767;

// An extent on the tree's integer grid: the quantised x and y fields of a packed 2D box. Keeping the
// tree on these small integers makes every comparison of a query an integer comparison.
struct QuantisedBox {
    std::int16_t x0 = 0;
    std::int16_t y0 = 0;
    std::int16_t x1 = 0;
    std::int16_t y1 = 0;

    // Corners given the wrong way round still describe the box between them.
    static QuantisedBox fromCodes(std::uint32_t minCode, std::uint32_t maxCode) {
        const std::int16_t xa = xOf(minCode);
        const std::int16_t xb = xOf(maxCode);
        const std::int16_t ya = yOf(minCode);
        const std::int16_t yb = yOf(maxCode);
        return QuantisedBox{std::min(xa, xb), std::min(ya, yb), std::max(xa, xb), std::max(ya, yb)};
    }
    static std::int16_t xOf(std::uint32_t code) { return static_cast<std::int16_t>(code >> 21); }
    static std::int16_t yOf(std::uint32_t code) {
        return static_cast<std::int16_t>((code & 0x1FFC00u) >> 10);
    }

    // Level 1 of the tree works on y, level 0 on x.
    template <int Level> std::int16_t low() const { return Level == 1 ? y0 : x0; }
    template <int Level> std::int16_t high() const { return Level == 1 ? y1 : x1; }
    template <int Level> std::int16_t centre() const {
        return static_cast<std::int16_t>((low<Level>() + high<Level>()) / 2);
    }
};

// An item's interval on the axis of one level, carried along while that level is built so that the
// builders read it in sequence rather than looking the item's box up.
struct Interval {
    std::uint32_t index;
    std::int16_t low;
    std::int16_t high;
};

// Whether the interval covers the closed range [first, next], so that a node of that range keeps it.
inline bool covers(const Interval& interval, std::int16_t first, std::int16_t next) {
    return interval.low <= first && interval.high >= next;
}

// One end of an item's interval on one axis, or a sentinel (index NO_ITEM) bounding the axis.
struct Event {
    std::int16_t coordinate;
    std::uint32_t index;
};

// The event list of a set of intervals: both ends of each, between the two sentinels, sorted by
// coordinate. A counting sort over the coordinates the set spans is linear, and it keeps equal
// coordinates in the order of the set, so the list does not depend on how the build was shared among
// threads. The two equal ends of a single-coordinate interval come out next to each other. Most sets
// are small and narrow (a large model makes thousands of them), so the counts cover only their range.
//
// With `held` (a flag per item index), only the held items' ends are listed, and each coordinate where
// only items left out end gets one marker event (index NO_ITEM) instead: the list then has the same
// distinct coordinates as that of the whole set, so a tree built on it has the same nodes, and reports
// the held items in the same order, as the tree of the whole set would.
inline TreeArray<Event> sortedEvents(const std::vector<Interval>& intervals, ArenaAllocator<Event> allocator,
                                     const std::uint8_t* held = nullptr) {
    if (intervals.empty()) {
        TreeArray<Event> events(2, Event{}, allocator);
        events.front() = Event{LOW_SENTINEL, NO_ITEM};
        events.back() = Event{HIGH_SENTINEL, NO_ITEM};
        return events;
    }
    std::int16_t lowest = intervals.front().low;
    std::int16_t highest = intervals.front().high;
    for (const Interval& interval : intervals) {
        lowest = std::min(lowest, interval.low);
        highest = std::max(highest, interval.high);
    }
    // Per coordinate: the held ends, and whether any end at all lies there.
    struct Count {
        std::size_t held = 0;
        bool any = false;
    };
    std::vector<Count> counts(static_cast<std::size_t>(highest - lowest) + 1);
    for (const Interval& interval : intervals) {
        const std::size_t add = !held || held[interval.index] ? 1 : 0;
        for (const std::int16_t end : {interval.low, interval.high}) {
            Count& count = counts[static_cast<std::size_t>(end - lowest)];
            count.held += add;
            count.any = true;
        }
    }
    std::vector<std::size_t> start(counts.size());
    std::size_t position = 1; // after the low sentinel
    for (std::size_t c = 0; c < counts.size(); ++c) {
        start[c] = position;
        position += counts[c].held > 0 ? counts[c].held : (counts[c].any ? 1 : 0);
    }
    TreeArray<Event> events(position + 1, Event{}, allocator);
    events.front() = Event{LOW_SENTINEL, NO_ITEM};
    events.back() = Event{HIGH_SENTINEL, NO_ITEM};
    for (std::size_t c = 0; c < counts.size(); ++c) {
        if (counts[c].held == 0 && counts[c].any) {
            events[start[c]] = Event{static_cast<std::int16_t>(lowest + static_cast<std::int16_t>(c)), NO_ITEM};
        }
    }
    for (const Interval& interval : intervals) {
        if (held && !held[interval.index]) {
            continue;
        }
        events[start[static_cast<std::size_t>(interval.low - lowest)]++] = Event{interval.low, interval.index};
        events[start[static_cast<std::size_t>(interval.high - lowest)]++] = Event{interval.high, interval.index};
    }
    return events;
}

} // namespace Imple
} // namespace WindowQuery
