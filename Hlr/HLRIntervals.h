#pragma once

#include "Hlr/HLRInterval.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace KvHLR {

// How many occluders cover each stretch of one edge, for occlusion levels: every covered range counted
// rather than merged. Ranges are kept as steps of the count (+1 at a start, -1 at an end) at positions
// rounded to 2^-16 of the edge, well within the hide test's parameter tolerance, so that steps at one
// position add up: an edge keeps at most one step per position however many occluders cover it.
// Counts above the most that matter (one past the deepest level drawn) read as that most: the steps
// within a stretch covered that often are dropped, and an edge covered that often all along is done.
class HLRCoverCounts {
public:
    // A stretch of an edge's parameters where `count` occluders cover it.
    struct Stretch {
        double from;
        double to;
        int count;
    };

    // Counts `times` more occluders over [from, to] (a closed part's surface of one facing counts twice,
    // for one of the other facing: HLRClosedParts), counts above `most` reading as `most`.
    // True once the count is `most` all along the edge but for stretches shorter than `shortest` (which
    // stretchesWithin gives the count beside them): further covers change nothing.
    bool add(double from, double to, int most, double shortest, int times = 1);
    // The stretches of [from, to] (0 <= from < to <= 1), in order, their counts at least 1. A stretch
    // shorter than `shortest` is a sliver where neighbouring occluders overlap along their shared side
    // (their outlines are grown by the hide test's tolerance) or a step rounded apart: it takes the lower
    // count of the nearest longer stretches beside it.
    std::vector<Stretch> stretchesWithin(double from, double to, double shortest) const;
    // Once no more covers come: the steps compacted into as little memory as they need; true when the
    // count is the most counted all along, as add tells.
    bool settle(double shortest);
    // The least range [from, to] of the edge that holds every stretch counted fewer than the most times,
    // as of the last compaction (add compacts now and then): a cover outside it changes nothing. Empty
    // (from >= to) when the count is the most all along.
    std::pair<double, double> uncounted() const;

private:
    static constexpr std::int32_t kPositions = 65536; // positions of the steps per unit of the edge
    using Step = std::pair<std::int32_t, std::int32_t>; // position, change of the count there
    // Sorts the steps (the first `sorted` of them in order already), adds up those at one position and
    // cuts the count down to m_most, dropping the steps within a stretch counted m_most times.
    void compact(std::vector<Step>& steps, std::size_t sorted) const;
    // Reads the compacted steps once: sets the uncounted range, and tells whether they hold the count at
    // m_most all along but for stretches shorter than `shortest` positions.
    bool survey(std::int32_t shortest);

    std::vector<Step> m_steps;
    std::size_t m_compactedSize = 0;
    int m_most = 0;
    std::int32_t m_uncountedFrom = 0; // the uncounted range, in positions
    std::int32_t m_uncountedTo = kPositions;
};

// The hidden pieces of one edge: sorted by start, pairwise disjoint beyond their tolerances.
// Positions are 1-based. The pieces lie in one array: an edge holds a few (a hidden one is offered
// tens of covers on a scene of stacked parts, most merged into the last), and one allocation for the
// set beats one per piece, each freed again when a later piece absorbs it.
//
// Every edge of a model carries one, and most edges of a large smooth model are never hidden: the
// array is made with the first piece, so that an empty set costs one pointer.
class HLRIntervals {
public:
    HLRIntervals();
    HLRIntervals(const HLRIntervals& other);
    HLRIntervals(HLRIntervals&& other) noexcept;
    HLRIntervals& operator=(const HLRIntervals& other);
    HLRIntervals& operator=(HLRIntervals&& other) noexcept;
    ~HLRIntervals() = default;

    int size() const { return m_pieces ? static_cast<int>(m_pieces->list.size()) : 0; }

    // The i-th interval, 1 <= i <= size().
    const HLRInterval& intervalAt(int i) const { return m_pieces->list[static_cast<std::size_t>(i - 1)]; }

    // Merges a new hidden piece into the list (see the merge table in the source).
    void addInterval(HLRInterval interval);

    // Removes the i-th interval.
    void removeIntervalAt(int i);

    // Frees every interval: an edge found hidden all along keeps only its all-hidden flag.
    void clear() { m_pieces.reset(); }
    // Empties the list but keeps its room: a scratch list used for edge after edge.
    void emptyPieces() {
        if (m_pieces)
            m_pieces->list.clear();
    }
    // Frees the intervals but keeps the cover counts: an edge hidden all along that counts on.
    void clearPieces() {
        if (m_pieces)
            std::vector<HLRInterval>().swap(m_pieces->list);
    }

    // Occlusion levels: counts a covered piece as well (HLRCoverCounts::add), kept beside the merged
    // list. True once further covers change nothing.
    bool addCover(double from, double to, int most, double shortest, int times = 1);
    // HLRCoverCounts::settle; false when no cover was counted.
    bool settleCovers(double shortest);
    // The cover counts along [from, to] (HLRCoverCounts::stretchesWithin): one stretch of count 1
    // when no cover was counted.
    std::vector<HLRCoverCounts::Stretch> coverWithin(double from, double to, double shortest) const;
    // HLRCoverCounts::uncounted: [0, 1] when no cover was counted.
    std::pair<double, double> uncounted() const;

private:
    struct Pieces {
        std::vector<HLRInterval> list;
        HLRCoverCounts covers;
    };

    std::unique_ptr<Pieces> m_pieces; // null while there is no piece
};

} // namespace KvHLR
