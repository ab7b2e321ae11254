#pragma once

// Compares a drawing with the samples of the feature edges, in drawing coordinates, within a distance
// `tolerance`:
//
// - recall: the share of Visible (Hidden) samples within tolerance of a visible (hidden) line. Hidden
//   samples that a Visible or Unscored stretch passes over within `coincidence` are left out: a
//   drawing need not draw a hidden line under a visible one, nor where that is uncertain. So are those
//   of edges that a drawn visible line passes over within `coincidence` with a Visible stretch within
//   `spacing`: where visible edges meet end to end (a T-junction of an open surface), no stretch joins
//   the last sample of one to the first of the next, yet the line runs on. Samples of doubtful
//   intersection segments are left out too: a drawing need not show them, but they count for
//   precision and as stretches passing over;
// - precision: the share of points taken every `spacing` along the visible (hidden) lines that lie
//   within tolerance of the Visible (Hidden) samples or of the stretches joining neighbouring samples
//   alike; points near Unscored or settled samples (Samples.h) only are left out;
// - kind agreement (of samples the view settles itself, not the turned views): the share of Visible
//   silhouette samples within tolerance of a silhouette line
//   (kind 0), and of Visible sharp-edge samples within tolerance of a sharp line (kind 2 or 3);
// - intersection recall: the share of Visible intersection samples within tolerance of a visible
//   intersection line (kind 6), and of Hidden ones (those the hidden recall counts) within tolerance of
//   a hidden line;
// - tangent kind: the share of Visible tangent-edge samples within tolerance of a tangent line (kind 9).
//   Hidden tangent samples are left out of the hidden recall: a drawing leaves hidden tangent edges out;
// - level agreement: of the Hidden samples with a level (Samples.h) that the hidden recall finds drawn,
//   but for those a drawn visible line passes over within `merging` (the distance within which the
//   drawing makes line ends one: a hidden line that close to a visible one is drawn as that line), the
//   share within tolerance of a hidden line of the same level.
//
// Visible lines are those of kinds 0, 2, 3, 5, 6, 7 and 9; hidden lines are kind 1.

#include "checker/Drawing.h"
#include "checker/Samples.h"
#include "checker/SegmentGrid.h"

#include <cstdint>
#include <functional>

namespace kvcheck {

struct Ratio {
    std::uint64_t matched = 0;
    std::uint64_t scored = 0;
    std::vector<Vec2> misses; // the first kMissesKept scored points that did not match, for diagnosis

    static constexpr std::size_t kMissesKept = 200;
    void count(bool match, Vec2 at) {
        ++scored;
        if (match)
            ++matched;
        else if (misses.size() < kMissesKept)
            misses.push_back(at);
    }
    // 1 when nothing was scored: there was nothing to get wrong.
    double value() const { return scored == 0 ? 1.0 : double(matched) / double(scored); }
};

struct Scores {
    Ratio visibleRecall, visiblePrecision;
    Ratio hiddenRecall, hiddenPrecision;
    Ratio silhouetteKind, sharpKind, tangentKind;
    Ratio intersectionRecall;
    Ratio levelAgreement;
    std::uint64_t visiblePointsUnscored = 0, hiddenPointsUnscored = 0;
    std::uint64_t hiddenSamplesCovered = 0; // left out of the hidden recall
};

// The samples' bounding box grown so that everything within tolerance of a sample lies inside.
Box2 frameOf(const EdgeSamples& samples, double tolerance);

// The samples that `takes` and the stretches joining neighbours along an edge that it takes both of,
// filed for lookups within `tolerance`.
SegmentGrid truthGrid(const EdgeSamples& edges, const std::function<bool(const Sample&)>& takes,
                      const Box2& frame, double tolerance);

Scores score(const EdgeSamples& samples, const std::vector<Line>& lines, double tolerance, double spacing,
             double coincidence, double merging);

} // namespace kvcheck
