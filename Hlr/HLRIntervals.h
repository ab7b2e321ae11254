#pragma once

#include "Hlr/HLRInterval.h"

#include <list>

namespace KvHLR {

// The hidden pieces of one edge: sorted by start, pairwise disjoint beyond their tolerances.
// Positions are 1-based. Positional access remembers where it was last (the cursor), so that a
// scan by increasing index costs one step per interval although the storage is a list.
class HLRIntervals {
public:
    HLRIntervals();
    HLRIntervals(const HLRIntervals& other);
    HLRIntervals(HLRIntervals&& other) noexcept;
    HLRIntervals& operator=(const HLRIntervals& other);
    HLRIntervals& operator=(HLRIntervals&& other) noexcept;
    ~HLRIntervals() = default;

    int size() const { return static_cast<int>(m_intervals.size()); }

    // The i-th interval, 1 <= i <= size(); leaves the cursor on it.
    const HLRInterval& intervalAt(int i) const;

    // Merges a new hidden piece into the list (see the merge table in the source).
    void addInterval(HLRInterval interval);

    // Unlinks the i-th interval; the cursor moves to its successor.
    void removeIntervalAt(int i);

private:
    using Cursor = std::list<HLRInterval>::const_iterator;

    // Moves the cursor to position i (1 <= i <= size() + 1) from the nearest of head, tail and cursor.
    void moveCursorTo(int i) const;
    void resetCursorToFront();

    std::list<HLRInterval> m_intervals;
    // The cursor is navigation state only; reading an interval moves it.
    mutable Cursor m_cursor;
    mutable int m_cursorIndex;
};

} // namespace KvHLR
