// The entry points seen from a caller: what comes back for empty input, where user polylines land in
// the drawing frame, and what stays untouched when a run has nothing to do.

#include "Scenes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

constexpr double kTolerance = 1e-9;

Polygon3D oneTriangle() {
    return soup({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
}

UserPolyline polyline(std::int32_t kind, std::vector<ON_3dPoint> points) {
    UserPolyline line;
    line.kind = kind;
    line.points = std::move(points);
    return line;
}

// Nothing to draw: nothing runs, the view is not asked, and even an empty pre-filled entry survives.
TEST(CalcSilhouette, EmptyInputTouchesNeitherViewNorOutput) {
    Polygon3D polygon;
    polygon.points = {ON_3dPoint(1, 2, 3)};
    std::vector<StrokeLine> lines(1);
    EXPECT_TRUE(CalcSilhouette(ProjectorCriteria(), ViewInfoCriteria(), polygon, {polyline(7, {})}, lines));
    EXPECT_EQ(polygon.points.size(), 1u);
    Kv::KvvView viewWithoutCamera; // would make a run return false if it were consulted
    EXPECT_TRUE(CalcSilhouette(ProjectorCriteria(), &viewWithoutCamera, MeshList(), {}, lines));
    EXPECT_TRUE(CalcSilhouette(ProjectorCriteria(), ViewInfoCriteria(), MeshList(), {}, lines));
    EXPECT_EQ(lines.size(), 1u);
}

// What the host is asked, in order: a mesh that logs when its lists are read, a view when its camera is.
std::vector<std::string> g_hostCalls;

class LoggingMesh : public Kv::KvaMesh {
public:
    using KvaMesh::KvaMesh;
    std::shared_ptr<const Kv::KvPointList> GetVertices() const override {
        g_hostCalls.push_back("vertices");
        return KvaMesh::GetVertices();
    }
    std::shared_ptr<const Kv::KvTriangleList> GetTriangles() const override {
        g_hostCalls.push_back("triangles");
        return KvaMesh::GetTriangles();
    }
};

class LoggingView : public Kv::KvvView {
public:
    bool GetProjector(ON_Xform& modelView, ON_Xform& projection, double& nearDepth, double& farDepth,
                      const CRect* rect) const override {
        g_hostCalls.push_back("camera");
        return KvvView::GetProjector(modelView, projection, nearDepth, farDepth, rect);
    }
};

MeshList oneTriangleMesh() {
    auto mesh = std::make_shared<Kv::KvPointList>(
        Kv::KvPointList{ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0), ON_3dPoint(0, 1, 0)});
    auto triangles = std::make_shared<Kv::KvTriangleList>(Kv::KvTriangleList{{0, 1, 2}});
    return {new Kv::KvmMesh(new LoggingMesh(mesh, triangles))};
}

// The model is built first: each mesh is read once, before the view is asked for its camera, also
// when the view has none; a mesh list the build refuses throws whatever the view.
TEST(CalcSilhouette, ViewOverloadReadsTheMeshesOnceBeforeAskingTheView) {
    const std::vector<std::string> expected = {"vertices", "triangles", "camera"};
    for (bool hasCamera : {false, true}) {
        LoggingView view;
        if (hasCamera)
            view.SetProjector(ON_Xform(1.0), ON_Xform(1.0), 1, 10);
        std::vector<StrokeLine> lines;
        g_hostCalls.clear();
        EXPECT_EQ(CalcSilhouette(ProjectorCriteria(), &view, oneTriangleMesh(), {polyline(7, {ON_3dPoint()})},
                                 lines),
                  hasCamera);
        EXPECT_EQ(g_hostCalls, expected);
        EXPECT_EQ(lines.size(), hasCamera ? 1u : 0u);
    }
    MeshList withNull = oneTriangleMesh();
    withNull.push_back(nullptr);
    std::vector<StrokeLine> lines;
    EXPECT_THROW(CalcSilhouette(ProjectorCriteria(), static_cast<Kv::KvvView*>(nullptr), withNull, {}, lines),
                 std::invalid_argument);
}

TEST(CalcSilhouette, UserPolylinesComeFirstWithTheirKindsAndEmptyEntriesDrop) {
    Polygon3D polygon = oneTriangle();
    std::vector<StrokeLine> lines(2);
    lines[0].kind = 42;
    lines[0].points = {ON_2dPoint(9, 9)};
    ViewInfoCriteria identity; // orthographic: projection element (3, 3) is 1
    const std::vector<UserPolyline> user = {polyline(7, {ON_3dPoint(1, 2, 3), ON_3dPoint(-4, 5, -6)}),
                                            polyline(8, {}), polyline(9, {ON_3dPoint(0.5, 0.25, 0)})};
    ASSERT_TRUE(CalcSilhouette(ProjectorCriteria(), identity, polygon, user, lines));
    EXPECT_TRUE(polygon.points.empty());
    EXPECT_TRUE(polygon.triangles.empty());

    ASSERT_EQ(lines.size(), 3u); // the empty pre-filled entry and the empty user polyline are gone
    EXPECT_EQ(lines[0].kind, 42);
    EXPECT_EQ(lines[1].kind, 7);
    EXPECT_EQ(lines[2].kind, 9);
    // With identity transforms a point (x, y, z) is drawn at (x, y).
    ASSERT_EQ(lines[1].points.size(), 2u);
    EXPECT_NEAR(lines[1].points[0].x, 1.0, kTolerance);
    EXPECT_NEAR(lines[1].points[0].y, 2.0, kTolerance);
    EXPECT_NEAR(lines[1].points[1].x, -4.0, kTolerance);
    EXPECT_NEAR(lines[1].points[1].y, 5.0, kTolerance);
}

} // namespace
