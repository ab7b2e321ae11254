#pragma once

// Models, views and measures of drawings shared by the tests that draw through the entry points:
// boxes, squares and spheres as triangle soups or host meshes, look-at views, and line lengths by kind.

#include "Cameras.h"
#include "Hlr/HLRPolyAlgo.h"
#include "api/CalcSilhouette.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace KvHLRTest {

using KvHLR::Polygon3D;

constexpr double kPi = 3.141592653589793;

// The corner triples of a box over the corners numbered x + 2y + 4z, wound counter-clockwise seen
// from outside.
inline constexpr std::uint32_t kBoxTriangles[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6},
                                                       {0, 1, 4}, {1, 5, 4}, {2, 6, 3}, {3, 6, 7},
                                                       {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};

inline Polygon3D box(ON_3dPoint lo, ON_3dPoint hi) {
    Polygon3D box;
    for (int i = 0; i < 8; ++i)
        box.points.emplace_back(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
    for (auto const& t : kBoxTriangles)
        box.triangles.push_back({t[0], t[1], t[2]});
    return box;
}

inline void append(Polygon3D& to, Polygon3D const& from) {
    const auto offset = static_cast<std::uint32_t>(to.points.size());
    to.points.insert(to.points.end(), from.points.begin(), from.points.end());
    for (auto t : from.triangles)
        to.triangles.push_back({t[0] + offset, t[1] + offset, t[2] + offset});
}

inline Polygon3D soup(std::vector<ON_3dPoint> points, std::vector<std::array<std::uint32_t, 3>> triangles) {
    Polygon3D polygon;
    polygon.points = std::move(points);
    polygon.triangles = std::move(triangles);
    return polygon;
}

inline Polygon3D insideOut(Polygon3D polygon) {
    for (auto& t : polygon.triangles)
        std::swap(t[1], t[2]);
    return polygon;
}

// A square in the plane z = height, facing +z.
inline Polygon3D square(double x0, double y0, double size, double height) {
    return soup({ON_3dPoint(x0, y0, height), ON_3dPoint(x0 + size, y0, height),
                 ON_3dPoint(x0 + size, y0 + size, height), ON_3dPoint(x0, y0 + size, height)},
                {{0, 1, 2}, {0, 2, 3}});
}

// A unit UV sphere: closed, wound counter-clockwise seen from outside.
inline Polygon3D sphere(int rings, int sectors) {
    Polygon3D sphere;
    sphere.points.emplace_back(0, 0, 1);
    for (int r = 1; r < rings; ++r)
        for (int s = 0; s < sectors; ++s) {
            const double polar = kPi * r / rings, azimuth = 2 * kPi * s / sectors;
            sphere.points.emplace_back(std::sin(polar) * std::cos(azimuth),
                                       std::sin(polar) * std::sin(azimuth), std::cos(polar));
        }
    sphere.points.emplace_back(0, 0, -1);
    const auto at = [&](int r, int s) {
        return static_cast<std::uint32_t>(1 + (r - 1) * sectors + s % sectors);
    };
    const auto south = static_cast<std::uint32_t>(sphere.points.size() - 1);
    for (int s = 0; s < sectors; ++s) {
        sphere.triangles.push_back({0, at(1, s), at(1, s + 1)});
        for (int r = 1; r + 1 < rings; ++r) {
            sphere.triangles.push_back({at(r, s), at(r + 1, s), at(r + 1, s + 1)});
            sphere.triangles.push_back({at(r, s), at(r + 1, s + 1), at(r, s + 1)});
        }
        sphere.triangles.push_back({at(rings - 1, s), south, at(rings - 1, s + 1)});
    }
    return sphere;
}

// The soup as one host mesh, or as a body whose faces are runs of `perFace` triangles over its points,
// with the given tangent edges.
inline boost::intrusive_ptr<Kv::KvmMesh> hostMesh(Polygon3D const& polygon, std::size_t perFace = 0,
                                                  std::vector<Kv::KvPointList> tangentEdges = {}) {
    auto points = std::make_shared<Kv::KvPointList>(polygon.points);
    std::vector<std::shared_ptr<const Kv::KvTriangleList>> faces;
    auto face = std::make_shared<Kv::KvTriangleList>();
    for (std::size_t t = 0; t < polygon.triangles.size(); ++t) {
        face->emplace_back(polygon.triangles[t][0], polygon.triangles[t][1], polygon.triangles[t][2]);
        if (perFace != 0 && face->size() == perFace) {
            faces.push_back(face);
            face = std::make_shared<Kv::KvTriangleList>();
        }
    }
    if (perFace == 0)
        return new Kv::KvmMesh(new Kv::KvaMesh(points, face));
    auto* body = new Kv::KvaMeshBody(points, faces);
    body->SetTangentEdges(std::move(tangentEdges));
    return new Kv::KvmMesh(body);
}

inline KvHLR::ViewInfoCriteria view(ON_3dPoint eye, ON_3dPoint target, ON_3dVector up, ON_Xform projection,
                                    double nearDepth, double farDepth) {
    KvHLR::ViewInfoCriteria view;
    view.modelViewXform = lookAt(eye, target, up);
    view.projectionXform = projection;
    view.nearPlaneDepth = nearDepth;
    view.farPlaneDepth = farDepth;
    return view;
}

// A parallel view from 5 units along (1, 1, 1) of the centre, 4 units across.
inline KvHLR::ViewInfoCriteria isometric(ON_3dPoint centre) {
    return view(ON_3dPoint(centre.x + 5, centre.y + 5, centre.z + 5), centre, ON_3dVector(0, 0, 1),
                orthographic(-2, 2, -2, 2, 1, 20), 1, 20);
}

// Looking straight down on the centre from 10 units above it, +y up.
inline KvHLR::ViewInfoCriteria fromAbove(ON_3dPoint centre,
                                         ON_Xform projection = orthographic(-3, 3, -3, 3, 1, 30)) {
    return view(ON_3dPoint(centre.x, centre.y, centre.z + 10), centre, ON_3dVector(0, 1, 0), projection, 1,
                30);
}

// Switches the library's modes for the drawings of one scope, and both back off, as by default, after it.
class Modes {
public:
    explicit Modes(bool exact, bool intersections = false) { set(exact, intersections); }
    ~Modes() { set(false, false); }

private:
    static void set(bool exact, bool intersections) {
        KvHLR::HLRPolyAlgo::setExactHiding(exact);
        KvHLR::HLRPolyAlgo::setIntersectionLines(intersections);
    }
};

inline KvHLR::ProjectorCriteria everything(bool hidden = true) {
    KvHLR::ProjectorCriteria criteria;
    criteria.showSilhouette = criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = true;
    criteria.showHiddenLine = hidden;
    return criteria;
}

inline std::vector<KvHLR::StrokeLine> draw(Polygon3D polygon, KvHLR::ViewInfoCriteria const& view,
                                           KvHLR::ProjectorCriteria const& criteria = everything()) {
    std::vector<KvHLR::StrokeLine> lines;
    EXPECT_TRUE(KvHLR::CalcSilhouette(criteria, view, polygon, {}, lines));
    return lines;
}

inline double lineLength(KvHLR::StrokeLine const& line) {
    double total = 0.0;
    for (std::size_t i = 1; i < line.points.size(); ++i)
        total += std::hypot(line.points[i].x - line.points[i - 1].x, line.points[i].y - line.points[i - 1].y);
    return total;
}

// Equal kinds and exactly equal points, line by line.
inline bool sameDrawing(std::vector<KvHLR::StrokeLine> const& a, std::vector<KvHLR::StrokeLine> const& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].points.size() != b[i].points.size())
            return false;
        for (std::size_t j = 0; j < a[i].points.size(); ++j)
            if (a[i].points[j].x != b[i].points[j].x || a[i].points[j].y != b[i].points[j].y)
                return false;
    }
    return true;
}

inline std::map<int, double> lengthByKind(std::vector<KvHLR::StrokeLine> const& lines) {
    std::map<int, double> byKind;
    for (KvHLR::StrokeLine const& line : lines)
        byKind[line.kind] += lineLength(line);
    return byKind;
}

} // namespace KvHLRTest
