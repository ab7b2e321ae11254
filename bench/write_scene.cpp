// write_scene: writes one generated scene (bench/BenchMeshes.h) as OBJ, for the checker's cases.
//
//   write_scene SCENE TRIANGLES OUT.obj
//
// TRIANGLES is the count asked for (scientific notation is accepted); the count made is printed.

#include "bench/BenchMeshes.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: write_scene SCENE TRIANGLES OUT.obj\n");
        return 2;
    }
    try {
        const KvHLRBench::Mesh mesh =
            KvHLRBench::scene(argv[1], static_cast<std::size_t>(std::strtod(argv[2], nullptr)));
        std::FILE* out = std::fopen(argv[3], "w");
        if (out == nullptr) {
            std::perror(argv[3]);
            return 1;
        }
        KvHLRBench::writeObj(mesh, out);
        if (std::fclose(out) != 0) {
            std::perror(argv[3]);
            return 1;
        }
        std::fprintf(stderr, "%s: %zu vertices, %zu triangles\n", argv[1], mesh.points.size(),
                     mesh.triangles.size());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "write_scene: %s\n", error.what());
        return 2;
    }
    return 0;
}
