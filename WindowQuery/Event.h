#pragma once

#include "WindowQuery/Arena.h"

#include <algorithm>
#include <array>
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
    // Whether the two boxes share a cell, their edges included.
    bool meets(const QuantisedBox& other) const {
        return !(x0 > other.x1 || x1 < other.x0 || y0 > other.y1 || y1 < other.y0);
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

// A set of box coordinates (the quantised fields run from 0 to 2047), 256 bytes.
class CoordinateSet {
public:
    static constexpr int SIZE = 2048;

    void add(std::int16_t c) { m_words[index(c) / 64] |= std::uint64_t{1} << (index(c) % 64); }
    bool contains(std::int16_t c) const { return (m_words[index(c) / 64] >> (index(c) % 64)) & 1; }
    void addAll(const CoordinateSet& other) {
        for (std::size_t w = 0; w < WORDS; ++w) {
            m_words[w] |= other.m_words[w];
        }
    }
    // Calls visit(c) for each member c, in ascending order.
    template <class Visit> void forEach(Visit&& visit) const {
        for (std::size_t w = 0; w < WORDS; ++w) {
            for (std::uint64_t word = m_words[w]; word != 0; word &= word - 1) {
                visit(static_cast<std::int16_t>(64 * w + static_cast<std::size_t>(__builtin_ctzll(word))));
            }
        }
    }
    bool empty() const {
        return std::all_of(m_words.begin(), m_words.end(), [](std::uint64_t word) { return word == 0; });
    }
    // The smallest and largest member; the set must not be empty.
    std::int16_t lowest() const {
        std::size_t w = 0;
        while (m_words[w] == 0) {
            ++w;
        }
        return static_cast<std::int16_t>(64 * w + static_cast<std::size_t>(__builtin_ctzll(m_words[w])));
    }
    std::int16_t highest() const {
        std::size_t w = WORDS - 1;
        while (m_words[w] == 0) {
            --w;
        }
        return static_cast<std::int16_t>(64 * w + 63 - static_cast<std::size_t>(__builtin_clzll(m_words[w])));
    }

private:
    static constexpr std::size_t WORDS = SIZE / 64;
    static std::size_t index(std::int16_t c) {
        return static_cast<std::size_t>(std::clamp<std::int16_t>(c, 0, SIZE - 1));
    }
    std::array<std::uint64_t, WORDS> m_words{};
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
// With `others`, each coordinate of it where no listed interval ends gets one marker event (index
// NO_ITEM). A tree that lists only some of its items (those a set of queries can meet) passes the
// coordinates of all of them: its event list then has the distinct coordinates of the whole set, so it
// has the same nodes, and reports its items in the same order, as the tree of the whole set.
inline TreeArray<Event> sortedEvents(const std::vector<Interval>& intervals, ArenaAllocator<Event> allocator,
                                     const CoordinateSet* others = nullptr) {
    const bool marked = others && !others->empty();
    if (intervals.empty() && !marked) {
        TreeArray<Event> events(2, Event{}, allocator);
        events.front() = Event{LOW_SENTINEL, NO_ITEM};
        events.back() = Event{HIGH_SENTINEL, NO_ITEM};
        return events;
    }
    std::int16_t lowest = marked ? others->lowest() : intervals.front().low;
    std::int16_t highest = marked ? others->highest() : intervals.front().high;
    for (const Interval& interval : intervals) {
        lowest = std::min(lowest, interval.low);
        highest = std::max(highest, interval.high);
    }
    std::vector<std::size_t> start(static_cast<std::size_t>(highest - lowest) + 1, 0);
    for (const Interval& interval : intervals) {
        ++start[static_cast<std::size_t>(interval.low - lowest)];
        ++start[static_cast<std::size_t>(interval.high - lowest)];
    }
    std::vector<std::int16_t> markers;
    if (marked) {
        for (std::size_t c = 0; c < start.size(); ++c) {
            const auto coordinate = static_cast<std::int16_t>(lowest + static_cast<std::int16_t>(c));
            if (start[c] == 0 && others->contains(coordinate)) {
                start[c] = 1;
                markers.push_back(coordinate);
            }
        }
    }
    std::size_t position = 1; // after the low sentinel
    for (std::size_t& count : start) {
        const std::size_t n = count;
        count = position;
        position += n;
    }
    TreeArray<Event> events(position + 1, Event{}, allocator);
    events.front() = Event{LOW_SENTINEL, NO_ITEM};
    events.back() = Event{HIGH_SENTINEL, NO_ITEM};
    for (const std::int16_t coordinate : markers) {
        events[start[static_cast<std::size_t>(coordinate - lowest)]] = Event{coordinate, NO_ITEM};
    }
    for (const Interval& interval : intervals) {
        events[start[static_cast<std::size_t>(interval.low - lowest)]++] =
            Event{interval.low, interval.index};
        events[start[static_cast<std::size_t>(interval.high - lowest)]++] =
            Event{interval.high, interval.index};
    }
    return events;
}

// The distinct coordinates of an event list (sentinels included), with those of `others` merged in.
inline std::vector<std::int16_t> distinctCoordinates(const TreeArray<Event>& events,
                                                     const CoordinateSet* others) {
    std::vector<std::int16_t> distinct;
    if (!others) {
        for (const Event& event : events) {
            if (distinct.empty() || distinct.back() != event.coordinate) {
                distinct.push_back(event.coordinate);
            }
        }
        return distinct;
    }
    CoordinateSet all = *others;
    for (std::size_t n = 1; n + 1 < events.size(); ++n) {
        all.add(events[n].coordinate);
    }
    distinct.push_back(LOW_SENTINEL);
    all.forEach([&distinct](std::int16_t c) { distinct.push_back(c); });
    distinct.push_back(HIGH_SENTINEL);
    return distinct;
}

} // namespace Imple
} // namespace WindowQuery
