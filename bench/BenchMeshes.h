#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// The generated scenes of the benchmarks and of the checker's cases (written out by write_scene),
// shaped like what the library is fed: closed tessellated surfaces, machined parts, open sheets and
// assemblies of many parts. Every scene is the same on every machine. A scene's triangle count only
// refines a fixed shape (sphere, torus, knot, gear, terrain) or adds parts to it (city, stack, soup); the
// count made is the nearest the shape's tessellation allows. Closed scenes are wound
// counter-clockwise seen from outside, city and terrain counter-clockwise seen from above; no two
// vertices share a position.
namespace KvHLRBench {

struct Point3 {
    double x, y, z;
};

struct Mesh {
    std::vector<Point3> points;
    std::vector<std::array<std::uint32_t, 3>> triangles;

    std::uint32_t vertex(double x, double y, double z) {
        points.push_back(Point3{x, y, z});
        return static_cast<std::uint32_t>(points.size() - 1);
    }
    void triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) { triangles.push_back({a, b, c}); }
};

constexpr double kPi = 3.141592653589793;

// Sizes are rounded half to even, so that a requested count gives the same tessellation everywhere.
inline long roundToLong(double value) {
    return std::lrint(value);
}

// A deterministic pseudo-random number in [0, 1) from integer keys (splitmix64).
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
            mesh.triangle(row0 + c, row0 + c1, row1 + c1);
            mesh.triangle(row0 + c, row1 + c1, row1 + c);
        }
    }
}

// The unit uv sphere, poles on z: n latitude bands, 2n meridians, 4n(n - 1) triangles. Seen from the
// side it gives regular triangles in the middle of the view, slivers towards the outline and a back
// half behind the front.
inline Mesh sphere(std::size_t triangleCount) {
    const auto bands = static_cast<std::uint32_t>(std::max(3L, roundToLong(std::sqrt(triangleCount / 4.0))));
    const std::uint32_t meridians = 2 * bands;
    Mesh mesh;
    const std::uint32_t north = mesh.vertex(0.0, 0.0, 1.0);
    for (std::uint32_t k = 1; k < bands; ++k) {
        const double polar = kPi * k / bands;
        const double r = std::sin(polar), z = std::cos(polar);
        for (std::uint32_t j = 0; j < meridians; ++j)
            mesh.vertex(r * std::cos(2 * kPi * j / meridians), r * std::sin(2 * kPi * j / meridians), z);
    }
    const std::uint32_t south = mesh.vertex(0.0, 0.0, -1.0);
    auto ring = [meridians](std::uint32_t k, std::uint32_t j) {
        return 1 + (k - 1) * meridians + j % meridians;
    };
    for (std::uint32_t j = 0; j < meridians; ++j) {
        mesh.triangle(north, ring(1, j), ring(1, j + 1));
        mesh.triangle(south, ring(bands - 1, j + 1), ring(bands - 1, j));
    }
    for (std::uint32_t k = 1; k + 1 < bands; ++k) {
        for (std::uint32_t j = 0; j < meridians; ++j) {
            const std::uint32_t a = ring(k, j), b = ring(k, j + 1), c = ring(k + 1, j),
                                d = ring(k + 1, j + 1);
            mesh.triangle(a, c, d);
            mesh.triangle(a, d, b);
        }
    }
    return mesh;
}

// A closed tube: a ring of `around` vertices about each point of a closed centre line, in the frame of
// the normal and binormal there (normal, binormal, tangent right-handed), so that it faces out.
struct Frame {
    Point3 centre, normal, binormal;
};

inline void addTube(Mesh& mesh, const std::vector<Frame>& frames, double radius, std::uint32_t around) {
    const auto first = static_cast<std::uint32_t>(mesh.points.size());
    for (const Frame& f : frames) {
        for (std::uint32_t j = 0; j < around; ++j) {
            const double c = std::cos(2 * kPi * j / around) * radius,
                         s = std::sin(2 * kPi * j / around) * radius;
            mesh.vertex(f.centre.x + c * f.normal.x + s * f.binormal.x,
                        f.centre.y + c * f.normal.y + s * f.binormal.y,
                        f.centre.z + c * f.normal.z + s * f.binormal.z);
        }
    }
    addGridQuads(mesh, first, static_cast<std::uint32_t>(frames.size()), around, true, true);
}

// A torus of major radius 1 and minor radius 0.4 about z: 3n rings of n vertices.
inline Mesh torus(std::size_t triangleCount) {
    const auto around = static_cast<std::uint32_t>(std::max(3L, roundToLong(std::sqrt(triangleCount / 6.0))));
    std::vector<Frame> frames;
    for (std::uint32_t i = 0; i < 3 * around; ++i) {
        const double u = 2 * kPi * i / (3 * around);
        const double cu = std::cos(u), su = std::sin(u);
        frames.push_back(Frame{{cu, su, 0.0}, {cu, su, 0.0}, {0.0, 0.0, -1.0}});
    }
    Mesh mesh;
    addTube(mesh, frames, 0.4, around);
    return mesh;
}

// A tube of radius 0.16 about the (2, 3) torus knot (a trefoil): 12n rings of n vertices. The frame's
// normal is the normal of the torus the knot lies on, so the tube closes without a twist.
inline Mesh knot(std::size_t triangleCount) {
    const double p = 2, q = 3, bigR = 1.0, smallR = 0.45;
    const auto around =
        static_cast<std::uint32_t>(std::max(3L, roundToLong(std::sqrt(triangleCount / 24.0))));
    std::vector<Frame> frames;
    for (std::uint32_t i = 0; i < 12 * around; ++i) {
        const double t = 2 * kPi * i / (12 * around);
        const double cp = std::cos(p * t), sp = std::sin(p * t), cq = std::cos(q * t), sq = std::sin(q * t);
        const double w = bigR + smallR * cq;
        double tx = -smallR * q * sq * cp - w * p * sp;
        double ty = -smallR * q * sq * sp + w * p * cp;
        double tz = smallR * q * cq;
        const double length = std::sqrt(tx * tx + ty * ty + tz * tz);
        tx /= length, ty /= length, tz /= length;
        const Point3 n{cq * cp, cq * sp, sq};
        frames.push_back(Frame{{w * cp, w * sp, smallR * sq},
                               n,
                               {ty * n.z - tz * n.y, tz * n.x - tx * n.z, tx * n.y - ty * n.x}});
    }
    Mesh mesh;
    addTube(mesh, frames, 0.16, around);
    return mesh;
}

namespace detail {

inline double involute(double baseRadius, double r) {
    const double a = std::acos(std::min(1.0, baseRadius / r));
    return std::tan(a) - a;
}

// Splits total into parts of at least 1, proportional to the weights; the remainder goes to the parts
// with the largest fractions, the earlier first.
inline std::vector<long> split(long total, const std::vector<double>& weights) {
    const auto n = static_cast<long>(weights.size());
    const long extra = total - n;
    double sum = 0.0;
    for (double w : weights)
        sum += w;
    std::vector<double> raw;
    std::vector<long> parts;
    for (double w : weights) {
        raw.push_back(extra * w / sum);
        parts.push_back(1 + static_cast<long>(raw.back()));
    }
    long rest = total - std::accumulate(parts.begin(), parts.end(), 0L);
    std::vector<std::size_t> order(weights.size());
    std::iota(order.begin(), order.end(), 0);
    auto fractionLost = [&raw](std::size_t i) { return std::trunc(raw[i]) - raw[i]; };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return fractionLost(a) < fractionLost(b); });
    for (std::size_t i = 0; i < order.size() && rest > 0; ++i, --rest)
        ++parts[order[i]];
    return parts;
}

// The outline of a spur gear of 20 teeth, module 1 and 20 degrees of pressure angle as (radius, angle)
// pairs of rising angle: involute flanks, a tip arc on the addendum circle, a root arc on the dedendum
// circle, and short straight lines where the flanks meet the root (which lies inside the base circle).
inline std::vector<std::pair<double, double>> gearOutline(long pointsPerTooth) {
    const int teeth = 20;
    const double module = 1.0;
    const double pitchRadius = module * teeth / 2.0, tipRadius = pitchRadius + module;
    const double rootRadius = pitchRadius - 1.25 * module;
    const double baseRadius = pitchRadius * std::cos(20.0 * (kPi / 180.0));
    const double pitch = 2 * kPi / teeth;
    const double halfBase = kPi / (2 * teeth) + involute(baseRadius, pitchRadius); // on the base circle
    const double gap = pitch - 2 * halfBase;
    const double delta = 0.15 * gap;
    const double tipHalf = halfBase - involute(baseRadius, tipRadius);
    const double flankLength = (tipRadius - baseRadius) * 1.1;
    const std::vector<long> parts =
        split(pointsPerTooth - 2,
              {flankLength, flankLength, 2 * tipRadius * tipHalf, rootRadius * (gap - 2 * delta)});
    const long flank = (parts[0] + parts[1]) / 2, tip = parts[2];
    const long root = parts[3] + parts[0] + parts[1] - 2 * flank;
    std::vector<std::pair<double, double>> outline;
    for (int k = 0; k < teeth; ++k) {
        const double c = k * pitch;
        for (long i = 0; i < flank; ++i) { // rising flank, base to tip
            const double r = baseRadius + (tipRadius - baseRadius) * i / flank;
            outline.emplace_back(r, c - halfBase + involute(baseRadius, r));
        }
        for (long i = 0; i < tip; ++i)
            outline.emplace_back(tipRadius, c - tipHalf + 2 * tipHalf * i / tip);
        for (long i = 0; i < flank; ++i) { // falling flank, tip to base
            const double r = tipRadius - (tipRadius - baseRadius) * i / flank;
            outline.emplace_back(r, c + halfBase - involute(baseRadius, r));
        }
        outline.emplace_back(baseRadius, c + halfBase); // down to the root circle
        const double a0 = c + halfBase + delta, a1 = c + pitch - halfBase - delta;
        for (long i = 0; i < root; ++i)
            outline.emplace_back(rootRadius, a0 + (a1 - a0) * i / root);
        outline.emplace_back(rootRadius, a1);
    }
    return outline;
}

} // namespace detail

// A spur gear of 20 teeth with a round bore of radius 3.5, 6 thick along z, its walls split into
// layers: a machined part whose flanks, tips and rims give many sharp edges. 4P(L + 1) triangles for
// P outline points and L layers.
inline Mesh gear(std::size_t triangleCount) {
    const double width = 6.0, bore = 3.5;
    const long layers = std::max(1L, roundToLong(std::sqrt(static_cast<double>(triangleCount)) / 40.0));
    const long perTooth = std::max(6L, roundToLong(triangleCount / (4.0 * (layers + 1) * 20)));
    const std::vector<std::pair<double, double>> outline = detail::gearOutline(perTooth);
    const auto n = static_cast<std::uint32_t>(outline.size());
    Mesh mesh;
    for (long l = 0; l <= layers; ++l) {
        const double z = width * l / layers;
        for (const auto& [r, a] : outline)
            mesh.vertex(r * std::cos(a), r * std::sin(a), z);
        for (const auto& [r, a] : outline)
            mesh.vertex(bore * std::cos(a), bore * std::sin(a), z);
    }
    auto outer = [n](long l) { return static_cast<std::uint32_t>(l) * 2 * n; };
    auto inner = [n](long l) { return static_cast<std::uint32_t>(l) * 2 * n + n; };
    for (long l = 0; l < layers; ++l) {
        const std::uint32_t o0 = outer(l), o1 = outer(l + 1), i0 = inner(l), i1 = inner(l + 1);
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t k = (j + 1) % n;
            // The outer wall faces away from the axis, the bore's towards it.
            mesh.triangle(o0 + j, o0 + k, o1 + k);
            mesh.triangle(o0 + j, o1 + k, o1 + j);
            mesh.triangle(i0 + j, i1 + k, i0 + k);
            mesh.triangle(i0 + j, i1 + j, i1 + k);
        }
    }
    const std::uint32_t top = outer(layers), topBore = inner(layers), bottom = outer(0),
                        bottomBore = inner(0);
    for (std::uint32_t j = 0; j < n; ++j) {
        const std::uint32_t k = (j + 1) % n;
        mesh.triangle(topBore + j, top + j, top + k);
        mesh.triangle(topBore + j, top + k, topBore + k);
        mesh.triangle(bottomBore + j, bottom + k, bottom + j);
        mesh.triangle(bottomBore + j, bottomBore + k, bottom + k);
    }
    return mesh;
}

// n x n blocks of unit pitch between streets 0.3 wide, a building of pseudo-random height on each:
// one open sheet, the walls sharing their bottom edges with the street quads. 16n² + 8n + 2 triangles;
// a larger city holds the smaller one.
inline Mesh city(std::size_t triangleCount) {
    const double halfStreet = 0.3 / 2.0;
    const double target = static_cast<double>(triangleCount);
    const long n = std::max(1L, roundToLong((std::sqrt(std::max(target - 1, 1.0)) - 1) / 4.0));
    std::vector<double> lines{0.0};
    for (long i = 0; i < n; ++i) {
        lines.push_back(i + halfStreet);
        lines.push_back(i + 1 - halfStreet);
    }
    lines.push_back(static_cast<double>(n));
    const auto g = static_cast<std::uint32_t>(lines.size());
    Mesh mesh;
    for (double y : lines)
        for (double x : lines)
            mesh.vertex(x, y, 0.0);
    auto at = [g](std::uint32_t ix, std::uint32_t iy) { return iy * g + ix; };
    for (std::uint32_t iy = 0; iy + 1 < g; ++iy) {
        for (std::uint32_t ix = 0; ix + 1 < g; ++ix) {
            const std::uint32_t ground[4] = {at(ix, iy), at(ix + 1, iy), at(ix + 1, iy + 1), at(ix, iy + 1)};
            if (ix % 2 == 0 || iy % 2 == 0) {
                mesh.triangle(ground[0], ground[1], ground[2]);
                mesh.triangle(ground[0], ground[2], ground[3]);
                continue;
            }
            const double u = hashUnit({ix, iy, 7});
            const double height = 0.4 + 3.6 * u * u * u + 0.6 * hashUnit({ix, iy, 11});
            const std::uint32_t roof[4] = {mesh.vertex(lines[ix], lines[iy], height),
                                           mesh.vertex(lines[ix + 1], lines[iy], height),
                                           mesh.vertex(lines[ix + 1], lines[iy + 1], height),
                                           mesh.vertex(lines[ix], lines[iy + 1], height)};
            for (int s = 0; s < 4; ++s) {
                mesh.triangle(ground[s], ground[(s + 1) % 4], roof[(s + 1) % 4]);
                mesh.triangle(ground[s], roof[(s + 1) % 4], roof[s]);
            }
            mesh.triangle(roof[0], roof[1], roof[2]);
            mesh.triangle(roof[0], roof[2], roof[3]);
        }
    }
    return mesh;
}

// A height field over [0, 100]² made of ten plane waves of pseudo-random direction and phase, their
// amplitude falling with frequency: a smooth open surface whose ridges hide the valleys behind them.
// 2(n - 1)² triangles.
inline Mesh terrain(std::size_t triangleCount) {
    const double size = 100.0;
    const auto n = static_cast<std::uint32_t>(std::max(2L, roundToLong(std::sqrt(triangleCount / 2.0)) + 1));
    std::vector<double> coordinates;
    for (std::uint32_t i = 0; i < n; ++i)
        coordinates.push_back(size * i / (n - 1));
    // a sin(kx x + ky y + phase) = a sin(kx x) cos(ky y + phase) + a cos(kx x) sin(ky y + phase): the
    // factors of x and of y are found once per wave.
    struct Wave {
        std::vector<double> sinX, cosX, cosY, sinY;
    };
    std::vector<Wave> waves;
    for (std::uint64_t k = 0; k < 10; ++k) {
        const double frequency = 1.5 * std::pow(1.3, static_cast<double>(k)); // cycles across the field
        const double angle = 2 * kPi * hashUnit({1, k, 1}), phase = 2 * kPi * hashUnit({1, k, 2});
        const double amplitude = 0.06 * size / frequency;
        const double kx = 2 * kPi * frequency / size * std::cos(angle);
        const double ky = 2 * kPi * frequency / size * std::sin(angle);
        Wave& wave = waves.emplace_back();
        for (double c : coordinates) {
            wave.sinX.push_back(amplitude * std::sin(kx * c));
            wave.cosX.push_back(amplitude * std::cos(kx * c));
            wave.cosY.push_back(std::cos(ky * c + phase));
            wave.sinY.push_back(std::sin(ky * c + phase));
        }
    }
    Mesh mesh;
    mesh.points.reserve(std::size_t{n} * n);
    for (std::uint32_t j = 0; j < n; ++j) {
        std::vector<double> height(n, 0.0);
        for (const Wave& wave : waves)
            for (std::uint32_t i = 0; i < n; ++i)
                height[i] = height[i] + wave.cosY[j] * wave.sinX[i] + wave.sinY[j] * wave.cosX[i];
        for (std::uint32_t i = 0; i < n; ++i)
            mesh.vertex(coordinates[i], coordinates[j], height[i]);
    }
    addGridQuads(mesh, 0, n, n, false, false);
    return mesh;
}

// Separate boxes in layers along z, one randomly sized and turned box per cell of a shifted grid in
// each layer: boxes never touch but hide each other many times over, seen along z. 12 triangles a box.
inline Mesh boxStack(std::size_t triangleCount) {
    const auto count = static_cast<std::uint64_t>(std::max(1L, roundToLong(triangleCount / 12.0)));
    const auto layers = static_cast<std::uint64_t>(
        std::max(2L, roundToLong(std::pow(static_cast<double>(count), 1.0 / 3.0))));
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
        const double theta = 0.5 * kPi * random(1);
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
            mesh.vertex(px + lx * ct - ly * st, py + lx * st + ly * ct, pz + lz);
        }
        for (const auto& f : faces) {
            mesh.triangle(first + f[0], first + f[1], first + f[2]);
            mesh.triangle(first + f[0], first + f[2], first + f[3]);
        }
    }
    return mesh;
}

// triangleCount triangles whose corners are spread at random over the unit cube: a soup of large
// triangles, about a quarter of whose pairs pass through each other, so that the intersection lines grow
// with the square of the count (5,000 triangles cross along some 3.5 million segments).
inline Mesh soup(std::size_t triangleCount) {
    Mesh mesh;
    for (std::uint64_t t = 0; t < triangleCount; ++t) {
        const auto first = static_cast<std::uint32_t>(mesh.points.size());
        for (std::uint64_t corner = 0; corner < 3; ++corner)
            mesh.vertex(hashUnit({t, corner, 0}), hashUnit({t, corner, 1}), hashUnit({t, corner, 2}));
        mesh.triangle(first, first + 1, first + 2);
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

// The named scene: sphere, torus, knot, gear, city, terrain, stack or soup.
inline Mesh scene(const std::string& name, std::size_t triangleCount) {
    using Make = Mesh (*)(std::size_t);
    static const std::pair<const char*, Make> scenes[] = {
        {"sphere", sphere}, {"torus", torus},     {"knot", knot},      {"gear", gear},
        {"city", city},     {"terrain", terrain}, {"stack", boxStack}, {"soup", soup}};
    for (const auto& [sceneName, make] : scenes)
        if (name == sceneName)
            return make(triangleCount);
    throw std::invalid_argument("unknown scene '" + name +
                                "' (sphere, torus, knot, gear, city, terrain, stack, soup)");
}

// The mesh as OBJ: vertex and face lines only, coordinates to 12 significant digits.
inline void writeObj(const Mesh& mesh, std::FILE* out) {
    for (const Point3& p : mesh.points)
        std::fprintf(out, "v %.12g %.12g %.12g\n", p.x, p.y, p.z);
    for (const auto& t : mesh.triangles)
        std::fprintf(out, "f %u %u %u\n", t[0] + 1, t[1] + 1, t[2] + 1);
}

// The mesh as binary STL: an 80-byte header, the count, then each triangle's zero normal and corners as
// floats and two bytes of attributes.
inline void writeStl(const Mesh& mesh, std::FILE* out) {
    char header[80] = "kvhlr benchmark mesh";
    std::fwrite(header, 1, sizeof header, out);
    const auto count = static_cast<std::uint32_t>(mesh.triangles.size());
    std::fwrite(&count, sizeof count, 1, out);
    for (const auto& t : mesh.triangles) {
        float record[12] = {0, 0, 0};
        for (int k = 0; k < 3; ++k) {
            const Point3& p = mesh.points[t[k]];
            record[3 + 3 * k] = static_cast<float>(p.x);
            record[4 + 3 * k] = static_cast<float>(p.y);
            record[5 + 3 * k] = static_cast<float>(p.z);
        }
        std::fwrite(record, sizeof record, 1, out);
        std::fwrite("\0\0", 2, 1, out);
    }
}

} // namespace KvHLRBench
