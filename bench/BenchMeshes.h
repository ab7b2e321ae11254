#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

// Synthetic models for the benchmarks, shaped like what the library is fed: closed tessellated
// surfaces and assemblies of many small parts.
namespace KvHLRBench {

struct Point3 {
    double x, y, z;
};

struct Mesh {
    std::vector<Point3> points;
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

// A closed latitude-longitude sphere of about triangleCount triangles, its poles on the y axis. Seen
// along z it gives regular triangles in the middle of the view, slivers and fans towards the outline
// and a back half behind the front.
inline Mesh sphere(std::size_t triangleCount) {
    const std::size_t stacks =
        std::max<std::size_t>(2, static_cast<std::size_t>(std::sqrt(triangleCount / 4.0)));
    const std::size_t slices = 2 * stacks;
    const double pi = 3.141592653589793;
    Mesh mesh;
    for (std::size_t i = 0; i <= stacks; ++i) {
        const double polar = pi * static_cast<double>(i) / static_cast<double>(stacks);
        for (std::size_t j = 0; j < slices; ++j) {
            const double azimuth = 2 * pi * static_cast<double>(j) / static_cast<double>(slices);
            mesh.points.push_back(Point3{std::sin(polar) * std::cos(azimuth),
                                         std::sin(polar) * std::sin(azimuth), std::cos(polar)});
        }
    }
    auto at = [slices](std::size_t i, std::size_t j) {
        return static_cast<std::uint32_t>(i * slices + j % slices);
    };
    for (std::size_t i = 0; i < stacks; ++i) {
        for (std::size_t j = 0; j < slices; ++j) {
            mesh.triangles.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            mesh.triangles.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    }
    return mesh;
}

// triangleCount small triangles scattered through the unit cube, grouped as parts of 12: an assembly
// of many small parts, with local crowding where parts happen to fall together.
inline Mesh scatteredParts(std::size_t triangleCount, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double partSize = 1.5 / std::sqrt(static_cast<double>(triangleCount) / 12.0);
    Mesh mesh;
    Point3 centre{};
    for (std::size_t t = 0; t < triangleCount; ++t) {
        if (t % 12 == 0) {
            centre = Point3{unit(random), unit(random), unit(random)};
        }
        for (int k = 0; k < 3; ++k) {
            mesh.points.push_back(Point3{centre.x + partSize * (unit(random) - 0.5),
                                         centre.y + partSize * (unit(random) - 0.5),
                                         centre.z + partSize * (unit(random) - 0.5)});
        }
        const auto first = static_cast<std::uint32_t>(3 * t);
        mesh.triangles.push_back({first, first + 1, first + 2});
    }
    return mesh;
}

} // namespace KvHLRBench
