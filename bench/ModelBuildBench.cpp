// The stages before the hide pass, and the whole drawing through the public entry point, on the
// same synthetic models as the hide pass; and the search for the parts that cannot cross themselves,
// which runs beside the projection whenever intersection lines are asked for, on the scenes where it
// has the most to judge.

#include "bench/BenchScene.h"

#include "Hlr/HLRCrossingFreeParts.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRProjectedModel.h"
#include "api/CalcSilhouette.h"

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

enum class Model { Sphere, Parts };

Polygon3D soup(Model model, std::size_t triangleCount) {
    return KvHLRBench::soupOf(model == Model::Sphere ? KvHLRBench::sphere(triangleCount)
                                                     : KvHLRBench::scatteredParts(triangleCount, 7));
}

void modelBuild(benchmark::State& state, Model model) {
    const Polygon3D polygon = soup(model, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        HLRModel built;
        built.build(polygon);
        benchmark::DoNotOptimize(built.triangleData().size());
    }
    state.SetComplexityN(state.range(0));
}

void projectedModelBuild(benchmark::State& state, Model model) {
    HLRModel source;
    source.build(soup(model, static_cast<std::size_t>(state.range(0))));
    const HLRProjector view = KvHLRBench::camera();
    for (auto _ : state) {
        HLRProjectedModel projected(source, view, 135.0 * 3.141592653589793 / 180.0, true, 800);
        projected.build();
        benchmark::DoNotOptimize(projected.edgeCount());
    }
    state.SetComplexityN(state.range(0));
}

void crossingFreeParts(benchmark::State& state, const std::string& scene) {
    HLRModel model;
    model.build(KvHLRBench::soupOf(KvHLRBench::scene(scene, static_cast<std::size_t>(state.range(0)))));
    std::vector<const HLRTriangleData*> sources;
    for (const HLRTriangleData& data : model.triangleData())
        sources.push_back(&data);
    for (auto _ : state) {
        const HLRCrossingFreeParts parts(sources);
        benchmark::DoNotOptimize(parts.needsTest(0, 0));
    }
}

// Everything a caller waits for: model, hide pass, strokes, joining and the output conversion.
void wholeDrawing(benchmark::State& state, Model model) {
    const Polygon3D polygon = soup(model, static_cast<std::size_t>(state.range(0)));
    ViewInfoCriteria view;
    view.modelViewXform[2][3] = -10.0;
    view.nearPlaneDepth = 1.0;
    view.farPlaneDepth = 1000.0;
    ProjectorCriteria criteria;
    criteria.showSilhouette = criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = true;
    criteria.showHiddenLine = true;
    std::size_t lineCount = 0;
    for (auto _ : state) {
        Polygon3D input = polygon;
        std::vector<StrokeLine> lines;
        CalcSilhouette(criteria, view, input, {}, lines);
        lineCount = lines.size();
    }
    state.SetComplexityN(state.range(0));
    state.counters["lines"] = static_cast<double>(lineCount);
}

void add(const std::string& title, void (*function)(benchmark::State&, Model), Model model, int largest) {
    benchmark::RegisterBenchmark(title.c_str(), function, model)
        ->RangeMultiplier(10)
        ->Range(10000, largest)
        ->Complexity(benchmark::oNLogN)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

const bool registered = [] {
    for (const auto& [model, name] :
         {std::pair<Model, std::string>{Model::Sphere, "sphere"}, {Model::Parts, "parts"}}) {
        add("ModelBuild/" + name, modelBuild, model, 1000000);
        add("ProjectedModelBuild/" + name, projectedModelBuild, model, 1000000);
        // Scattered parts hide each other everywhere: a million of them make millions of hidden
        // lines, minutes of work that says nothing the smaller sizes do not.
        add("WholeDrawing/" + name, wholeDrawing, model, model == Model::Sphere ? 1000000 : 100000);
    }
    for (const std::string scene : {"sphere", "terrain", "gear", "city"})
        benchmark::RegisterBenchmark(("CrossingFreeParts/" + scene).c_str(), crossingFreeParts, scene)
            ->Arg(1000000)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    return true;
}();

} // namespace
