// What one CalcSilhouette call costs on a tiny model: a 12-triangle cube drawn 1,000 times in a row
// through the public entry point, as a host that draws one small part after another does. Its time is
// the fixed cost of a call (threads, buffers, set-up), not the drawing. Drawn in the library's default
// modes and in the drawing kit's (exact hiding and intersection lines).

#include "Hlr/HLRRunModes.h"
#include "api/CalcSilhouette.h"
#include "tests/support/Cameras.h"

#include <benchmark/benchmark.h>

#include <optional>
#include <vector>

using namespace KvHLR;

namespace {

Polygon3D unitCube() {
    Polygon3D cube;
    for (int corner = 0; corner < 8; ++corner)
        cube.points.emplace_back(corner & 1, (corner >> 1) & 1, (corner >> 2) & 1);
    cube.triangles = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                      {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    return cube;
}

// Looking at the cube's centre from along (1, 1, 1), all of it in the frame.
ViewInfoCriteria isometricView() {
    ViewInfoCriteria view;
    view.modelViewXform =
        KvHLRTest::lookAt(ON_3dPoint(5.5, 5.5, 5.5), ON_3dPoint(0.5, 0.5, 0.5), ON_3dVector(0, 0, 1));
    view.projectionXform = KvHLRTest::orthographic(-2, 2, -2, 2, 1, 20);
    view.nearPlaneDepth = 1;
    view.farPlaneDepth = 20;
    return view;
}

void cubeCalls(benchmark::State& state, std::optional<HLRRunModes> modes) {
    const Polygon3D cube = unitCube();
    const ViewInfoCriteria view = isometricView();
    ProjectorCriteria criteria;
    criteria.showSilhouette = criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = true;
    criteria.showHiddenLine = true;
    std::size_t lineCount = 0;
    for (auto _ : state) {
        Polygon3D polygon = cube; // a call empties the polygon it is handed
        std::vector<StrokeLine> lines;
        const bool done = modes ? CalcSilhouette(*modes, criteria, view, polygon, {}, lines)
                                : CalcSilhouette(criteria, view, polygon, {}, lines);
        if (!done)
            state.SkipWithError("the drawing was not made");
        lineCount = lines.size();
    }
    state.counters["lines"] = static_cast<double>(lineCount);
}

const bool registered = [] {
    HLRRunModes kitModes;
    kitModes.exactHiding = kitModes.intersectionLines = true;
    for (const auto& [name, modes] :
         {std::pair<const char*, std::optional<HLRRunModes>>{"SmallCall/cube/default", std::nullopt},
          {"SmallCall/cube/exact_intersections", kitModes}})
        benchmark::RegisterBenchmark(name, cubeCalls, modes)
            ->Iterations(1000)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
    return true;
}();

} // namespace
