#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
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

// A deterministic pseudo-random number in [0, 1) from integer keys (splitmix64), so that the
// generated scenes are the same on every machine.
inline double hashUnit(std::initializer_list<std::uint64_t> keys) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL;
    for (std::uint64_t k : keys) {
        h += k + 0x9E3779B97F4A7C15ULL;
        h ^= h >> 30;
        h *= 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 27;
        h *= 0x94D049BB133111EBULL;
        h ^= h >> 31;
    }
    return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

// Quads over a rows x columns vertex grid numbered first + r * columns + c, two triangles each,
// counter-clockwise when columns run along x and rows along y; wrapping closes the grid into a tube.
inline void addGridQuads(Mesh& mesh, std::uint32_t first, std::uint32_t rows, std::uint32_t columns,
                         bool wrapRows, bool wrapColumns) {
    const std::uint32_t quadRows = wrapRows ? rows : rows - 1;
    const std::uint32_t quadColumns = wrapColumns ? columns : columns - 1;
    for (std::uint32_t r = 0; r < quadRows; ++r) {
        const std::uint32_t row0 = first + r * columns;
        const std::uint32_t row1 = first + ((r + 1) % rows) * columns;
        for (std::uint32_t c = 0; c < quadColumns; ++c) {
            const std::uint32_t c1 = (c + 1) % columns;
            mesh.triangles.push_back({row0 + c, row0 + c1, row1 + c1});
            mesh.triangles.push_back({row0 + c, row1 + c1, row1 + c});
        }
    }
}

// A height field over [0, 100]^2 made of plane waves: a smooth open surface whose ridges hide the
// valleys behind them. About triangleCount triangles.
inline Mesh terrain(std::size_t triangleCount) {
    const double size = 100.0, pi = 3.141592653589793;
    const auto n = static_cast<std::uint32_t>(std::max(2.0, std::round(std::sqrt(triangleCount / 2.0)) + 1));
    Mesh mesh;
    mesh.points.reserve(std::size_t{n} * n);
    for (std::uint32_t j = 0; j < n; ++j) {
        const double y = size * j / (n - 1);
        for (std::uint32_t i = 0; i < n; ++i) {
            const double x = size * i / (n - 1);
            double height = 0.0;
            for (std::uint64_t k = 0; k < 10; ++k) {
                const double frequency = 1.5 * std::pow(1.3, static_cast<double>(k));
                const double angle = 2 * pi * hashUnit({1, k, 1}), phase = 2 * pi * hashUnit({1, k, 2});
                const double wave = 2 * pi * frequency / size;
                height += 0.06 * size / frequency *
                          std::sin(wave * (x * std::cos(angle) + y * std::sin(angle)) + phase);
            }
            mesh.points.push_back(Point3{x, y, height});
        }
    }
    addGridQuads(mesh, 0, n, n, false, false);
    return mesh;
}

// A spur gear of 20 teeth with a round bore, axis along z, walls split into layers: a machined part
// whose tooth flanks, tips and rims give many sharp edges. About triangleCount triangles.
inline Mesh gear(std::size_t triangleCount) {
    const double pi = 3.141592653589793, width = 6.0, bore = 3.5;
    const int teeth = 20;
    const auto layers =
        static_cast<std::uint32_t>(std::max(1.0, std::round(std::sqrt(triangleCount) / 40.0)));
    const auto perTooth =
        static_cast<std::uint32_t>(std::max(8.0, std::round(triangleCount / (4.0 * (layers + 1) * teeth))));
    // Each tooth: a root arc, a rising flank, the tip and a falling flank, as (radius, angle) pairs.
    const double pitchRadius = teeth / 2.0, tipRadius = pitchRadius + 1.0, rootRadius = pitchRadius - 1.25;
    const std::uint32_t quarter = perTooth / 4, profileCount = 4 * quarter * teeth;
    std::vector<std::array<double, 2>> outline;
    for (int t = 0; t < teeth; ++t) {
        const double centre = 2 * pi * t / teeth, step = 2 * pi / teeth / (4.0 * quarter);
        for (std::uint32_t i = 0; i < 4 * quarter; ++i) {
            const double along = static_cast<double>(i % quarter) / quarter;
            const std::uint32_t part = i / quarter;
            const double radius = part == 0   ? rootRadius
                                  : part == 1 ? rootRadius + (tipRadius - rootRadius) * along
                                  : part == 2 ? tipRadius
                                              : tipRadius - (tipRadius - rootRadius) * along;
            outline.push_back({radius, centre + step * i});
        }
    }
    Mesh mesh;
    for (std::uint32_t l = 0; l <= layers; ++l) {
        const double z = width * l / layers;
        for (const auto& [radius, angle] : outline)
            mesh.points.push_back(Point3{radius * std::cos(angle), radius * std::sin(angle), z});
        for (const auto& [radius, angle] : outline)
            mesh.points.push_back(Point3{bore * std::cos(angle), bore * std::sin(angle), z});
    }
    const std::uint32_t n = profileCount;
    auto outer = [n](std::uint32_t l) { return l * 2 * n; };
    auto inner = [n](std::uint32_t l) { return l * 2 * n + n; };
    for (std::uint32_t l = 0; l < layers; ++l) {
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t k = (j + 1) % n;
            const std::uint32_t o0 = outer(l), o1 = outer(l + 1), i0 = inner(l), i1 = inner(l + 1);
            mesh.triangles.push_back({o0 + j, o0 + k, o1 + k});
            mesh.triangles.push_back({o0 + j, o1 + k, o1 + j});
            mesh.triangles.push_back({i0 + j, i1 + k, i0 + k});
            mesh.triangles.push_back({i0 + j, i1 + j, i1 + k});
        }
    }
    for (std::uint32_t j = 0; j < n; ++j) {
        const std::uint32_t k = (j + 1) % n;
        const std::uint32_t ot = outer(layers), it = inner(layers), ob = outer(0), ib = inner(0);
        mesh.triangles.push_back({it + j, ot + j, ot + k});
        mesh.triangles.push_back({it + j, ot + k, it + k});
        mesh.triangles.push_back({ib + j, ob + k, ob + j});
        mesh.triangles.push_back({ib + j, ib + k, ob + k});
    }
    return mesh;
}

// Separate boxes in layers along z, one randomly sized and turned box per cell of a shifted grid in
// each layer: boxes never touch but hide each other many times over, seen along z. 12 triangles a box.
inline Mesh boxStack(std::size_t triangleCount) {
    const auto count = static_cast<std::uint64_t>(std::max(1.0, std::round(triangleCount / 12.0)));
    const auto layers =
        static_cast<std::uint64_t>(std::max(2.0, std::round(std::cbrt(static_cast<double>(count)))));
    const auto side =
        static_cast<std::uint64_t>(std::max(1.0, std::ceil(std::sqrt(static_cast<double>(count) / layers))));
    // Corners numbered 4x + 2y + z; faces counter-clockwise seen from outside.
    const std::uint32_t faces[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1},
                                       {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
    Mesh mesh;
    mesh.points.reserve(count * 8);
    mesh.triangles.reserve(count * 12);
    for (std::uint64_t b = 0; b < count; ++b) {
        const std::uint64_t layer = b / (side * side), cell = b % (side * side);
        const double cx = static_cast<double>(cell % side), cy = static_cast<double>(cell / side);
        auto random = [b](std::uint64_t salt) { return hashUnit({b, salt}); };
        const double theta = 0.5 * 3.141592653589793 * random(1);
        const double ct = std::cos(theta), st = std::sin(theta);
        double hx = 0.12 + 0.3 * random(2), hy = 0.12 + 0.3 * random(3);
        const double hz = 0.1 + 0.3 * random(4);
        double ex = hx * ct + hy * st, ey = hx * st + hy * ct;
        const double scale = std::min(1.0, 0.47 / std::max(ex, ey));
        hx *= scale, hy *= scale, ex *= scale, ey *= scale;
        const double px = cx + hashUnit({layer, 101}) + 0.5 + (random(5) - 0.5) * 2 * (0.48 - ex);
        const double py = cy + hashUnit({layer, 102}) + 0.5 + (random(6) - 0.5) * 2 * (0.48 - ey);
        const double pz = static_cast<double>(layer) + 0.5 + (random(7) - 0.5) * 2 * (0.48 - hz);
        const auto first = static_cast<std::uint32_t>(mesh.points.size());
        for (int corner = 0; corner < 8; ++corner) {
            const double lx = corner & 4 ? hx : -hx, ly = corner & 2 ? hy : -hy, lz = corner & 1 ? hz : -hz;
            mesh.points.push_back(Point3{px + lx * ct - ly * st, py + lx * st + ly * ct, pz + lz});
        }
        for (const auto& f : faces) {
            mesh.triangles.push_back({first + f[0], first + f[1], first + f[2]});
            mesh.triangles.push_back({first + f[0], first + f[2], first + f[3]});
        }
    }
    return mesh;
}

} // namespace KvHLRBench
