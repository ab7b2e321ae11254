#include "FuzzGeometry.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace KvHLRFuzz {
namespace {

using KvHLR::Polygon3D;
using Index = std::uint32_t;

constexpr std::size_t kMaxLoosePoints = 64;
constexpr std::size_t kMaxLooseTriangles = 300;

ON_3dPoint point(FuzzBytes& bytes) {
    const double x = bytes.coordinate();
    const double y = bytes.coordinate();
    return ON_3dPoint(x, y, bytes.coordinate());
}

Polygon3D looseSoup(FuzzBytes& bytes) {
    Polygon3D soup;
    const std::size_t pointCount = 1 + bytes.byte() % kMaxLoosePoints;
    for (std::size_t i = 0; i < pointCount; ++i)
        soup.points.push_back(point(bytes));
    const std::size_t triangleCount = bytes.below(kMaxLooseTriangles + 1);
    for (std::size_t i = 0; i < triangleCount; ++i) {
        const auto a = static_cast<Index>(bytes.below(pointCount));
        const auto b = static_cast<Index>(bytes.below(pointCount));
        soup.triangles.push_back({a, b, static_cast<Index>(bytes.below(pointCount))});
    }
    return soup;
}

// A closed surface of revolution about z: rings of (radius, height) between two poles, so that it
// has silhouettes, and concave or convex creases where the profile bends.
Polygon3D lathe(FuzzBytes& bytes) {
    const Index segments = 3 + bytes.byte() % 10;
    const Index rings = 1 + bytes.byte() % 8;
    Polygon3D soup;
    soup.points.emplace_back(0.0, 0.0, -1.0 - bytes.byte() % 8);
    for (Index r = 0; r < rings; ++r) {
        const double radius = 0.25 + bytes.byte() % 16 / 4.0;
        const double height = static_cast<double>(r) + bytes.byte() % 4 / 4.0;
        for (Index s = 0; s < segments; ++s) {
            const double angle = 2.0 * 3.141592653589793 * s / segments;
            soup.points.emplace_back(radius * std::cos(angle), radius * std::sin(angle), height);
        }
    }
    soup.points.emplace_back(0.0, 0.0, rings + bytes.byte() % 8);
    const Index top = static_cast<Index>(soup.points.size() - 1);
    auto ringPoint = [segments](Index r, Index s) { return 1 + r * segments + s % segments; };
    for (Index s = 0; s < segments; ++s) {
        soup.triangles.push_back({0, ringPoint(0, s + 1), ringPoint(0, s)});
        soup.triangles.push_back({top, ringPoint(rings - 1, s), ringPoint(rings - 1, s + 1)});
        for (Index r = 0; r + 1 < rings; ++r) {
            soup.triangles.push_back({ringPoint(r, s), ringPoint(r, s + 1), ringPoint(r + 1, s + 1)});
            soup.triangles.push_back({ringPoint(r, s), ringPoint(r + 1, s + 1), ringPoint(r + 1, s)});
        }
    }
    return soup;
}

// An open terrain: boundary edges, folds that face away and hide what lies behind them.
Polygon3D heightField(FuzzBytes& bytes) {
    const Index nx = 1 + bytes.byte() % 10;
    const Index ny = 1 + bytes.byte() % 10;
    Polygon3D soup;
    for (Index j = 0; j <= ny; ++j)
        for (Index i = 0; i <= nx; ++i)
            soup.points.emplace_back(i, j, static_cast<std::int8_t>(bytes.byte()) / 16.0);
    for (Index j = 0; j < ny; ++j) {
        for (Index i = 0; i < nx; ++i) {
            const Index p = j * (nx + 1) + i;
            soup.triangles.push_back({p, p + 1, p + nx + 2});
            soup.triangles.push_back({p, p + nx + 2, p + nx + 1});
        }
    }
    return soup;
}

// Up to four boxes that may overlap, touch or pierce each other.
Polygon3D boxes(FuzzBytes& bytes) {
    static const Index kBoxTriangles[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6},
                                               {0, 1, 4}, {1, 5, 4}, {2, 6, 3}, {3, 6, 7},
                                               {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    Polygon3D soup;
    const int count = 1 + bytes.byte() % 4;
    for (int b = 0; b < count; ++b) {
        double v[6]; // corner, then size
        for (int i = 0; i < 6; ++i)
            v[i] = i < 3 ? bytes.byte() % 8 : 1 + bytes.byte() % 4;
        const ON_3dPoint lo(v[0], v[1], v[2]);
        const ON_3dVector size(v[3], v[4], v[5]);
        const auto offset = static_cast<Index>(soup.points.size());
        for (int i = 0; i < 8; ++i)
            soup.points.emplace_back(lo.x + (i & 1) * size.x, lo.y + (i & 2) / 2 * size.y,
                                     lo.z + (i & 4) / 4 * size.z);
        for (const auto& t : kBoxTriangles)
            soup.triangles.push_back({offset + t[0], offset + t[1], offset + t[2]});
    }
    return soup;
}

// Moves a few points to wherever the bytes say (NaN, infinity, huge, denormal included) and may
// turn every triangle over.
void corrupt(Polygon3D& soup, FuzzBytes& bytes) {
    const int moves = bytes.byte() % 4;
    for (int m = 0; m < moves; ++m) {
        ON_3dPoint& p = soup.points[bytes.below(soup.points.size())];
        double* axes[3] = {&p.x, &p.y, &p.z};
        const double value = bytes.coordinate();
        *axes[bytes.byte() % 3] = value;
    }
    if (bytes.flag())
        for (auto& t : soup.triangles)
            std::swap(t[1], t[2]);
}

// One mesh over all of `points` holding the triangles [first, last) of `triangles`.
boost::intrusive_ptr<Kv::KvmMesh> hostMesh(const std::shared_ptr<const Kv::KvPointList>& points,
                                           const Polygon3D& polygon, std::size_t first, std::size_t last,
                                           FuzzBytes& bytes) {
    auto toHost = [&polygon](std::size_t from, std::size_t to) {
        auto list = std::make_shared<Kv::KvTriangleList>();
        for (std::size_t t = from; t < to; ++t)
            list->emplace_back(polygon.triangles[t][0], polygon.triangles[t][1], polygon.triangles[t][2]);
        return list;
    };
    if (!bytes.flag())
        return new Kv::KvmMesh(new Kv::KvaMesh(points, toHost(first, last)));
    std::vector<std::shared_ptr<const Kv::KvTriangleList>> faces;
    const int faceCount = 1 + bytes.byte() % 4;
    for (int f = 0; f < faceCount; ++f) {
        const std::size_t end = f + 1 == faceCount ? last : first + bytes.below(last - first + 1);
        faces.push_back(toHost(first, end));
        first = end;
    }
    return new Kv::KvmMesh(new Kv::KvaMeshBody(points, std::move(faces)));
}

} // namespace

Polygon3D decodeGeometry(FuzzBytes& bytes) {
    Polygon3D soup;
    switch (bytes.byte() % 4) {
    case 0:
        soup = looseSoup(bytes);
        break;
    case 1:
        soup = lathe(bytes);
        break;
    case 2:
        soup = heightField(bytes);
        break;
    default:
        soup = boxes(bytes);
        break;
    }
    corrupt(soup, bytes);
    return soup;
}

KvHLR::MeshList decodeMeshes(const Polygon3D& polygon, FuzzBytes& bytes) {
    const auto points = std::make_shared<const Kv::KvPointList>(polygon.points);
    KvHLR::MeshList meshes;
    const int meshCount = 1 + bytes.byte() % 4;
    std::size_t first = 0;
    for (int m = 0; m < meshCount; ++m) {
        const std::size_t remaining = polygon.triangles.size() - first;
        const std::size_t last =
            m + 1 == meshCount ? polygon.triangles.size() : first + bytes.below(remaining + 1);
        meshes.push_back(hostMesh(points, polygon, first, last, bytes));
        first = last;
    }
    return meshes;
}

} // namespace KvHLRFuzz
