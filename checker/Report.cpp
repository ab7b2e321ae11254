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
            {"sharp_kind", s.sharpKind, t.kindAgreement}};
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string shown(const Ratio& r) {
    return r.scored == 0 ? "  -   " : formatted("%.4f", r.value());
}

} // namespace

std::vector<std::string> shortfalls(const Scores& scores, const Thresholds& thresholds) {
    std::vector<std::string> failed;
    for (const NamedScore& s : namedScores(scores, thresholds))
        if (s.ratio.value() < s.threshold)
            failed.emplace_back(s.name);
    return failed;
}

std::string summaryLine(const CaseFigures& f, const std::vector<std::string>& failed) {
    const Scores& s = f.scores;
    std::string line =
        f.name + "  visible R " + shown(s.visibleRecall) + " P " + shown(s.visiblePrecision) + "  hidden R " +
        shown(s.hiddenRecall) + " P " + shown(s.hiddenPrecision) + "  kind silhouette " +
        shown(s.silhouetteKind) + " sharp " + shown(s.sharpKind) + "  (" +
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
        {"output_points_unscored",
         {{"visible", f.scores.visiblePointsUnscored}, {"hidden", f.scores.hiddenPointsUnscored}}},
        {"mesh", {{"points", f.points}, {"triangles", f.triangles}}},
        {"edges",
         {{"boundary", f.edgesByClass[0]},
          {"silhouette", f.edgesByClass[1]},
          {"sharp", f.edgesByClass[2]},
          {"feature_of_uncertain_kind", f.edgesByClass[3]},
          {"uncertain", f.edgesByClass[4]},
          {"at_near_plane", f.edgesAtNearPlane}}},
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
