#include "kit/mesh/DemoPart.h"

#include "kit/mesh/VertexWelder.h"

#include <cmath>
#include <utility>

namespace kvhlr {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kSegments = 32;    // around every circle; a multiple of 8 puts the square's corners on rays
constexpr double kHalfCell = 20; // the plate is 3 x 3 square cells
constexpr double kThickness = 12;
constexpr double kHoleRadius = 7;

// Triangles welded as they come, each turned to face `outward`.
class MeshBuilder {
public:
    void triangle(const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c, const ON_3dVector& outward) {
        const ON_3dVector u = b - a, v = c - a;
        const ON_3dVector n(u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x);
        const bool facing = n.x * outward.x + n.y * outward.y + n.z * outward.z >= 0.0;
        const std::uint64_t i = m_welder.add(a), j = m_welder.add(facing ? b : c),
                            k = m_welder.add(facing ? c : b);
        if (i != j && j != k && k != i)
            m_triangles.emplace_back(i, j, k);
    }
    void quad(const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c, const ON_3dPoint& d,
              const ON_3dVector& outward) {
        triangle(a, b, c, outward);
        triangle(a, c, d, outward);
    }
    MeshPart finish() {
        MeshPart part;
        part.points = m_welder.takePoints();
        part.faces.push_back(std::move(m_triangles));
        return part;
    }

private:
    VertexWelder m_welder;
    Kv::KvTriangleList m_triangles;
};

// One square cell of the plate, centred at (cx, cz) in the x-z plane. Its border is sampled where the
// rays of the circle angles meet it, from one table of offsets, so that neighbouring cells produce
// bit-identical border points and weld.
struct Cell {
    double cx, cz;

    static double sideOffset(int j) { // j in [-kSegments/8, kSegments/8]; odd in j, exact at the corners
        if (std::abs(j) == kSegments / 8)
            return j < 0 ? -kHalfCell : kHalfCell;
        const double t = kHalfCell * std::tan(2 * kPi * std::abs(j) / kSegments);
        return j < 0 ? -t : t;
    }
    ON_3dPoint border(int k, double y) const {
        k = ((k % kSegments) + kSegments) % kSegments;
        const int side = (k + kSegments / 8) / (kSegments / 4) % 4;
        const int j = k - side * (kSegments / 4) - (side == 0 && k > kSegments / 2 ? kSegments : 0);
        const double t = sideOffset(j);
        const double u[4] = {kHalfCell, -t, -kHalfCell, t};
        const double v[4] = {t, kHalfCell, -t, -kHalfCell};
        return ON_3dPoint(cx + u[side], y, cz + v[side]);
    }
    ON_3dPoint circle(int k, double radius, double y) const {
        const double angle = 2 * kPi * (k % kSegments) / kSegments;
        return ON_3dPoint(cx + radius * std::cos(angle), y, cz + radius * std::sin(angle));
    }
    // The horizontal direction from the axis through the middle of segment k.
    ON_3dVector radial(int k) const {
        const double angle = 2 * kPi * (k + 0.5) / kSegments;
        return ON_3dVector(std::cos(angle), 0, std::sin(angle));
    }
};

const ON_3dVector kUp(0, 1, 0), kDown(0, -1, 0);

void plainCell(MeshBuilder& mesh, const Cell& cell) {
    for (int k = 0; k < kSegments; ++k) {
        mesh.triangle(ON_3dPoint(cell.cx, kThickness, cell.cz), cell.border(k, kThickness),
                      cell.border(k + 1, kThickness), kUp);
        mesh.triangle(ON_3dPoint(cell.cx, 0, cell.cz), cell.border(k, 0), cell.border(k + 1, 0), kDown);
    }
}

// The flat ring between the cell's border and a circle of `radius`, at height y.
void annulus(MeshBuilder& mesh, const Cell& cell, double radius, double y, const ON_3dVector& outward) {
    for (int k = 0; k < kSegments; ++k)
        mesh.quad(cell.circle(k, radius, y), cell.border(k, y), cell.border(k + 1, y),
                  cell.circle(k + 1, radius, y), outward);
}

// A surface of revolution about the cell's axis through profile points (radius, height). The outward
// side is to the right of the profile's direction in the (radius, height) plane.
void revolve(MeshBuilder& mesh, const Cell& cell, const std::vector<std::pair<double, double>>& profile) {
    for (std::size_t i = 0; i + 1 < profile.size(); ++i) {
        const auto [r0, y0] = profile[i];
        const auto [r1, y1] = profile[i + 1];
        for (int k = 0; k < kSegments; ++k) {
            const ON_3dVector radial = cell.radial(k);
            const double nr = y1 - y0, ny = r0 - r1;
            mesh.quad(cell.circle(k, r0, y0), cell.circle(k, r1, y1), cell.circle(k + 1, r1, y1),
                      cell.circle(k + 1, r0, y0), ON_3dVector(radial.x * nr, ny, radial.z * nr));
        }
    }
}

void holeCell(MeshBuilder& mesh, const Cell& cell) {
    annulus(mesh, cell, kHoleRadius, kThickness, kUp);
    annulus(mesh, cell, kHoleRadius, 0, kDown);
    revolve(mesh, cell, {{kHoleRadius, kThickness}, {kHoleRadius, 0}});
}

// The boss: a fillet of four facets onto the plate, the cylinder, a counterbore and the bore.
void bossCell(MeshBuilder& mesh, const Cell& cell) {
    constexpr double filletRadius = 4, bossRadius = 14, top = kThickness + 24;
    constexpr double counterboreRadius = 9, counterboreFloor = top - 5, boreRadius = 6;
    std::vector<std::pair<double, double>> profile{{bossRadius + filletRadius, kThickness}};
    for (int i = 1; i < 4; ++i) {
        const double a = i * kPi / 8;
        profile.emplace_back(bossRadius + filletRadius * (1 - std::sin(a)),
                             kThickness + filletRadius * (1 - std::cos(a)));
    }
    profile.insert(profile.end(), {{bossRadius, kThickness + filletRadius},
                                   {bossRadius, top},
                                   {counterboreRadius, top},
                                   {counterboreRadius, counterboreFloor},
                                   {boreRadius, counterboreFloor},
                                   {boreRadius, 0}});
    annulus(mesh, cell, bossRadius + filletRadius, kThickness, kUp);
    annulus(mesh, cell, boreRadius, 0, kDown);
    revolve(mesh, cell, profile);
}

// The plate's outer wall along one side of a border cell: k runs over that side's border samples.
void wall(MeshBuilder& mesh, const Cell& cell, int firstK, const ON_3dVector& outward) {
    for (int k = firstK; k < firstK + kSegments / 4; ++k)
        mesh.quad(cell.border(k, kThickness), cell.border(k + 1, kThickness), cell.border(k + 1, 0),
                  cell.border(k, 0), outward);
}

} // namespace

std::vector<MeshPart> demoPart() {
    MeshBuilder mesh;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const Cell cell{(i - 1) * 2 * kHalfCell, (j - 1) * 2 * kHalfCell};
            if (i == 1 && j == 1)
                bossCell(mesh, cell);
            else if (i != 1 && j != 1)
                holeCell(mesh, cell);
            else
                plainCell(mesh, cell);
            if (i == 2)
                wall(mesh, cell, -kSegments / 8, ON_3dVector(1, 0, 0));
            if (j == 2)
                wall(mesh, cell, kSegments / 8, ON_3dVector(0, 0, 1));
            if (i == 0)
                wall(mesh, cell, 3 * kSegments / 8, ON_3dVector(-1, 0, 0));
            if (j == 0)
                wall(mesh, cell, 5 * kSegments / 8, ON_3dVector(0, 0, -1));
        }
    std::vector<MeshPart> parts;
    parts.push_back(mesh.finish());
    return parts;
}

} // namespace kvhlr
