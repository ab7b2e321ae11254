#pragma once

// The outcome of one check: its figures, the scores judged against thresholds, a one-line summary for
// people and a JSON record of every figure.

#include "checker/FeatureEdges.h"
#include "checker/LineFaults.h"
#include "checker/Scores.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace kvcheck {

struct Thresholds {
    double visibleRecall = 0.99;
    double visiblePrecision = 0.99;
    double hiddenRecall = 0.98;
    double hiddenPrecision = 0.98;
    double kindAgreement = 0.0;      // both kind scores; 0 leaves them unjudged
    double intersectionRecall = 0.0; // 0 leaves it unjudged
    double levelAgreement = 0.0;     // 0 leaves it unjudged
    // Unset leaves them unjudged.
    std::optional<std::uint64_t> maxZeroLengthLines;
    std::optional<double> maxHiddenUnderVisibleShare;
};

struct CaseFigures {
    std::string name;
    std::size_t points = 0, triangles = 0;
    std::size_t edgesByClass[5] = {}; // indexed by EdgeClass, the mesh's edges only
    std::size_t tangentEdges = 0;     // judged: the model's, less those drawn as other edges
    std::size_t intersectionSegments = 0, uncertainIntersectionSegments = 0;
    bool intersectionsJudged = true;
    bool levelsJudged = false;
    std::size_t samplesByVisibility[3] = {}; // indexed by Visibility
    std::size_t edgesAtNearPlane = 0;
    double drawingSize = 0, tolerance = 0, spacing = 0, worldTolerance = 0;
    Scores scores;
    LineFaults lineFaults;
    double seconds = 0;
};

// The names of the scores below their thresholds and of the faults above theirs, empty when the check
// passes.
std::vector<std::string> shortfalls(const CaseFigures& figures, const Thresholds& thresholds);

std::string summaryLine(const CaseFigures& figures, const std::vector<std::string>& failed);

nlohmann::json toJson(const CaseFigures& figures, const Thresholds& thresholds,
                      const std::vector<std::string>& failed);

} // namespace kvcheck
