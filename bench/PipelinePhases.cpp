// kvhlr_phases: one drawing of one generated scene, timed whole and phase by phase, written as one line
// of JSON. One scene per process, so that the peak memory it reports belongs to that drawing alone.
//
//   kvhlr_phases SCENE TRIANGLES [--perspective] [--hidden] [--exact] [--intersections] [--levels[=N]]
//                [--threads=N] [--frequent-progress] [--provenance]
//
// SCENE is sphere, gear, stack, terrain, torus, knot or city (bench/BenchMeshes.h); --exact draws with
// exact hiding, --intersections with intersection lines, --levels with occlusion levels (with --exact; =N
// tells levels apart up to N, 0 or none: all),
// --frequent-progress with the progress calls the drawing kit asks for (the longest gap between them is
// how long a cancel may wait), --provenance with every line's sources recorded
// (HLRPolyAlgo::setProvenance). The whole drawing
// goes through the public CalcSilhouette; the phases then repeat the same drawing stage by stage.

#include "bench/BenchScene.h"

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRExactHiding.h"
#include "Hlr/HLRExactStrokeJoiner.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRPostProcessor.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRWindowQueryTraverser.h"
#include "api/CalcSilhouette.h"
#include "api/DrawingCleanup.h"
#include "api/SilhouettePipeline.h"
#include "host/KvCore.h"
#include "kit/camera/CameraFit.h"

#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

using namespace KvHLR;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU time of all the process's threads: on a loaded machine it still tells whether work was saved.
double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

struct Timing {
    double seconds;
    double cpuSeconds;
};

Timing timed(const std::function<void()>& work) {
    const Clock::time_point start = Clock::now();
    const double cpuStart = processCpuSeconds();
    work();
    return Timing{secondsSince(start), processCpuSeconds() - cpuStart};
}

long statusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + key.size());
    return -1;
}

// Peak resident memory since the last reset, from the kernel's high-water mark.
long peakKilobytes() {
    return statusKilobytes("VmHWM:");
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The fitted iso camera kvhlr would use for a z-up model.
ViewInfoCriteria isoCamera(const Polygon3D& soup, bool perspective) {
    kvhlr::MeshPart part;
    part.points = soup.points;
    kvhlr::CameraRequest request;
    request.direction = kvhlr::namedViewDirection("iso", kvhlr::UpAxis::Z);
    if (perspective)
        request.perspectiveFovDegrees = 40.0;
    return kvhlr::fitCamera(request, {part});
}

// The longest wait between two progress reports, counting the call's start and end as reports.
Clock::time_point lastReport;
double longestGap = 0.0;
int recordReport(long, long) {
    longestGap = std::max(longestGap, secondsSince(lastReport));
    lastReport = Clock::now();
    return 0;
}

struct Whole {
    Timing time;
    long peakKilobytes;
    double longestProgressGap;
    std::size_t lines;
};

Whole drawWhole(const ProjectorCriteria& criteria, const ViewInfoCriteria& view, const Polygon3D& soup) {
    Polygon3D input = soup;
    std::vector<StrokeLine> lines;
    resetPeak();
    longestGap = 0.0;
    lastReport = Clock::now();
    const Timing time = timed([&] { CalcSilhouette(criteria, view, input, {}, lines, recordReport); });
    recordReport(100, 100);
    return Whole{time, peakKilobytes(), longestGap, lines.size()};
}

struct Phases {
    std::map<std::string, Timing> times;
    double treeMegabytes; // what the search structure (window-query tree, or exact hiding's grid) holds once
                          // built
};

// What one drawing holds between its stages; taking it down is timed as a stage of its own.
struct Drawing {
    HLRModel model;
    std::optional<HLRPolyAlgo> algorithm;
    HLRWindowQueryTraverser::Tree tree;       // the plain hide test's search structure
    std::optional<HLRExactHiding::Grid> grid; // exact hiding's
    std::optional<HLRPostProcessor> postProcessor;
};

// The same drawing as CalcSilhouette makes, stage by stage (the conversion to drawing lines left out).
Phases drawInPhases(const ProjectorCriteria& criteria, const ViewInfoCriteria& view, const Polygon3D& soup) {
    std::map<std::string, Timing> phases;
    waitForLeftoversOfLastRun();
    auto drawing = std::make_unique<Drawing>();
    phases["model_build"] = timed([&] { drawing->model.build(soup); });
    const HLRProjector projector = projectorFor(view);
    HLRPolyAlgo& algorithm = drawing->algorithm.emplace(
        drawing->model, projector, criteria.sharpEdgeAngle * 3.141592653589793 / 180.0, true, 800, nullptr);
    phases["projected_build"] = timed([&] { algorithm.preProcess(); });
    HLRProjectedModel& projected = algorithm.getModel();
    phases["tolerances_and_dots"] = timed([&] { projected.preProcess(); });
    if (projected.withIntersectionLines())
        phases["intersections"] = timed([&] { projected.findIntersectionLines(); });
    const long beforeTree = statusKilobytes("VmRSS:");
    const bool exact = HLRProjectedModel::sm_bExactHiding;
    const std::vector<HLRProjectedTriangleEdge*> edges =
        exact ? std::vector<HLRProjectedTriangleEdge*>() : projected.edgesToHide();
    const std::vector<HLRExactEdge*> exactEdges =
        exact ? projected.exactEdgesToHide() : std::vector<HLRExactEdge*>();
    phases["tree_build"] = timed([&] {
        if (exact)
            drawing->grid.emplace(HLRExactHiding::gridOf(projected.occluders(), exactEdges));
        else
            HLRWindowQueryTraverser::buildTree(drawing->tree, projected.hiders(), edges,
                                               Kv::GetNumberOfProcessors());
    });
    const double treeMegabytes = (statusKilobytes("VmRSS:") - beforeTree) / 1024.0;
    phases["hide_pass"] = timed([&] {
        if (exact) {
            const std::optional<HLRClosedParts> closedParts = projected.findClosedParts();
            HLRExactHiding::hideEdges(*drawing->grid, exactEdges, 0, closedParts ? &*closedParts : nullptr);
        } else
            HLRWindowQueryTraverser::hideEdges(drawing->tree, edges);
    });
    phases["extraction"] = timed([&] { algorithm.postProcess(); });
    if (algorithm.exactJoiner()) {
        // Exact hiding joins its own pieces: no network to renew.
        std::vector<HLRExactStrokeJoiner::Polyline> joined;
        phases["joining"] = timed([&] { joined = algorithm.exactJoiner()->join(criteria.showHiddenLine); });
        // The caller's lines, as CalcSilhouette makes them (a vector of points each; left in screen
        // units, which the cleanup's relative tolerance does not mind), and their cleanup.
        phases["drawing_lines"] = timed([&] {
            std::vector<StrokeLine> lines;
            lines.reserve(joined.size());
            for (const HLRExactStrokeJoiner::Polyline& polyline : joined) {
                StrokeLine& line = lines.emplace_back();
                line.kind = (polyline.type & HLRProjectedTriangleEdge::VISIBLE_MASK) ? 0 : 1;
                line.points.reserve(polyline.points.size());
                for (const HLRVector2D& p : polyline.points)
                    line.points.emplace_back(p.x(), p.y());
            }
            std::vector<HLRExactStrokeJoiner::Polyline>().swap(joined);
            cleanUpDrawing(lines);
        });
        phases["teardown"] = timed([&] { drawing.reset(); });
        return Phases{phases, treeMegabytes};
    }
    // The renewal the post processor starts with, timed on its own: the post processor then finds the
    // network renewed. Mask and tolerance are the ones it uses.
    const int mask = postProcessingMask(criteria);
    const HLRBox2D& world = HLRBoundingBox2D::world();
    const double tolerance = std::min(world.width(), world.height()) * 1e-6;
    phases["renewal"] = timed([&] { algorithm.renewStrokeNetwork(mask, tolerance); });
    HLRPostProcessor& postProcessor = drawing->postProcessor.emplace(algorithm, 1, nullptr);
    phases["joining"] = timed([&] { postProcessor.execute(mask); });
    phases["teardown"] = timed([&] { drawing.reset(); });
    return Phases{phases, treeMegabytes};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: kvhlr_phases sphere|gear|stack|terrain TRIANGLES [--perspective] [--hidden] "
                     "[--exact] [--intersections] [--levels[=N]] [--threads=N] [--frequent-progress] [--provenance]\n";
        return 2;
    }
    try {
        const std::string sceneName = argv[1];
        const auto requested = static_cast<std::size_t>(std::atof(argv[2]));
        bool perspective = false, hidden = false, exact = false, intersections = false, levels = false,
             provenance = false;
        int deepestLevel = 0;
        for (int i = 3; i < argc; ++i) {
            const std::string option = argv[i];
            perspective = perspective || option == "--perspective";
            hidden = hidden || option == "--hidden";
            exact = exact || option == "--exact";
            intersections = intersections || option == "--intersections";
            provenance = provenance || option == "--provenance";
            levels = levels || option.rfind("--levels", 0) == 0;
            if (option.rfind("--levels=", 0) == 0)
                deepestLevel = std::atoi(option.c_str() + 9);
            if (option == "--frequent-progress")
                HLRCancelPoll::setFrequentProgress(true);
            if (option.rfind("--threads=", 0) == 0) {
                const int threads = std::atoi(option.c_str() + 10);
                Kv::SetProcessorLimit(static_cast<std::uint32_t>(threads));
                omp_set_num_threads(threads);
            }
        }
        HLRPolyAlgo::setExactHiding(exact);
        HLRPolyAlgo::setIntersectionLines(intersections);
        HLRPolyAlgo::setProvenance(provenance);
        HLRPolyAlgo::setOcclusionLevels(levels, deepestLevel);
        const Polygon3D soup = KvHLRBench::soupOf(KvHLRBench::scene(sceneName, requested));
        const ViewInfoCriteria view = isoCamera(soup, perspective);
        ProjectorCriteria criteria;
        criteria.showSilhouette = criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = true;
        criteria.showHiddenLine = hidden;

        const long inputKilobytes = peakKilobytes();
        const Whole whole = drawWhole(criteria, view, soup);
        const Phases phases = drawInPhases(criteria, view, soup);

        std::ostringstream json;
        json << "{\"scene\": \"" << sceneName << "\", \"triangles\": " << soup.triangles.size()
             << ", \"projection\": \"" << (perspective ? "perspective" : "orthographic")
             << "\", \"hidden\": " << (hidden ? "true" : "false")
             << ", \"exact\": " << (exact ? "true" : "false")
             << ", \"intersections\": " << (intersections ? "true" : "false")
             << ", \"provenance\": " << (provenance ? "true" : "false")
             << ", \"levels\": " << (levels ? std::to_string(deepestLevel) : "false")
             << ", \"threads\": " << Kv::GetNumberOfProcessors() << ", \"seconds\": " << whole.time.seconds
             << ", \"cpu_seconds\": " << whole.time.cpuSeconds
             << ", \"peak_mb\": " << whole.peakKilobytes / 1024.0
             << ", \"input_mb\": " << inputKilobytes / 1024.0
             << ", \"longest_progress_gap\": " << whole.longestProgressGap << ", \"lines\": " << whole.lines
             << ", \"tree_mb\": " << phases.treeMegabytes;
        for (const auto& [name, time] : phases.times)
            json << ", \"" << name << "\": " << time.seconds << ", \"" << name
                 << "_cpu\": " << time.cpuSeconds;
        json << "}\n";
        std::cout << json.str();
    } catch (const std::exception& error) {
        std::cerr << "kvhlr_phases: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
