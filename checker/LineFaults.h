#pragma once

// Faults of a drawing that show without the mesh: lines that are mere dots (an edge seen end-on drawn
// as a point), and hidden lines drawn along visible ones, where the dashes vanish under the solid line
// and only clutter the drawing.

#include "checker/Drawing.h"
#include "checker/SegmentGrid.h"

#include <cstdint>

namespace kvcheck {

struct LineFaults {
    std::uint64_t zeroLengthLines = 0;
    // Stretches of hidden lines under visible ones: how many (a stretch continues from one segment of
    // a line to the next) and how long in all, against the whole length of the hidden lines.
    std::uint64_t hiddenUnderVisiblePieces = 0;
    double hiddenUnderVisibleLength = 0;
    double hiddenLength = 0;

    double hiddenUnderVisibleShare() const {
        return hiddenLength > 0 ? hiddenUnderVisibleLength / hiddenLength : 0;
    }
};

// Shares of the drawing size. A line whose points all lie within kDotShare of its first is a dot. A
// hidden stretch lies under a visible segment when both ends of the visible segment's stretch alongside
// lie within kOverlapShare of the hidden segment's line; stretches no longer than that are rounding
// where a visible line turns hidden.
constexpr double kDotShare = 1e-9, kOverlapShare = 1e-6;

// Hidden lines are looked at inside `frame` only.
LineFaults findLineFaults(const std::vector<Line>& lines, const Box2& frame, double drawingSize);

} // namespace kvcheck
