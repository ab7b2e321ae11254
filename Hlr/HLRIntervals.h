#pragma once

#include "Hlr/HLRInterval.h"

#include <list>
#include <memory>

namespace KvHLR {

// The hidden pieces of one edge: sorted by start, pairwise disjoint beyond their tolerances.
// Positions are 1-based. Positional access remembers where it was last (the cursor), so that a
// scan by increasing index costs one step per interval although the storage is a list.
//
// Every edge of a model carries one, and most edges of a large smooth model are never hidden: the list
// and its cursor are made with the first piece, so that an empty set costs one pointer.
class HLRIntervals {
public:
    HLRIntervals();
    HLRIntervals(const HLRIntervals& other);
    HLRIntervals(HLRIntervals&& other) noexcept;
    HLRIntervals& operator=(const HLRIntervals& other);
    HLRIntervals& operator=(HLRIntervals&& other) noexcept;
    ~HLRIntervals() = default;

    int size() const { return m_pieces ? static_cast<int>(m_pieces->list.size()) : 0; }

    // The i-th interval, 1 <= i <= size(); leaves the cursor on it.
    const HLRInterval& intervalAt(int i) const;

    // Merges a new hidden piece into the list (see the merge table in the source).
    void addInterval(HLRInterval interval);

    // Unlinks the i-th interval; the cursor moves to its successor.
    void removeIntervalAt(int i);

    // Frees every interval: an edge found hidden all along keeps only its all-hidden flag.
    void clear() { m_pieces.reset(); }

private:
    using Cursor = std::list<HLRInterval>::const_iterator;
    struct Pieces {
        std::list<HLRInterval> list;
        // The cursor is navigation state only; reading an interval moves it.
        Cursor cursor;
        int cursorIndex;
    };

    // Moves the cursor to position i (1 <= i <= size() + 1) from the nearest of head, tail and cursor.
    void moveCursorTo(int i) const;

    std::unique_ptr<Pieces> m_pieces; // null while there is no piece
};

} // namespace KvHLR
