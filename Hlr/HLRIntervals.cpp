#include "Hlr/HLRIntervals.h"

#include <algorithm>
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

HLRIntervals::HLRIntervals() : m_cursor(m_intervals.end()), m_cursorIndex(1) {}

HLRIntervals::HLRIntervals(const HLRIntervals& other) : m_intervals(other.m_intervals) {
    resetCursorToFront();
}

HLRIntervals::HLRIntervals(HLRIntervals&& other) noexcept : m_intervals(std::move(other.m_intervals)) {
    resetCursorToFront();
    other.resetCursorToFront();
}

HLRIntervals& HLRIntervals::operator=(const HLRIntervals& other) {
    if (this != &other) {
        m_intervals = other.m_intervals;
    }
    resetCursorToFront();
    return *this;
}

HLRIntervals& HLRIntervals::operator=(HLRIntervals&& other) noexcept {
    if (this != &other) {
        m_intervals = std::move(other.m_intervals);
        other.resetCursorToFront();
    }
    resetCursorToFront();
    return *this;
}

void HLRIntervals::resetCursorToFront() {
    m_cursor = m_intervals.begin();
    m_cursorIndex = 1;
}

void HLRIntervals::moveCursorTo(int i) const {
    const int endIndex = size() + 1;
    const int fromHead = i - 1;
    const int fromTail = endIndex - i;
    const int fromCursor = std::abs(i - m_cursorIndex);
    if (fromHead <= fromCursor && fromHead <= fromTail) {
        m_cursor = m_intervals.begin();
        m_cursorIndex = 1;
    } else if (fromTail < fromCursor) {
        m_cursor = m_intervals.end();
        m_cursorIndex = endIndex;
    }
    std::advance(m_cursor, i - m_cursorIndex);
    m_cursorIndex = i;
}

const HLRInterval& HLRIntervals::intervalAt(int i) const {
    moveCursorTo(i);
    return *m_cursor;
}

void HLRIntervals::removeIntervalAt(int i) {
    moveCursorTo(i);
    m_cursor = m_intervals.erase(m_cursor);
}

void HLRIntervals::addInterval(HLRInterval interval) {
    // The node is made before the list is touched, so a failed allocation leaves the list intact.
    std::list<HLRInterval> node(1, interval);
    HLRInterval& added = node.front();
    int index = 1;
    auto it = m_intervals.begin();
    while (it != m_intervals.end()) {
        switch (mergeStep(added, *it)) {
        case MergeStep::InsertBefore:
            m_cursor = node.begin();
            m_intervals.splice(it, node);
            m_cursorIndex = index;
            return;
        case MergeStep::Finished:
            m_cursor = it;
            m_cursorIndex = index;
            return;
        case MergeStep::Remove:
            it = m_intervals.erase(it);
            break;
        case MergeStep::Skip:
            ++it;
            ++index;
            break;
        }
    }
    m_cursor = node.begin();
    m_intervals.splice(m_intervals.end(), node);
    m_cursorIndex = index;
}

} // namespace KvHLR
