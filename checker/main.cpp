// kvhlr_check: judges a drawing made by kvhlr against visibility found independently, by ray casting.
// Exit status 0 when every score reaches its threshold, 1 when one falls short, 2 on bad input.

#include "checker/Check.h"
#include "checker/InputError.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>

namespace {

using namespace kvcheck;

void writeReport(const std::string& path, const nlohmann::json& report) {
    std::ofstream out(path);
    out << report.dump(2) << '\n';
    if (!out)
        throw InputError(path, "cannot write the report");
}

int run(int argc, char** argv) {
    CLI::App app("Checks the visible and hidden lines of a kvhlr drawing (JSON) against ray-cast visibility "
                 "of the mesh's feature edges.");
    CheckRequest request;
    Thresholds thresholds;
    std::string reportPath;
    app.add_option("mesh", request.meshPath, "The OBJ mesh kvhlr drew")->required();
    app.add_option("drawing", request.drawingPath, "The drawing: kvhlr MESH --hidden ... -o DRAWING.json")
        ->required();
    app.add_option("--sharp-angle", request.sharpAngleDegrees, "The --sharp-angle given to kvhlr")
        ->check(CLI::Range(0.0, 180.0))
        ->capture_default_str();
    std::vector<double> sectionPoint, sectionNormal;
    auto* point = app.add_option("--section-point", sectionPoint, "A section's plane (kvhlr --section-point): the "
                                                                   "mesh is cut by it first")
                      ->expected(3)
                      ->delimiter(',');
    auto* normal = app.add_option("--section-normal", sectionNormal, "The section plane's normal")
                       ->expected(3)
                       ->delimiter(',');
    point->needs(normal);
    normal->needs(point);
    app.add_option("--name", request.name, "The case's name in the summary and report");
    app.add_option("--report", reportPath, "Write every figure to this JSON file");
    app.add_flag("--no-intersections{false}", request.intersections,
                 "Leave the lines where surfaces cross out of the truth, for drawings made with kvhlr "
                 "--no-intersections");
    app.add_flag("--tangent-edges", request.tangentEdges,
                 "Judge the model's tangent edges (the mesh file's polylines) as kind 9 where visible, for "
                 "drawings made with kvhlr --tangent-edges thin or hidden");
    app.add_flag("--levels", request.levels,
                 "Count the hidden samples' occlusion levels with rays and judge the hidden lines' levels, for "
                 "drawings made with kvhlr --hidden-levels");
    app.add_option("--min-visible-recall", thresholds.visibleRecall)->capture_default_str();
    app.add_option("--min-visible-precision", thresholds.visiblePrecision)->capture_default_str();
    app.add_option("--min-hidden-recall", thresholds.hiddenRecall)->capture_default_str();
    app.add_option("--min-hidden-precision", thresholds.hiddenPrecision)->capture_default_str();
    app.add_option("--min-kind-agreement", thresholds.kindAgreement,
                   "Bar for the kind scores (silhouette, sharp, tangent); 0 leaves them unjudged")
        ->capture_default_str();
    app.add_option("--min-intersection-recall", thresholds.intersectionRecall,
                   "Bar for the share of the intersection lines' samples drawn, visible ones as kind 6; 0 "
                   "leaves it unjudged")
        ->capture_default_str();
    app.add_option("--min-level-agreement", thresholds.levelAgreement,
                   "Bar for the share of the hidden samples drawn whose level the line near them has (--levels); "
                   "0 leaves it unjudged")
        ->capture_default_str();
    app.add_option("--max-zero-length-lines", thresholds.maxZeroLengthLines,
                   "Most lines allowed that are mere dots; default: not judged");
    app.add_option(
           "--max-hidden-under-visible", thresholds.maxHiddenUnderVisibleShare,
           "Largest share of the hidden lines' length allowed to lie along visible lines; default: not "
           "judged")
        ->check(CLI::Range(0.0, 1.0));
    // A case's own bar follows the bars shared by its kind of case, and the last one given counts.
    for (CLI::Option* option : app.get_options())
        if (option->get_name().rfind("--m", 0) == 0)
            option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    if (!sectionPoint.empty())
        request.section = {{Vec3{sectionPoint[0], sectionPoint[1], sectionPoint[2]},
                            Vec3{sectionNormal[0], sectionNormal[1], sectionNormal[2]}}};
    const CaseFigures figures = runCheck(request, std::cerr);
    const std::vector<std::string> failed = shortfalls(figures, thresholds);
    std::cout << summaryLine(figures, failed) << std::endl;
    if (!reportPath.empty())
        writeReport(reportPath, toJson(figures, thresholds, failed));
    return failed.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const InputError& error) {
        std::cerr << "kvhlr_check: " << error.what() << '\n';
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "kvhlr_check: failed: " << error.what() << '\n';
        return 2;
    }
}
