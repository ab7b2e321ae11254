// write_scene: writes one generated scene (bench/BenchMeshes.h) as OBJ, for the checker's cases, or as
// binary STL where OUT ends in .stl (for timing the readers).
//
//   write_scene SCENE TRIANGLES OUT.obj|OUT.stl
//
// TRIANGLES is the count asked for (scientific notation is accepted); the count made is printed.

#include "bench/BenchMeshes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: write_scene SCENE TRIANGLES OUT.obj|OUT.stl\n");
        return 2;
    }
    try {
        const KvHLRBench::Mesh mesh =
            KvHLRBench::scene(argv[1], static_cast<std::size_t>(std::strtod(argv[2], nullptr)));
        const std::size_t length = std::strlen(argv[3]);
        const bool stl = length >= 4 && std::strcmp(argv[3] + length - 4, ".stl") == 0;
        std::FILE* out = std::fopen(argv[3], "wb");
        if (out == nullptr) {
            std::perror(argv[3]);
            return 1;
        }
        if (stl)
            KvHLRBench::writeStl(mesh, out);
        else
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
