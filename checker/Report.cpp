#include "checker/Report.h"

#include <cstdio>

namespace kvcheck {
namespace {

struct NamedScore {
    const char* name;
    const Ratio& ratio;
    double threshold;
};

std::vector<NamedScore> namedScores(const Scores& s, const Thresholds& t) {
    return {{"visible_recall", s.visibleRecall, t.visibleRecall},
            {"visible_precision", s.visiblePrecision, t.visiblePrecision},
            {"hidden_recall", s.hiddenRecall, t.hiddenRecall},
            {"hidden_precision", s.hiddenPrecision, t.hiddenPrecision},
            {"silhouette_kind", s.silhouetteKind, t.kindAgreement},
            {"sharp_kind", s.sharpKind, t.kindAgreement},
            {"tangent_kind", s.tangentKind, t.kindAgreement},
            {"intersection_recall", s.intersectionRecall, t.intersectionRecall},
            {"level_agreement", s.levelAgreement, t.levelAgreement}};
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

template <class T> nlohmann::json orNull(const std::optional<T>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json();
}

std::string shown(const Ratio& r) {
    return r.scored == 0 ? "  -   " : formatted("%.4f", r.value());
}

} // namespace

std::vector<std::string> shortfalls(const CaseFigures& figures, const Thresholds& thresholds) {
    std::vector<std::string> failed;
    for (const NamedScore& s : namedScores(figures.scores, thresholds))
        if (s.ratio.value() < s.threshold)
            failed.emplace_back(s.name);
    const LineFaults& faults = figures.lineFaults;
    if (thresholds.maxZeroLengthLines && faults.zeroLengthLines > *thresholds.maxZeroLengthLines)
        failed.emplace_back("zero_length_lines");
    if (thresholds.maxHiddenUnderVisibleShare &&
        faults.hiddenUnderVisibleShare() > *thresholds.maxHiddenUnderVisibleShare)
        failed.emplace_back("hidden_under_visible");
    return failed;
}

std::string summaryLine(const CaseFigures& f, const std::vector<std::string>& failed) {
    const Scores& s = f.scores;
    std::string line =
        f.name + "  visible R " + shown(s.visibleRecall) + " P " + shown(s.visiblePrecision) + "  hidden R " +
        shown(s.hiddenRecall) + " P " + shown(s.hiddenPrecision) + "  intersection R " +
        (f.intersectionsJudged ? shown(s.intersectionRecall) : std::string("off")) + "  kind silhouette " +
        shown(s.silhouetteKind) + " sharp " + shown(s.sharpKind) + " tangent " + shown(s.tangentKind) +
        "  level " + (f.levelsJudged ? shown(s.levelAgreement) : std::string("off")) +
        "  zero-length lines " +
        std::to_string(f.lineFaults.zeroLengthLines) + "  hidden under visible " +
        formatted("%.4f", f.lineFaults.hiddenUnderVisibleShare()) + " (" +
        std::to_string(f.lineFaults.hiddenUnderVisiblePieces) + " pieces)  (" +
        std::to_string(f.samplesByVisibility[0] + f.samplesByVisibility[1] + f.samplesByVisibility[2]) +
        " samples, " + formatted("%.2f", f.seconds) + " s)  ";
    if (failed.empty())
        return line + "PASS";
    line += "FAIL:";
    for (const std::string& name : failed)
        line += " " + name;
    return line;
}

nlohmann::json toJson(const CaseFigures& f, const Thresholds& thresholds,
                      const std::vector<std::string>& failed) {
    nlohmann::json scores = nlohmann::json::object();
    for (const NamedScore& s : namedScores(f.scores, thresholds)) {
        nlohmann::json misses = nlohmann::json::array();
        for (const Vec2& p : s.ratio.misses)
            misses.push_back({p.x, p.y});
        scores[s.name] = {{"value", s.ratio.value()},
                          {"matched", s.ratio.matched},
                          {"scored", s.ratio.scored},
                          {"threshold", s.threshold},
                          {"first_misses", misses}};
    }
    return {
        {"name", f.name},
        {"passed", failed.empty()},
        {"failed", failed},
        {"scores", scores},
        {"zero_length_lines",
         {{"count", f.lineFaults.zeroLengthLines}, {"max", orNull(thresholds.maxZeroLengthLines)}}},
        {"hidden_under_visible",
         {{"share", f.lineFaults.hiddenUnderVisibleShare()},
          {"length", f.lineFaults.hiddenUnderVisibleLength},
          {"pieces", f.lineFaults.hiddenUnderVisiblePieces},
          {"hidden_length", f.lineFaults.hiddenLength},
          {"max_share", orNull(thresholds.maxHiddenUnderVisibleShare)}}},
        {"output_points_unscored",
         {{"visible", f.scores.visiblePointsUnscored}, {"hidden", f.scores.hiddenPointsUnscored}}},
        {"hidden_samples_covered", f.scores.hiddenSamplesCovered},
        {"mesh", {{"points", f.points}, {"triangles", f.triangles}}},
        {"edges",
         {{"boundary", f.edgesByClass[0]},
          {"silhouette", f.edgesByClass[1]},
          {"sharp", f.edgesByClass[2]},
          {"feature_of_uncertain_kind", f.edgesByClass[3]},
          {"uncertain", f.edgesByClass[4]},
          {"tangent", f.tangentEdges},
          {"at_near_plane", f.edgesAtNearPlane}}},
        {"intersections",
         {{"judged", f.intersectionsJudged},
          {"segments", f.intersectionSegments},
          {"uncertain", f.uncertainIntersectionSegments}}},
        {"samples",
         {{"visible", f.samplesByVisibility[0]},
          {"hidden", f.samplesByVisibility[1]},
          {"unscored", f.samplesByVisibility[2]}}},
        {"drawing_size", f.drawingSize},
        {"tolerance", f.tolerance},
        {"spacing", f.spacing},
        {"world_tolerance", f.worldTolerance},
        {"seconds", f.seconds},
    };
}

} // namespace kvcheck
