#include "bench/BenchMeshes.h"

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRVector2D.h"
#include "WindowQuery/RootTree.h"
#include "WindowQuery/Traverser.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using KvHLR::HLRBoundingBox2D;

namespace {

struct PackedBoxTraits {
    using Item = const HLRBoundingBox2D*;
    static std::uint32_t minCode(const Item& box) { return box->minCode(); }
    static std::uint32_t maxCode(const Item& box) { return box->maxCode(); }
};
using Tree = WindowQuery::RootTree<PackedBoxTraits>;

enum class Model { Sphere, Parts };

// The packed screen boxes of a model's triangles seen along z, on a grid over the model's extent,
// as the projected model computes them.
struct Scene {
    std::vector<HLRBoundingBox2D> boxes;
    std::vector<const HLRBoundingBox2D*> items;
};

const Scene& scene(Model model, std::size_t triangleCount) {
    static std::map<std::pair<Model, std::size_t>, std::unique_ptr<Scene>> cache;
    std::unique_ptr<Scene>& cached = cache[{model, triangleCount}];
    if (cached) {
        return *cached;
    }
    const KvHLRBench::Mesh mesh = model == Model::Sphere ? KvHLRBench::sphere(triangleCount)
                                                         : KvHLRBench::scatteredParts(triangleCount, 7);
    KvHLR::HLRBox2D world;
    for (const KvHLRBench::Point3& p : mesh.points) {
        world.add(KvHLR::HLRVector2D(p.x, p.y));
    }
    HLRBoundingBox2D::setWorld(world);
    cached = std::make_unique<Scene>();
    for (const auto& triangle : mesh.triangles) {
        KvHLR::HLRBox2D box;
        for (std::uint32_t corner : triangle) {
            box.add(KvHLR::HLRVector2D(mesh.points[corner].x, mesh.points[corner].y));
        }
        cached->boxes.emplace_back(box.min(), box.max());
    }
    for (const HLRBoundingBox2D& box : cached->boxes) {
        cached->items.push_back(&box);
    }
    return *cached;
}

class CountingTraverser : public WindowQuery::Traverser<PackedBoxTraits> {
public:
    bool visit(const Item&, std::size_t) override {
        ++hits;
        return true;
    }
    std::size_t hits = 0;
};

void buildTree(benchmark::State& state, Model model, unsigned threads) {
    const Scene& data = scene(model, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Tree tree;
        tree.build(data.items, threads);
        benchmark::DoNotOptimize(tree.root());
    }
    state.SetComplexityN(state.range(0));
}

// Windows are the boxes of the model's own triangles in random order, as the hide pass asks with
// the boxes of the edges between them.
void queryTree(benchmark::State& state, Model model) {
    const Scene& data = scene(model, static_cast<std::size_t>(state.range(0)));
    Tree tree;
    tree.build(data.items, std::thread::hardware_concurrency());
    std::vector<const HLRBoundingBox2D*> windows = data.items;
    std::shuffle(windows.begin(), windows.end(), std::mt19937(11));
    CountingTraverser traverser;
    std::size_t next = 0;
    for (auto _ : state) {
        const HLRBoundingBox2D* window = windows[next++ % windows.size()];
        traverser.setWindow(window->minCode(), window->maxCode());
        tree.query(traverser);
    }
    state.SetComplexityN(state.range(0));
    state.counters["hits/query"] =
        benchmark::Counter(static_cast<double>(traverser.hits) / static_cast<double>(state.iterations()));
}

const bool registered = [] {
    const std::vector<std::pair<Model, std::string>> models = {{Model::Sphere, "sphere"},
                                                               {Model::Parts, "parts"}};
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (const auto& [model, name] : models) {
        for (unsigned threads : {0u, cores}) {
            const std::string title = "TreeBuild/" + name + "/threads:" + std::to_string(threads);
            benchmark::RegisterBenchmark(title.c_str(), buildTree, model, threads)
                ->RangeMultiplier(10)
                ->Range(10000, 1000000)
                ->Complexity(benchmark::oNLogN)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        benchmark::RegisterBenchmark(("TreeQuery/" + name).c_str(), queryTree, model)
            ->RangeMultiplier(10)
            ->Range(10000, 1000000)
            ->Complexity(benchmark::oNLogN)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

} // namespace
