// Whole drawings through the public entry points: which lines of simple scenes come out as which
// kind, how cancellation leaves the output, and that strokes are joined into long polylines.

#include "Cameras.h"
#include "LineLength.h"
#include "api/CalcSilhouette.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <map>

namespace {

using namespace KvHLR;

const double kEdge = std::sqrt(2.0 / 3.0); // a unit edge seen isometrically

Polygon3D box(ON_3dPoint lo, ON_3dPoint hi) {
    Polygon3D box;
    for (int i = 0; i < 8; ++i)
        box.points.emplace_back(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
    // Wound counter-clockwise seen from outside.
    box.triangles = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                     {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    return box;
}

void append(Polygon3D& to, Polygon3D const& from) {
    const auto offset = static_cast<std::uint32_t>(to.points.size());
    to.points.insert(to.points.end(), from.points.begin(), from.points.end());
    for (auto t : from.triangles)
        to.triangles.push_back({t[0] + offset, t[1] + offset, t[2] + offset});
}

Polygon3D insideOut(Polygon3D polygon) {
    for (auto& t : polygon.triangles)
        std::swap(t[1], t[2]);
    return polygon;
}

// A square in the plane z = height, facing +z.
Polygon3D square(double x0, double y0, double size, double height) {
    Polygon3D square;
    square.points = {ON_3dPoint(x0, y0, height), ON_3dPoint(x0 + size, y0, height),
                     ON_3dPoint(x0 + size, y0 + size, height), ON_3dPoint(x0, y0 + size, height)};
    square.triangles = {{0, 1, 2}, {0, 2, 3}};
    return square;
}

ViewInfoCriteria isometric(ON_3dPoint centre) {
    ViewInfoCriteria view;
    view.modelViewXform = KvHLRTest::lookAt(ON_3dPoint(centre.x + 5, centre.y + 5, centre.z + 5), centre,
                                            ON_3dVector(0, 0, 1));
    view.projectionXform = KvHLRTest::orthographic(-2, 2, -2, 2, 1, 20);
    view.nearPlaneDepth = 1;
    view.farPlaneDepth = 20;
    return view;
}

ViewInfoCriteria fromAbove(ON_Xform projection) {
    ViewInfoCriteria view;
    view.modelViewXform = KvHLRTest::lookAt(ON_3dPoint(1.5, 1.5, 10), ON_3dPoint(1.5, 1.5, 0), ON_3dVector(0, 1, 0));
    view.projectionXform = projection;
    view.nearPlaneDepth = 1;
    view.farPlaneDepth = 30;
    return view;
}

ProjectorCriteria everything(bool hidden) {
    ProjectorCriteria criteria;
    criteria.showSilhouette = criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = true;
    criteria.showHiddenLine = hidden;
    return criteria;
}

std::vector<StrokeLine> draw(ProjectorCriteria const& criteria, ViewInfoCriteria const& view, Polygon3D polygon) {
    std::vector<StrokeLine> lines;
    EXPECT_TRUE(CalcSilhouette(criteria, view, polygon, {}, lines));
    return lines;
}

std::map<int, double> lengthByKind(std::vector<StrokeLine> const& lines) {
    std::map<int, double> byKind;
    for (StrokeLine const& line : lines)
        byKind[line.kind] += KvHLRTest::lineLength(line);
    return byKind;
}

TEST(Drawing, CubeSeenIsometricallyHasOutlineInnerAndBackEdges) {
    const ViewInfoCriteria view = isometric(ON_3dPoint(0.5, 0.5, 0.5));
    for (bool reversed : {false, true}) {
        const Polygon3D cube = box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1));
        const Polygon3D model = reversed ? insideOut(cube) : cube;

        auto visible = lengthByKind(draw(everything(false), view, model));
        EXPECT_EQ(visible.size(), 2u) << "reversed " << reversed;
        EXPECT_NEAR(visible[0], 6 * kEdge, 1e-9) << "reversed " << reversed;
        EXPECT_NEAR(visible[3], 3 * kEdge, 1e-9) << "reversed " << reversed;

        auto all = lengthByKind(draw(everything(true), view, model));
        EXPECT_EQ(all.size(), 3u) << "reversed " << reversed;
        EXPECT_NEAR(all[1], 3 * kEdge, 1e-9) << "reversed " << reversed;
        EXPECT_NEAR(all[0], 6 * kEdge, 1e-9);
        EXPECT_NEAR(all[3], 3 * kEdge, 1e-9);
    }
}

TEST(Drawing, AnAbsurdThreadCountDrawsAsOneThreadDoes) {
    const ViewInfoCriteria view = isometric(ON_3dPoint(0.5, 0.5, 0.5));
    const Polygon3D cube = box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1));
    const int before = omp_get_max_threads();
    omp_set_num_threads(1);
    const auto reference = lengthByKind(draw(everything(true), view, cube));
    omp_set_num_threads(100000);
    const auto drawn = lengthByKind(draw(everything(true), view, cube));
    omp_set_num_threads(before);
    EXPECT_EQ(drawn, reference);
}

TEST(Drawing, DefaultCriteriaDrawNoModelLines) {
    EXPECT_TRUE(draw(ProjectorCriteria(), isometric(ON_3dPoint(0.5, 0.5, 0.5)),
                     box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)))
                    .empty());
}

// Square A (2 x 2 at height 0) covers a corner of the lower square B (2 x 2, shifted by 1 along x and y):
// the two sides of B that pass under A are hidden.
void expectSquareOverSquare(ViewInfoCriteria const& view, double hiddenLength, double visibleLength) {
    Polygon3D scene = square(0, 0, 2, 0);
    append(scene, square(1, 1, 2, -2));
    auto kinds = lengthByKind(draw(everything(true), view, scene));
    EXPECT_EQ(kinds.size(), 2u);
    EXPECT_NEAR(kinds[1], hiddenLength, 1e-6);
    EXPECT_NEAR(kinds[0], visibleLength, 1e-6);
}

TEST(Drawing, OpenSurfaceBoundariesAreOutlinesAndHiddenWhereCovered) {
    // Seen from straight above: A's outline (8) plus B's outline except the two covered pieces (6).
    expectSquareOverSquare(fromAbove(KvHLRTest::orthographic(-3, 3, -3, 3, 1, 30)), 2.0, 14.0);
}

TEST(Drawing, PerspectiveViewShrinksTheFartherSquare) {
    // Eye 10 above A and 12 above B; the drawing plane lies at depth 2fn/(f+n) = 60/31.
    const double plane = 60.0 / 31.0;
    const double scaleA = plane / 10, scaleB = plane / 12;
    // In the eye's frame A spans [-1.5, 0.5]^2 at depth 10 and B [-0.5, 1.5]^2 at depth 12. A's side at 0.5
    // is seen along the direction 0.5 / 10, which meets B's plane at 0.6: B's two sides at -0.5 are
    // covered from -0.5 to 0.6.
    const double coveredInB = 0.5 * 12.0 / 10.0 + 0.5;
    expectSquareOverSquare(fromAbove(KvHLRTest::perspective(60, 1, 1, 30)), 2 * coveredInB * scaleB,
                           8 * scaleA + (8 - 2 * coveredInB) * scaleB);
}

TEST(Drawing, BoxPartlyBehindAnotherIsHiddenOnlyWhereCovered) {
    Polygon3D scene = box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1));
    append(scene, box(ON_3dPoint(-1.3, -0.9, -0.5), ON_3dPoint(-0.3, 0.1, 0.5)));
    const auto lines = draw(everything(true), isometric(ON_3dPoint(0, 0, 0.2)), scene);
    auto kinds = lengthByKind(lines);
    // Each box alone hides 3 edges; together the front box also covers part of the back box's outline.
    EXPECT_GT(kinds[1], 6 * kEdge + 0.1);
    EXPECT_LT(kinds[0], 12 * kEdge - 0.1);
    EXPECT_NEAR(kinds[0] + kinds[1] + kinds[3], 24 * kEdge, 1e-6); // every edge is drawn exactly once
}


// The unit cube as a host mesh body of six faces, two triangles each, over one shared vertex list.
MeshList cubeBody() {
    const Polygon3D cube = box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1));
    auto vertices = std::make_shared<Kv::KvPointList>(cube.points);
    std::vector<std::shared_ptr<const Kv::KvTriangleList>> faces;
    for (std::size_t t = 0; t < cube.triangles.size(); t += 2) {
        auto face = std::make_shared<Kv::KvTriangleList>();
        for (std::size_t k = t; k < t + 2; ++k)
            face->emplace_back(cube.triangles[k][0], cube.triangles[k][1], cube.triangles[k][2]);
        faces.push_back(face);
    }
    return {new Kv::KvmMesh(new Kv::KvaMeshBody(vertices, faces))};
}

TEST(Drawing, MeshBodyReadWholeOrFaceByFace) {
    ProjectorCriteria criteria = everything(false);
    const ViewInfoCriteria view = isometric(ON_3dPoint(0.5, 0.5, 0.5));
    std::vector<StrokeLine> whole;
    ASSERT_TRUE(CalcSilhouette(criteria, view, cubeBody(), {}, whole));
    auto wholeKinds = lengthByKind(whole);
    EXPECT_NEAR(wholeKinds[0], 6 * kEdge, 1e-9);
    EXPECT_NEAR(wholeKinds[3], 3 * kEdge, 1e-9);

    // Face by face every cube edge borders one face only: the inner edges become outlines too.
    criteria.separateBodyFaces = true;
    std::vector<StrokeLine> separate;
    ASSERT_TRUE(CalcSilhouette(criteria, view, cubeBody(), {}, separate));
    auto separateKinds = lengthByKind(separate);
    EXPECT_EQ(separateKinds.count(3), 0u);
    EXPECT_GE(separateKinds[0], 9 * kEdge - 1e-9);
}

// Cancels on the n-th report and counts the reports it saw.
struct CancelAt {
    static inline int calls = 0;
    static inline int cancelOn = 0;
    static int callback(long, long) { return ++calls == cancelOn ? 1 : 0; }
};

TEST(Drawing, CancellingAtAnyReportLeavesTheOutputAndTheNextRunIntact) {
    const ViewInfoCriteria view = isometric(ON_3dPoint(0.5, 0.5, 0.5));
    CancelAt::calls = 0;
    CancelAt::cancelOn = -1;
    std::vector<StrokeLine> reference;
    Polygon3D cube = box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1));
    ASSERT_TRUE(CalcSilhouette(everything(true), view, cube, {}, reference, CancelAt::callback));
    const int reports = CancelAt::calls;
    ASSERT_GT(reports, 5);

    for (int cancelOn = 1; cancelOn <= reports; ++cancelOn) {
        std::vector<StrokeLine> lines(2);
        lines[1].kind = 11;
        lines[1].points = {ON_2dPoint(1, 2)};
        CancelAt::calls = 0;
        CancelAt::cancelOn = cancelOn;
        cube = box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1));
        EXPECT_FALSE(CalcSilhouette(everything(true), view, cube, {}, lines, CancelAt::callback)) << cancelOn;
        ASSERT_EQ(lines.size(), 2u) << cancelOn;
        EXPECT_TRUE(lines[0].points.empty());
        EXPECT_EQ(lines[1].kind, 11);

        // The run after a cancelled one reports the same progress and draws the same lines.
        CancelAt::calls = 0;
        CancelAt::cancelOn = -1;
        std::vector<StrokeLine> again;
        cube = box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1));
        ASSERT_TRUE(CalcSilhouette(everything(true), view, cube, {}, again, CancelAt::callback));
        EXPECT_EQ(CancelAt::calls, reports);
        EXPECT_EQ(again.size(), reference.size());
    }
}

// A UV sphere: closed, wound counter-clockwise seen from outside.
Polygon3D sphere(int rings, int sectors) {
    Polygon3D sphere;
    const double pi = 3.141592653589793;
    sphere.points.emplace_back(0, 0, 1);
    for (int r = 1; r < rings; ++r)
        for (int s = 0; s < sectors; ++s) {
            const double polar = pi * r / rings, azimuth = 2 * pi * s / sectors;
            sphere.points.emplace_back(std::sin(polar) * std::cos(azimuth), std::sin(polar) * std::sin(azimuth),
                                       std::cos(polar));
        }
    sphere.points.emplace_back(0, 0, -1);
    const auto at = [&](int r, int s) { return static_cast<std::uint32_t>(1 + (r - 1) * sectors + s % sectors); };
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

TEST(Drawing, OutlineOfManyShortStrokesIsJoinedIntoFewLongLines) {
    const auto lines = draw(everything(false), isometric(ON_3dPoint(0, 0, 0)), sphere(60, 120));
    std::size_t outlinePoints = 0, outlineLines = 0;
    for (StrokeLine const& line : lines) {
        EXPECT_EQ(line.kind, 0);
        outlinePoints += line.points.size();
        ++outlineLines;
    }
    EXPECT_GT(outlinePoints, 100u);  // the outline runs along many triangle edges...
    EXPECT_LE(outlineLines, 8u);     // ...joined into a handful of polylines
    EXPECT_NEAR(lengthByKind(lines)[0], 2 * 3.141592653589793, 0.05); // and it is the unit circle
}

} // namespace
