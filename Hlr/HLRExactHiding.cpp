#include "Hlr/HLRExactHiding.h"

#include "Hlr/HLRClosedParts.h"
#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include "api/CalcSilhouette.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>
#include <utility>

namespace KvHLR {

namespace {

// Reads counted against the occlusion levels' budget at a time: an edge behind a deep stack charges as
// it goes, so that the pass stops early, and the shared count is touched rarely.
constexpr std::uint32_t kCoverReadsPerCharge = 4096;

WindowQuery::Imple::QuantisedBox windowOf(const HLRExactEdge& edge) {
    return WindowQuery::Imple::QuantisedBox::fromCodes(edge.boundingBox2D().minCode(),
                                                       edge.boundingBox2D().maxCode());
}

constexpr int kIndexBits = 42;
constexpr std::uint64_t kIndexMask = (std::uint64_t{1} << kIndexBits) - 1;

// Spreads the low 16 bits of v to the even bits of the result.
std::uint32_t spread(std::uint32_t v) {
    v &= 0xFFFFu;
    v = (v | (v << 8)) & 0x00FF00FFu;
    v = (v | (v << 4)) & 0x0F0F0F0Fu;
    v = (v | (v << 2)) & 0x33333333u;
    v = (v | (v << 1)) & 0x55555555u;
    return v;
}

// The edges along a Z-order curve of their windows' centres on screen, as addresses: edges that follow
// each other then ask about the same cells, whose occluders and corners are still in the cache. Each
// edge's result does not depend on the others', so the order changes only the time. A window's fields
// take 11 bits a side, so the curve's 22 bits go above an index of up to 42 bits, one number an edge,
// sorted and then replaced by the edge's address: no more memory than the edges' list. The numbers
// come in the edges' order, so sorting them by their curve alone, 11 bits at a time in passes that keep
// the order of equal ones, sorts them whole, in a few passes over the list instead of a comparison sort.
std::vector<std::uint64_t> screenOrder(const std::vector<HLRExactEdge*>& edges) {
    std::vector<std::uint64_t> order(edges.size());
    forEachBlock(edges.size(), kItemsPerBlock, [&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const WindowQuery::Imple::QuantisedBox w = windowOf(*edges[i]);
            const auto x = static_cast<std::uint32_t>((w.x0 + w.x1) / 2);
            const auto y = static_cast<std::uint32_t>((w.y0 + w.y1) / 2);
            order[i] = std::uint64_t{spread(x) | (spread(y) << 1)} << kIndexBits | i;
        }
    });
    constexpr int kDigitBits = 11;
    constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;
    std::vector<std::uint64_t> sorted(order.size());
    for (int shift = kIndexBits; shift < 64; shift += kDigitBits) {
        std::vector<std::size_t> next(kDigitMask + 2, 0);
        for (const std::uint64_t entry : order) {
            ++next[((entry >> shift) & kDigitMask) + 1];
        }
        std::partial_sum(next.begin(), next.end(), next.begin());
        for (const std::uint64_t entry : order) {
            sorted[next[(entry >> shift) & kDigitMask]++] = entry;
        }
        order.swap(sorted);
    }
    forEachBlock(order.size(), kItemsPerBlock, [&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            order[i] = reinterpret_cast<std::uintptr_t>(edges[order[i] & kIndexMask]);
        }
    });
    return order;
}

// Occlusion levels: whether an occluder's counted hide test reaches no farther than
// HLROccluder::kCountReach beyond its box (HLROccluder::countReachBounded), a bit each so that the bits
// stay in the cache. They are worked out 64 occluders at a time when first asked, not for the whole
// model up front: a smooth model, whose edges are seldom read on past hiding, asks for few or none.
// Threads that ask for one word at once may both work it out, and store the same bits.
class ReachBounds {
public:
    explicit ReachBounds(const std::vector<const HLROccluder*>& occluders)
        : m_occluders(occluders), m_bits((occluders.size() + 63) / 64), m_known(m_bits.size()) {}

    bool bounded(std::size_t index) {
        const std::size_t word = index / 64;
        if (!m_known[word].load(std::memory_order_acquire)) {
            std::uint64_t bits = 0;
            for (std::size_t i = word * 64; i < std::min(m_occluders.size(), word * 64 + 64); ++i)
                bits |= std::uint64_t{m_occluders[i]->countReachBounded()} << (i % 64);
            m_bits[word].store(bits, std::memory_order_relaxed);
            m_known[word].store(true, std::memory_order_release);
        }
        return (m_bits[word].load(std::memory_order_relaxed) >> (index % 64) & 1U) != 0;
    }

private:
    const std::vector<const HLROccluder*>& m_occluders;
    std::vector<std::atomic<std::uint64_t>> m_bits;
    std::vector<std::atomic<bool>> m_known;
};

// Occlusion levels, for one edge at a time: which facing counts, twice, for each closed part whose
// surfaces count in pairs (HLRClosedParts). The first of its triangles that counts a cover on the edge
// chooses: the count then takes whichever facing comes first instead of waiting for the triangles
// facing the eye, which a query often reads after those behind them. Until then no triangle of the part
// has counted anything, so either facing counts it right. An open-addressed table of the parts chosen,
// kept by the thread and emptied for each edge by the slots it filled.
class PairedFacings {
public:
    enum class Choice { None, FacesEye, FacesAway };

    Choice choiceOf(std::uint32_t part) const {
        if (m_filled.empty())
            return Choice::None;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t slot = firstSlot(part, mask);; slot = (slot + 1) & mask) {
            if (m_slots[slot] == 0)
                return Choice::None;
            if (m_slots[slot] / 2 == part + 1)
                return (m_slots[slot] & 1U) != 0 ? Choice::FacesEye : Choice::FacesAway;
        }
    }
    // Chooses the facing of a part that has none yet.
    void choose(std::uint32_t part, bool facesEye) {
        if (2 * (m_filled.size() + 1) > m_slots.size())
            grow();
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = firstSlot(part, mask);
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = 2 * (part + 1) + (facesEye ? 1U : 0U); // 0 marks an empty slot
        m_filled.push_back(slot);
    }
    void clear() {
        for (const std::size_t slot : m_filled)
            m_slots[slot] = 0;
        m_filled.clear();
    }

private:
    static std::size_t firstSlot(std::uint32_t part, std::size_t mask) {
        return (part * std::size_t{0x9E3779B1u}) & mask;
    }
    void grow() {
        std::vector<std::uint32_t> slots(std::max<std::size_t>(64, 2 * m_slots.size()), 0);
        slots.swap(m_slots);
        std::vector<std::size_t> filled;
        filled.swap(m_filled);
        for (const std::size_t from : filled)
            choose(slots[from] / 2 - 1, (slots[from] & 1U) != 0);
    }

    std::vector<std::uint32_t> m_slots;
    std::vector<std::size_t> m_filled;
};

// For one thread: the occluders that hid some of its last edges (most recent first), tried on the next
// edge before the grid is asked. The edges go along a Z-order curve on screen, so an edge mostly lies
// behind the occluders that hid the ones before it. Their stretches are merged in a list of pieces apart
// from the edge, and only if they hide it all along is it hidden so and its query skipped; otherwise the
// edge is left as it was and queried as before. With occlusion levels their covers are counted apart
// from the edge too, and only if they also count it as often as is counted all along is it done so.
// The drawing stays the same: each of them is one the query would hand to the hide test too (the grid
// passes over only occluders whose box misses the edge's, or whose nearest depth lies behind its
// farthest, and those hide nothing), the query's pieces cover at least what theirs do and its counts
// count at least as often, so it too ends with the edge hidden (and counted) all along, and such an edge
// keeps nothing else. One caveat: merging a piece shorter than twice the parameter tolerance that lies
// within it of another's end cuts that end back to the short piece's (HLRIntervals' merge), so in some
// order of such pieces the query could leave a speck visible that these covers hide (and a closed part's
// facing, chosen by its first triangle that counts, may differ at the part's outline).
// So that even then the drawing does not depend on the threads, the covers are forgotten at the start of
// each block of edges that the loop hands to a thread (kEdgesPerBlock), whose edges it takes in order:
// the covers tried on an edge are then those of the edges before it in its block, on any number of threads.
class RecentCovers {
public:
    static constexpr std::size_t kKept = 64;

    // An occluder and its index among the grid's items.
    struct Cover {
        const HLROccluder* occluder = nullptr;
        std::size_t index = 0;
    };

    void forget() { m_kept = m_recorded = m_misses = m_resting = 0; }

    // Hides the edge all along if the covers kept hide it all along. With occlusion levels, only if they
    // also count it as often as is counted all along, timesCounted(cover) telling how many times a cover
    // counts (0 for none): the edge is then done. Otherwise changes nothing but starts recording the
    // covers that the query finds.
    template <class TimesCounted> bool settle(HLRExactEdge& edge, bool levels, TimesCounted&& timesCounted) {
        m_recorded = 0;
        if (m_resting > 0) {
            --m_resting;
            return false;
        }
        m_pieces.emptyPieces();
        if (levels)
            m_counts = HLRCoverCounts();
        bool hidden = false, counted = !levels;
        for (std::size_t k = 0; k < m_kept; ++k) {
            const Cover& cover = m_covers[k];
            const HLROccluder::Covers found =
                levels ? cover.occluder->hiddenAndCounted(edge)
                       : HLROccluder::Covers{cover.occluder->hiddenStretch(edge), std::nullopt};
            if (!found.hidden)
                continue;
            record(cover);
            hidden = HLRExactEdge::addHiddenPiece(m_pieces, found.hidden->first, found.hidden->second);
            if (found.counted && !counted) {
                const int times = timesCounted(cover);
                counted = times != 0 && HLRExactEdge::addCountedCover(m_counts, found.counted->first,
                                                                      found.counted->second, times);
            }
            if (hidden && counted) {
                keepRecorded();
                edge.hideStretch(0.0, 1.0);
                if (levels)
                    edge.countCover(0.0, 1.0, HLRProjectedModel::sm_nCountedLevels);
                m_misses = 0;
                return true;
            }
        }
        m_recorded = 0; // the query finds them again
        // Where they keep failing (edges mostly in sight, or behind many small occluders) the edges that
        // follow are queried straight away, twice as many after each failure, up to 2^kLongestRestBits - 1.
        m_resting = (std::size_t{1} << std::min(m_misses, kLongestRestBits)) - 1;
        ++m_misses;
        return false;
    }
    // During the query of the edge: an occluder that hid some of it.
    void record(const Cover& cover) {
        if (m_recorded < kKept)
            m_query[m_recorded++] = cover;
    }
    // The covers recorded go first, then those kept before that are not among them, as many as there is
    // room for. Which are among them an open-addressed table tells, emptied again by the slots filled.
    void keepRecorded() {
        if (m_recorded == 0)
            return;
        std::array<std::size_t, kKept> filled;
        for (std::size_t k = 0; k < m_recorded; ++k) {
            std::size_t slot = slotOf(m_query[k].occluder);
            while (m_recordedSet[slot])
                slot = (slot + 1) % m_recordedSet.size();
            m_recordedSet[slot] = m_query[k].occluder;
            filled[k] = slot;
        }
        const auto recorded = [this](const HLROccluder* occluder) {
            for (std::size_t slot = slotOf(occluder); m_recordedSet[slot];
                 slot = (slot + 1) % m_recordedSet.size())
                if (m_recordedSet[slot] == occluder)
                    return true;
            return false;
        };
        std::size_t kept = m_recorded;
        for (std::size_t k = 0; k < m_kept && kept < kKept; ++k)
            if (!recorded(m_covers[k].occluder))
                m_query[kept++] = m_covers[k];
        for (std::size_t k = 0; k < m_recorded; ++k)
            m_recordedSet[filled[k]] = nullptr;
        std::swap(m_covers, m_query);
        m_kept = kept;
    }

private:
    static std::size_t slotOf(const HLROccluder* occluder) {
        return (reinterpret_cast<std::uintptr_t>(occluder) / sizeof(HLROccluder) * 0x9E3779B1u) % (2 * kKept);
    }

    std::array<const HLROccluder*, 2 * kKept> m_recordedSet{}; // at most half full
    std::array<Cover, kKept> m_covers{};
    std::array<Cover, kKept> m_query{};
    static constexpr std::size_t kLongestRestBits = 4;
    std::size_t m_kept = 0;
    std::size_t m_recorded = 0;
    std::size_t m_misses = 0;  // the tries that failed since the last that hid an edge
    std::size_t m_resting = 0; // edges still to query without a try
    HLRIntervals m_pieces;     // scratch
    HLRCoverCounts m_counts;   // scratch, with occlusion levels
};

// What a thread of the hide pass keeps from edge to edge.
struct HideState {
    PairedFacings pairedFacings;
    RecentCovers recentCovers;
    PairedFacings triedFacings; // the facings the recent covers choose, apart from the edge's
};

} // namespace

HLRExactHiding::Grid HLRExactHiding::gridOf(std::vector<const HLROccluder*> occluders,
                                            const std::vector<HLRExactEdge*>& edges) {
    // Nearness: the depth field of each occluder's packed view box maximum, its nearest depth cell.
    std::vector<std::int16_t> nearness(occluders.size());
    forEachBlock(occluders.size(), kItemsPerBlock, [&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            nearness[i] = occluders[i]->box3D.nearestDepth();
        }
    });
    std::vector<WindowQuery::Imple::QuantisedBox> windows(edges.size());
    forEachBlock(edges.size(), kItemsPerBlock, [&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            windows[i] = windowOf(*edges[i]);
        }
    });
    return Grid(std::move(occluders), nearness, &windows);
}

// The occluders that one edge's query hands to the hide test at a time.
constexpr std::size_t kBatch = 16;

HLRTooManyOcclusionLevels::HLRTooManyOcclusionLevels()
    : std::length_error("the hidden edges lie behind more than " +
                        std::to_string(kMaxCoverReads) +
                        " surfaces in all, too many to count their occlusion levels: tell fewer levels apart") {}

HLRTooManyOcclusionLevels::~HLRTooManyOcclusionLevels() = default;

std::size_t HLRExactHiding::hideEdges(const Grid& grid, const std::vector<HLRExactEdge*>& edges,
                                      std::size_t coverReadsBefore, const HLRClosedParts* closedParts) {
    const std::vector<std::uint64_t> order = screenOrder(edges);
    std::atomic<std::size_t> coverReads{coverReadsBefore};
    const auto charge = [&coverReads](std::uint32_t reads) {
        if (reads > 0 && coverReads.fetch_add(reads, std::memory_order_relaxed) + reads >
                             HLRTooManyOcclusionLevels::kMaxCoverReads)
            throw HLRTooManyOcclusionLevels();
    };
    // A block of edges at a time, as the plain hide pass hands them out: an edge hidden early ends its
    // query, so edges take very different times.
    const bool levels = HLRProjectedModel::sm_bOcclusionLevels;
    ReachBounds reachBounds(grid.items());
    const double countReach = HLROccluder::kCountReach * HLRProjectedModel::sm_dExactTolerance2D;
    runInParallel(
        static_cast<std::ptrdiff_t>(edges.size()), kEdgesPerBlock, [] { return HideState(); },
        [&](HideState& state, std::ptrdiff_t i) {
            HLRCancelPoll::check();
            const auto address = static_cast<std::uintptr_t>(order[static_cast<std::size_t>(i)]);
            HLRExactEdge& edge = *reinterpret_cast<HLRExactEdge*>(address);
            if (i % kEdgesPerBlock == 0)
                state.recentCovers.forget();
            PairedFacings& pairedFacings = state.pairedFacings;
            // The grid reports only occluders whose nearest depth reaches the edge's farthest. A long edge
            // behind a dense part of a large model meets millions: a check every few hundred.
            // With occlusion levels an edge hidden all along goes on counting the occluders in front of it
            // until it is covered as often as is counted all along (HLRExactEdge::isDone); those reads are
            // charged to the budget, and its counts compacted, a few thousand at a time.
            // The occluders go to the test a batch at a time, their corners asked of memory for the whole
            // batch first: each test would otherwise wait for its occluder and then for its corners.
            // Once the edge is hidden all along, an occluder whose box (as the grid files it) lies away from
            // the stretch still to count, grown by the counted test's reach, cannot change a count: it is
            // passed over before it or its corners are read, though it still counts as read, in its turn.
            // That stretch only narrows as covers are counted, so a window of it made earlier is still
            // sound: it is made when the edge is first found hidden all along, and again at each batch.
            // An occluder of a closed part apart from the edge counts twice or not at all
            // (HLRClosedParts, PairedFacings): one that counts nothing still hides while the edge is being
            // hidden, so that which pieces are hidden does not change, and is passed over like the others
            // after.
            std::uint32_t tests = 0, counted = 0;
            HLRBox3D edgeBox;
            if (closedParts) {
                edgeBox.add(edge.startVertex()->viewPosition);
                edgeBox.add(edge.endVertex()->viewPosition);
                pairedFacings.clear();
            }
            // How many times an occluder's cover counts (HLRClosedParts::pairedPart gives `paired`):
            // kChoosing for one whose part has no facing chosen yet, which counts twice and chooses its
            // own facing if it counts a cover.
            constexpr int kChoosing = -1;
            const auto pairedPart = [&](std::size_t index) {
                return closedParts ? closedParts->pairedPart(index, edgeBox) : HLRClosedParts::kNone;
            };
            const auto timesCounted = [&](std::uint32_t paired, const PairedFacings& facings) {
                if (paired == HLRClosedParts::kNone)
                    return 1;
                const PairedFacings::Choice choice = facings.choiceOf(paired & HLRClosedParts::kPartMask);
                if (choice == PairedFacings::Choice::None)
                    return kChoosing;
                return (choice == PairedFacings::Choice::FacesEye) ==
                               ((paired & HLRClosedParts::kFacesEye) != 0)
                           ? 2
                           : 0;
            };
            // The recent covers first (RecentCovers), their closed parts' facings chosen apart.
            state.triedFacings.clear();
            const auto triedTimes = [&](const RecentCovers::Cover& cover) {
                const std::uint32_t paired = pairedPart(cover.index);
                const int times = timesCounted(paired, state.triedFacings);
                if (times != kChoosing)
                    return times;
                state.triedFacings.choose(paired & HLRClosedParts::kPartMask,
                                          (paired & HLRClosedParts::kFacesEye) != 0);
                return 2;
            };
            // Closed parts in front of the edge all along, as the cells tell (HLRCellCovers): its query would
            // end with it hidden and counted all along, and nothing need be read.
            if (closedParts && closedParts->cellCovers().coversAllAlong(
                                   edge, edgeBox, HLRProjectedModel::sm_nCountedLevels, *closedParts)) {
                edge.hideStretch(0.0, 1.0);
                edge.countCover(0.0, 1.0, HLRProjectedModel::sm_nCountedLevels);
                return;
            }
            if (state.recentCovers.settle(edge, levels, triedTimes))
                return;
            std::optional<std::pair<double, double>> windowRange;
            WindowQuery::Imple::QuantisedBox countWindow;
            const auto makeWindow = [&] {
                const std::pair<double, double> range = edge.uncounted();
                if (range != windowRange) {
                    windowRange = range;
                    const HLRBoundingBox2D packed = edge.countWindow(countReach);
                    countWindow =
                        WindowQuery::Imple::QuantisedBox::fromCodes(packed.minCode(), packed.maxCode());
                }
            };
            const auto mayCount = [&](std::size_t index, const WindowQuery::Imple::QuantisedBox& box) {
                if (!levels || !edge.isAllHidden())
                    return true;
                if (!windowRange)
                    makeWindow();
                return box.meets(countWindow) || !reachBounds.bounded(index);
            };
            // The edge may be hidden all along only while its batch waits, or the stretch still to count
            // narrow: an occluder is asked again just before its test.
            struct Batched {
                const HLROccluder* occluder; // null for one passed over
                std::size_t index;
                WindowQuery::Imple::QuantisedBox box;
                std::optional<std::uint32_t> paired; // HLRClosedParts::pairedPart, once asked
            };
            // How many times the occluder's cover counts. While the edge is being hidden this is asked
            // only of the occluders that cover it, most of those read missing it.
            const auto timesOf = [&](Batched& item) {
                if (!item.paired)
                    item.paired = pairedPart(item.index);
                return timesCounted(*item.paired, pairedFacings);
            };
            std::array<Batched, kBatch> batch;
            std::size_t batched = 0;
            const auto testBatch = [&] {
                if (windowRange)
                    makeWindow();
                for (std::size_t k = 0; k < batched; ++k)
                    if (batch[k].occluder)
                        for (const HLRProjectedTriangleVertex* corner : batch[k].occluder->image.corners) {
                            __builtin_prefetch(&corner->screenPosition);
                            __builtin_prefetch(&corner->viewPosition.z);
                        }
                const std::size_t count = std::exchange(batched, 0);
                for (std::size_t k = 0; k < count; ++k) {
                    if ((++tests & 255U) == 0)
                        HLRCancelPoll::check();
                    if (edge.isAllHidden() && ++counted == kCoverReadsPerCharge) {
                        charge(counted);
                        if (levels)
                            edge.settleCovers();
                        counted = 0;
                    }
                    Batched& item = batch[k];
                    if (!item.occluder)
                        continue;
                    if (!levels) {
                        if (const auto stretch = item.occluder->hiddenStretch(edge)) {
                            edge.hideStretch(stretch->first, stretch->second);
                            state.recentCovers.record({item.occluder, item.index});
                        }
                    } else if (!edge.isAllHidden() ||
                               (mayCount(item.index, item.box) && timesOf(item) != 0)) {
                        const std::optional<std::pair<double, double>> cover =
                            item.occluder->hideFindingCover(edge, true);
                        // An occluder before it in the batch may have chosen its part's facing.
                        const int times = cover ? timesOf(item) : 0;
                        if (cover)
                            state.recentCovers.record({item.occluder, item.index});
                        if (times != 0)
                            edge.countCover(cover->first, cover->second, times == kChoosing ? 2 : times);
                        if (times == kChoosing)
                            pairedFacings.choose(*item.paired & HLRClosedParts::kPartMask,
                                                 (*item.paired & HLRClosedParts::kFacesEye) != 0);
                    }
                    if (edge.isDone())
                        return false;
                }
                return true;
            };
            const bool going = grid.forEachMeeting(windowOf(edge), edge.boundingBox3D().farthestDepth(),
                                                   [&](const HLROccluder* const& occluder, std::size_t index,
                                                       const WindowQuery::Imple::QuantisedBox& box) {
                                                       Batched& item = batch[batched++];
                                                       item = {occluder, index, box, std::nullopt};
                                                       if (!edge.isAllHidden() ||
                                                           (mayCount(index, box) && timesOf(item) != 0))
                                                           __builtin_prefetch(occluder);
                                                       else
                                                           item.occluder = nullptr;
                                                       return batched < kBatch || testBatch();
                                                   });
            if (going)
                testBatch();
            charge(counted);
            state.recentCovers.keepRecorded();
        });
    return coverReads.load();
}

} // namespace KvHLR
