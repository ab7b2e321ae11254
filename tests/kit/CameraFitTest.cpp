// Fitted cameras: the model fills the frame with its margin, lies in front of the near plane, and is
// seen from where the view's name says.

#include "kit/InputError.h"
#include "kit/camera/CameraFit.h"
#include "kit/drawing/Drawing.h"
#include "kit/mesh/DemoPart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace kvhlr;

struct Projected {
    double x, y, viewZ;
};

Projected project(const KvHLR::ViewInfoCriteria& camera, const ON_3dPoint& p) {
    const ON_4dPoint v = camera.modelViewXform * ON_4dPoint(p.x, p.y, p.z, 1.0);
    const ON_4dPoint s = camera.projectionXform * v;
    return {s.x / s.w, s.y / s.w, v.z / v.w};
}

// Checks that every point lies in the frame and in front of the near plane; returns the largest
// screen coordinate reached.
double checkFit(const KvHLR::ViewInfoCriteria& camera, const std::vector<MeshPart>& parts) {
    double reach = 0.0;
    EXPECT_GT(camera.farPlaneDepth, camera.nearPlaneDepth);
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        const Projected s = project(camera, p);
        EXPECT_LT(s.viewZ, -camera.nearPlaneDepth);
        EXPECT_GT(s.viewZ, -camera.farPlaneDepth);
        reach = std::max({reach, std::fabs(s.x), std::fabs(s.y)});
    });
    EXPECT_LE(reach, 0.95 + 1e-12);
    return reach;
}

// A z-up box, long in x, that does not contain the origin.
std::vector<MeshPart> offsetBox() {
    MeshPart part;
    for (int i = 0; i < 8; ++i)
        part.points.emplace_back(100 + 40 * (i & 1), 200 + 10 * ((i >> 1) & 1), 300 + 20 * ((i >> 2) & 1));
    std::vector<MeshPart> parts;
    parts.push_back(part);
    return parts;
}

TEST(CameraFit, EveryNamedViewFillsTheFrameOrthographically) {
    for (UpAxis axis : {UpAxis::Y, UpAxis::Z})
        for (const std::string& name : namedViews()) {
            SCOPED_TRACE(name);
            for (const auto& parts : {demoPart(), offsetBox()}) {
                const KvHLR::ViewInfoCriteria camera = fitCamera({namedViewDirection(name, axis), {}}, parts);
                EXPECT_EQ(camera.projectionXform[3][3], 1.0) << "orthographic";
                EXPECT_NEAR(checkFit(camera, parts), 0.95, 1e-9);
            }
        }
}

TEST(CameraFit, PerspectiveFitsEveryPointInsideTheCone) {
    for (double fov : {5.0, 40.0, 120.0})
        for (const char* name : {"iso", "front", "top"}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(fov));
            const auto parts = demoPart();
            CameraRequest request{namedViewDirection(name, UpAxis::Y), fov};
            const KvHLR::ViewInfoCriteria camera = fitCamera(request, parts);
            EXPECT_EQ(camera.projectionXform[3][3], 0.0) << "perspective";
            EXPECT_GT(camera.nearPlaneDepth, 0.0);
            EXPECT_NEAR(checkFit(camera, parts), 0.95, 1e-9);
        }
}

TEST(CameraFit, NamedViewsLookFromWhereTheirNamesSay) {
    const std::vector<MeshPart> none;
    // Screen position of a world point seen in a view of a y-up model (frame -1..1 about the origin).
    auto screen = [&](const char* view, UpAxis axis, ON_3dPoint p) {
        const Projected s = project(fitCamera({namedViewDirection(view, axis), {}}, none), p);
        return ON_2dPoint(s.x, s.y);
    };
    EXPECT_GT(screen("front", UpAxis::Y, {0.5, 0, 0}).x, 0) << "front: x to the right";
    EXPECT_GT(screen("front", UpAxis::Y, {0, 0.5, 0}).y, 0) << "front: y up";
    EXPECT_LT(screen("right", UpAxis::Y, {0, 0, 0.5}).x, 0) << "right: the front on the left";
    EXPECT_LT(screen("top", UpAxis::Y, {0, 0, 0.5}).y, 0) << "top: the front at the bottom";
    EXPECT_GT(screen("front", UpAxis::Z, {0, 0, 0.5}).y, 0) << "z up: z is up";
    EXPECT_GT(screen("back", UpAxis::Z, {-0.5, 0, 0}).x, 0) << "back: x to the left";
    const ON_2dPoint corner = screen("iso", UpAxis::Y, {0.5, 0.5, 0.5});
    EXPECT_NEAR(corner.x, 0, 1e-12) << "iso looks along the cube diagonal";
    EXPECT_NEAR(corner.y, 0, 1e-12);
    const ON_2dPoint a = screen("iso", UpAxis::Y, {0.5, 0, 0}), b = screen("iso", UpAxis::Y, {0, 0, 0.5});
    EXPECT_NEAR(std::hypot(a.x, a.y), std::hypot(b.x, b.y), 1e-12) << "iso foreshortens x and z alike";
    const ON_2dPoint c = screen("dimetric", UpAxis::Y, {0.5, 0, 0}),
                     d = screen("dimetric", UpAxis::Y, {0, 0.5, 0});
    EXPECT_NEAR(std::hypot(c.x, c.y), std::hypot(d.x, d.y), 1e-12) << "dimetric: x and y alike";
    EXPECT_THROW(namedViewDirection("sideways", UpAxis::Y), InputError);
}

TEST(CameraFit, EyeAndTargetGiveTheDirectionAndTheFitDoesTheRest) {
    const auto parts = offsetBox();
    const ViewDirection direction = lookDirection({0, 0, 0}, {1, 1, 1}, {0, 0, 1});
    const KvHLR::ViewInfoCriteria camera = fitCamera({direction, {}}, parts);
    EXPECT_NEAR(checkFit(camera, parts), 0.95, 1e-9);
    // The view's z axis (towards the eye) is the direction from target to eye.
    const double k = 1 / std::sqrt(3.0);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(camera.modelViewXform[2][i], -k, 1e-15);
    EXPECT_THROW(lookDirection({1, 1, 1}, {1, 1, 1}, {0, 0, 1}), InputError);
    EXPECT_THROW(lookDirection({0, 0, 5}, {0, 0, 0}, {0, 0, 2}), InputError) << "up along the line of sight";
    EXPECT_THROW(lookDirection({0, 0, 5}, {0, 0, 0}, {0, 0, 0}), InputError);
}

TEST(CameraFit, ModelsWithoutExtentStillGetAUsableFrame) {
    MeshPart point;
    point.points = {{3, 4, 5}, {3, 4, 5}};
    MeshPart line;
    line.points = {{0, 0, 0}, {0, 0, 7}}; // seen end on from the front
    for (const auto& parts :
         {std::vector<MeshPart>{point}, std::vector<MeshPart>{line}, std::vector<MeshPart>{}}) {
        const KvHLR::ViewInfoCriteria camera = fitCamera({namedViewDirection("front", UpAxis::Y), {}}, parts);
        const Box2 frame = cameraFrame(camera);
        EXPECT_TRUE(std::isfinite(frame.width()) && frame.width() > 0);
        forEachPoint(
            parts, [&](const ON_3dPoint& p) { EXPECT_LT(project(camera, p).viewZ, -camera.nearPlaneDepth); });
    }
}

} // namespace
