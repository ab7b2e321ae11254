#include "Hlr/HLRIntervals.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <utility>

namespace KvHLR {

namespace {

// The earlier of two uncertain starts, as one start whose tolerance spans both. A start of exactly
// 0.0 says the piece reaches the start vertex; stroke extraction tests that exactly, so it never moves.
void mergeStart(HLRInterval& x, double start, double tolerance) {
    if (x.from == 0.0) {
        return;
    }
    const double lo = std::min(x.from - x.fromTolerance, start - tolerance);
    const double hi = std::min(x.from + x.fromTolerance, start + tolerance);
    x.from = (lo + hi) / 2.0;
    x.fromTolerance = (hi - lo) / 2.0;
}

// The later of two uncertain ends; an end of exactly 1.0 (the end vertex) never moves.
void mergeEnd(HLRInterval& x, double end, double tolerance) {
    if (x.to == 1.0) {
        return;
    }
    const double lo = std::max(x.to - x.toTolerance, end - tolerance);
    const double hi = std::max(x.to + x.toTolerance, end + tolerance);
    x.to = (lo + hi) / 2.0;
    x.toTolerance = (hi - lo) / 2.0;
}

void takeStart(HLRInterval& x, const HLRInterval& from) {
    x.from = from.from;
    x.fromTolerance = from.fromTolerance;
}

enum class MergeStep {
    InsertBefore, // the new piece goes before the existing one; merge finished
    Finished,     // the existing piece absorbed the new one
    Remove,       // the new piece absorbed the existing one; look at the next one
    Skip          // the existing piece lies wholly before the new one
};

// Compares the new piece a with the existing piece b and applies the matching merge rule to
// either of them. The rules are grouped by where b starts relative to a's start.
MergeStep mergeStep(HLRInterval& a, HLRInterval& b) {
    const double aStartHi = a.from + a.fromTolerance, aStartLo = a.from - a.fromTolerance;
    const double aEndHi = a.to + a.toTolerance, aEndLo = a.to - a.toTolerance;
    const double bStartHi = b.from + b.fromTolerance, bStartLo = b.from - b.fromTolerance;
    const double bEndHi = b.to + b.toTolerance, bEndLo = b.to - b.toTolerance;

    if (bStartLo > aStartHi) { // b starts after a
        if (bStartLo > aEndHi) {
            return MergeStep::InsertBefore;
        }
        if (bStartHi >= aEndLo || bEndLo > aEndHi) { // b continues a
            takeStart(b, a);
            return MergeStep::Finished;
        }
        if (bEndHi >= aEndLo) {
            mergeEnd(a, b.to, b.toTolerance);
        }
        return MergeStep::Remove;
    }
    if (bStartHi >= aStartLo) { // b starts with a
        if (bEndLo > aEndHi) {
            mergeStart(b, a.from, a.fromTolerance);
            return MergeStep::Finished;
        }
        mergeStart(a, b.from, b.fromTolerance);
        if (bEndHi >= aEndLo) {
            mergeEnd(a, b.to, b.toTolerance);
        }
        return MergeStep::Remove;
    }
    if (bEndLo <= aStartHi) { // b ends at or before a's start
        if (bEndHi >= aStartLo) {
            takeStart(a, b);
            return MergeStep::Remove;
        }
        return MergeStep::Skip;
    }
    if (bEndLo > aEndHi) { // b covers a
        return MergeStep::Finished;
    }
    takeStart(a, b);
    if (bEndHi >= aEndLo) {
        mergeEnd(a, b.to, b.toTolerance);
    }
    return MergeStep::Remove;
}

} // namespace

bool HLRCoverCounts::add(double from, double to, int most, double shortest, int times) {
    // Rounded half away from zero as std::lround rounds, without its call: the fraction of a position
    // on the edge is found exactly (one off it, which no cover has, is left to std::lround).
    const auto position = [](double t) {
        const double x = t * kPositions;
        if (!(x >= 0.0 && x <= kPositions))
            return static_cast<std::int32_t>(std::lround(x));
        const auto whole = static_cast<std::int32_t>(x);
        return whole + (x - whole >= 0.5 ? 1 : 0);
    };
    const std::int32_t start = position(from), end = position(to);
    m_most = most;
    if (start >= end)
        return false;
    // Most edges are covered a few times: room for as many from the first, not grown step by step.
    constexpr std::size_t kFirstRoom = 8;
    if (m_steps.capacity() < kFirstRoom)
        m_steps.reserve(kFirstRoom);
    m_steps.emplace_back(start, times);
    m_steps.emplace_back(end, -times);
    if (m_steps.size() < m_compactedSize + std::max<std::size_t>(2, m_compactedSize / 4))
        return false;
    return settle(shortest);
}

bool HLRCoverCounts::settle(double shortest) {
    compact(m_steps, m_compactedSize);
    m_compactedSize = m_steps.size();
    if (m_steps.capacity() > 2 * m_steps.size() + 16)
        m_steps.shrink_to_fit();
    return survey(static_cast<std::int32_t>(std::ceil(shortest * kPositions)));
}

void HLRCoverCounts::compact(std::vector<Step>& steps, std::size_t sorted) const {
    // A few steps (an edge compacts at nearly every cover while it has few): each new one is moved down
    // into place. More are merged with the sorted ones into a buffer that the thread keeps: a merge in
    // place takes a buffer from the heap each time, and an edge behind many small occluders compacts often.
    // Either way the cut below reads them in order and writes them back no later than it reads them.
    constexpr std::size_t kSortedInPlace = 32;
    const std::vector<Step>* ordered = &steps;
    if (steps.size() <= kSortedInPlace) {
        for (std::size_t i = sorted; i < steps.size(); ++i) {
            const Step step = steps[i];
            std::size_t j = i;
            for (; j > 0 && step < steps[j - 1]; --j)
                steps[j] = steps[j - 1];
            steps[j] = step;
        }
    } else {
        thread_local std::vector<Step> merged;
        const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(sorted);
        std::sort(middle, steps.end());
        merged.clear();
        std::merge(steps.begin(), middle, middle, steps.end(), std::back_inserter(merged));
        ordered = &merged;
    }
    std::size_t kept = 0;
    int count = 0, cut = 0; // the count, and the count cut down to m_most, after the steps so far
    for (std::size_t i = 0; i < ordered->size(); ++i) {
        const Step step = (*ordered)[i];
        count += step.second;
        const int change = std::min(count, m_most) - cut;
        cut += change;
        if (kept > 0 && steps[kept - 1].first == step.first)
            steps[kept - 1].second += change;
        else
            steps[kept++] = Step{step.first, change};
        // A step that changes nothing still bounds the stretches that slivers are told by, except where
        // the count stays at the most counted.
        if (steps[kept - 1].second == 0 && cut == m_most)
            --kept;
    }
    steps.resize(kept);
}

bool HLRCoverCounts::survey(std::int32_t shortest) {
    std::int32_t lowFrom = 0; // where the count last fell below m_most
    int count = 0;
    bool full = true;
    m_uncountedFrom = kPositions;
    m_uncountedTo = 0;
    const auto low = [&](std::int32_t to) { // [lowFrom, to] is counted fewer than m_most times
        full = full && to - lowFrom < shortest;
        m_uncountedFrom = std::min(m_uncountedFrom, lowFrom);
        m_uncountedTo = to;
    };
    for (const auto& [position, change] : m_steps) {
        if (count < m_most && position > lowFrom)
            low(position);
        count += change;
        if (count < m_most && count - change >= m_most)
            lowFrom = position;
    }
    if (lowFrom < kPositions)
        low(kPositions);
    return full;
}

std::pair<double, double> HLRCoverCounts::uncounted() const {
    return {m_uncountedFrom / double{kPositions}, m_uncountedTo / double{kPositions}};
}

std::vector<HLRCoverCounts::Stretch> HLRCoverCounts::stretchesWithin(double from, double to,
                                                                     double shortest) const {
    std::vector<Step> steps = m_steps;
    compact(steps, m_compactedSize);
    std::vector<Stretch> stretches{{from, to, 0}};
    for (const auto& [position, change] : steps) {
        const double t = position / double{kPositions};
        if (t > from && t < to) {
            stretches.back().to = t;
            stretches.push_back({t, to, stretches.back().count});
        }
        if (t < to)
            stretches.back().count += change;
    }
    // Each sliver takes the lower count of the nearest longer stretches on either side (found in one
    // sweep each way), then neighbours of equal count become one.
    const auto isLong = [shortest](const Stretch& s) { return s.to - s.from >= shortest; };
    std::vector<int> before(stretches.size(), -1), after(stretches.size(), -1);
    for (std::size_t i = 0, last = 0; i < stretches.size(); ++i) {
        if (isLong(stretches[i]))
            last = i + 1;
        before[i] = last > 0 ? stretches[last - 1].count : -1;
    }
    for (std::size_t i = stretches.size(), next = 0; i-- > 0;) {
        if (isLong(stretches[i]))
            next = i + 1;
        after[i] = next > 0 ? stretches[next - 1].count : -1;
    }
    int fallback = stretches.front().count;
    for (const Stretch& s : stretches)
        fallback = std::min(fallback, s.count);
    std::vector<Stretch> result;
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        Stretch s = stretches[i];
        if (!isLong(s)) {
            const int lower = before[i] < 0 ? after[i] : after[i] < 0 ? before[i] : std::min(before[i], after[i]);
            s.count = lower < 0 ? fallback : lower;
        }
        s.count = std::max(s.count, 1);
        if (!result.empty() && result.back().count == s.count)
            result.back().to = s.to;
        else
            result.push_back(s);
    }
    return result;
}

HLRIntervals::HLRIntervals() = default;

HLRIntervals::HLRIntervals(const HLRIntervals& other) {
    *this = other;
}

HLRIntervals::HLRIntervals(HLRIntervals&& other) noexcept : m_pieces(std::move(other.m_pieces)) {}

HLRIntervals& HLRIntervals::operator=(const HLRIntervals& other) {
    if (this != &other) {
        m_pieces = other.m_pieces ? std::make_unique<Pieces>(*other.m_pieces) : nullptr;
    }
    return *this;
}

HLRIntervals& HLRIntervals::operator=(HLRIntervals&& other) noexcept {
    m_pieces = std::move(other.m_pieces);
    return *this;
}

void HLRIntervals::removeIntervalAt(int i) {
    m_pieces->list.erase(m_pieces->list.begin() + (i - 1));
}

void HLRIntervals::addInterval(HLRInterval interval) {
    // Room for one more is made before any piece is touched, so a failed allocation leaves them intact.
    // A hidden edge is offered tens of pieces: room for a few from the first, not grown one by one.
    constexpr std::size_t kFirstRoom = 4;
    if (!m_pieces) {
        auto made = std::make_unique<Pieces>();
        made->list.reserve(kFirstRoom);
        m_pieces = std::move(made);
    }
    std::vector<HLRInterval>& list = m_pieces->list;
    if (list.size() == list.capacity())
        list.reserve(2 * list.size());
    // The pieces that the new one absorbs follow each other: [removed, it), taken out in one step.
    auto it = list.begin();
    auto removed = list.end();
    for (; it != list.end(); ++it) {
        const MergeStep step = mergeStep(interval, *it);
        if (step == MergeStep::Skip)
            continue;
        if (step == MergeStep::Remove) {
            if (removed == list.end())
                removed = it;
            continue;
        }
        if (step == MergeStep::Finished) {
            list.erase(removed == list.end() ? it : removed, it);
            return;
        }
        break; // MergeStep::InsertBefore
    }
    if (removed == list.end()) {
        list.insert(it, interval);
        return;
    }
    *removed = interval;
    list.erase(removed + 1, it);
}

bool HLRIntervals::addCover(double from, double to, int most, double shortest, int times) {
    if (!m_pieces)
        m_pieces = std::make_unique<Pieces>();
    return m_pieces->covers.add(from, to, most, shortest, times);
}

bool HLRIntervals::settleCovers(double shortest) {
    return m_pieces && m_pieces->covers.settle(shortest);
}

std::pair<double, double> HLRIntervals::uncounted() const {
    return m_pieces ? m_pieces->covers.uncounted() : std::pair<double, double>{0.0, 1.0};
}

std::vector<HLRCoverCounts::Stretch> HLRIntervals::coverWithin(double from, double to, double shortest) const {
    return m_pieces ? m_pieces->covers.stretchesWithin(from, to, shortest)
                    : std::vector<HLRCoverCounts::Stretch>{{from, to, 1}};
}

} // namespace KvHLR
