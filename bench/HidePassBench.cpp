#include "bench/BenchScene.h"

#include "Hlr/HLRModel.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRWindowQueryTraverser.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

enum class Model { Sphere, Parts };

// The hide pass alone: tree build and parallel loop over the feature edges of a projected model
// made afresh, outside the timing, for every run.
void hidePass(benchmark::State& state, Model model) {
    const auto triangleCount = static_cast<std::size_t>(state.range(0));
    HLRModel source;
    source.build(KvHLRBench::soupOf(model == Model::Sphere ? KvHLRBench::sphere(triangleCount)
                                                           : KvHLRBench::scatteredParts(triangleCount, 7)));
    const HLRProjector view = KvHLRBench::camera();
    const unsigned buildThreads = std::thread::hardware_concurrency();
    std::size_t edgeCount = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto projected =
            std::make_unique<HLRProjectedModel>(source, view, 135.0 * 3.141592653589793 / 180.0, false, 800);
        projected->build();
        projected->preProcess();
        const std::vector<HLRProjectedTriangleEdge*> edges = projected->edgesToHide();
        edgeCount = edges.size();
        state.ResumeTiming();
        HLRWindowQueryTraverser::Tree tree;
        HLRWindowQueryTraverser::buildTree(tree, projected->hiders(), edges, buildThreads);
        HLRWindowQueryTraverser::hideEdges(tree, edges);
        state.PauseTiming();
        projected.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
    state.counters["edges"] = static_cast<double>(edgeCount);
}

const bool registered = [] {
    for (const auto& [model, name] :
         {std::pair<Model, std::string>{Model::Sphere, "sphere"}, {Model::Parts, "parts"}}) {
        benchmark::RegisterBenchmark(("HidePass/" + name).c_str(), hidePass, model)
            ->RangeMultiplier(10)
            ->Range(10000, 1000000)
            ->Complexity(benchmark::oNLogN)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

} // namespace
