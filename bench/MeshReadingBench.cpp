// Reading 1M-triangle mesh files: the kit's OBJ and binary STL readers against reading the file's bytes
// alone, on one thread and on two. The files (the generated sphere, terrain and gear) are written once
// into the folder KVHLR_BENCH_MESHES names (/tmp/kvhlr_bench_meshes by default) and read from the page
// cache, so that the bytes cost only their copy. Run one case per process under `/usr/bin/time -f %M`
// for the peak memory of reading:
//
//   kvhlr_bench --benchmark_filter='MeshReading/kit/sphere.obj/threads:2$'

#include "bench/BenchMeshes.h"

#include "kit/mesh/ObjReader.h"
#include "kit/mesh/StlReader.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const char* const kScenes[] = {"sphere", "terrain", "gear"};
constexpr std::size_t kTriangles = 1000000;

// The scene's file of type `extension`, written first when missing.
std::string meshFile(const std::string& scene, const std::string& extension) {
    const char* folder = std::getenv("KVHLR_BENCH_MESHES");
    const std::filesystem::path dir = folder != nullptr ? folder : "/tmp/kvhlr_bench_meshes";
    const std::filesystem::path path = dir / (scene + "." + extension);
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directories(dir);
        const KvHLRBench::Mesh mesh = KvHLRBench::scene(scene, kTriangles);
        const std::string partial = path.string() + ".partial";
        std::FILE* out = std::fopen(partial.c_str(), "wb");
        if (out == nullptr)
            throw std::runtime_error("cannot write " + partial);
        if (extension == "obj")
            KvHLRBench::writeObj(mesh, out);
        else
            KvHLRBench::writeStl(mesh, out);
        std::fclose(out);
        std::filesystem::rename(partial, path);
    }
    return path.string();
}

void readBytes(benchmark::State& state, const std::string& scene, const std::string& extension) {
    const std::string path = meshFile(scene, extension);
    const std::size_t size = std::filesystem::file_size(path);
    for (auto _ : state) {
        std::string bytes(size, '\0');
        std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(size));
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void readMesh(benchmark::State& state, const std::string& scene, const std::string& extension) {
    const std::string path = meshFile(scene, extension);
    const auto threads = static_cast<unsigned>(state.range(0));
    std::size_t points = 0;
    for (auto _ : state) {
        const auto parts = extension == "obj" ? kvhlr::readObjFile(path, false, [](double) {}, threads)
                                              : kvhlr::readBinaryStlFile(path, false, [](double) {}, threads);
        points = parts->at(0).points.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
    state.counters["points"] = static_cast<double>(points);
}

const bool registered = [] {
    for (const char* scene : kScenes)
        for (const char* extension : {"obj", "stl"}) {
            const std::string name = std::string(scene) + "." + extension;
            benchmark::RegisterBenchmark(("MeshReading/bytes/" + name).c_str(), readBytes, scene, extension)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("MeshReading/kit/" + name).c_str(), readMesh, scene, extension)
                ->ArgName("threads")
                ->Arg(1)
                ->Arg(2)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    return true;
}();

} // namespace
