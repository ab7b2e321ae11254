#include "kit/camera/CameraFit.h"

#include "kit/InputError.h"
#include "kit/drawing/Geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kvhlr {
namespace {

constexpr double kPi = 3.141592653589793;

ON_3dVector scaled(const ON_3dVector& v, double s) {
    return ON_3dVector(v.x * s, v.y * s, v.z * s);
}

// Directions are written for a y-up model (x right, y up, z towards the front viewer); a z-up model
// has the same picture with (x, y, z) -> (x, -z, y).
ON_3dVector toWorld(double x, double y, double z, UpAxis upAxis) {
    return upAxis == UpAxis::Y ? ON_3dVector(x, y, z) : ON_3dVector(x, -z, y);
}

struct NamedView {
    const char* name;
    double toward[3];
    double up[3];
};

const NamedView kNamedViews[] = {
    {"front", {0, 0, 1}, {0, 1, 0}},
    {"back", {0, 0, -1}, {0, 1, 0}},
    {"left", {-1, 0, 0}, {0, 1, 0}},
    {"right", {1, 0, 0}, {0, 1, 0}},
    {"top", {0, 1, 0}, {0, 0, -1}},
    {"bottom", {0, -1, 0}, {0, 0, 1}},
    {"iso", {1, 1, 1}, {0, 1, 0}},
    // Horizontal and vertical axes foreshortened alike (0.943), the depth axis by half of that.
    {"dimetric", {1, 1, 2.6457513110645907}, {0, 1, 0}},
    // Three different foreshortenings (0.958, 0.904, 0.515).
    {"trimetric", {2, 3, 6}, {0, 1, 0}},
};

// The camera's axes in world coordinates: right, up and back (towards the eye).
struct ViewAxes {
    ON_3dVector right, up, back;
};

ViewAxes axesOf(const ViewDirection& direction) {
    ViewAxes axes;
    axes.back = unit(direction.towardEye);
    axes.right = unit(cross(direction.up, axes.back));
    axes.up = cross(axes.back, axes.right);
    return axes;
}

// The model's extent along the camera axes.
struct ViewBox {
    double lo[3] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                    std::numeric_limits<double>::infinity()};
    double hi[3] = {-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                    -std::numeric_limits<double>::infinity()};

    double centre(int i) const { return 0.5 * (lo[i] + hi[i]); }
    double half(int i) const { return 0.5 * (hi[i] - lo[i]); }
};

ViewBox viewBoxOf(const ViewAxes& axes, const std::vector<MeshPart>& parts) {
    ViewBox box;
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        const double v[3] = {dot(axes.right, p), dot(axes.up, p), dot(axes.back, p)};
        for (int i = 0; i < 3; ++i) {
            box.lo[i] = std::min(box.lo[i], v[i]);
            box.hi[i] = std::max(box.hi[i], v[i]);
        }
    });
    if (box.lo[0] > box.hi[0]) // no points: the unit square about the origin
        for (int i = 0; i < 3; ++i) {
            box.lo[i] = -1.0;
            box.hi[i] = 1.0;
        }
    return box;
}

// World to view: the camera axes as rows, the eye at `eyeDistance` from the box centre along back.
ON_Xform modelViewOf(const ViewAxes& axes, const ViewBox& box, double eyeDistance) {
    const double eye[3] = {box.centre(0), box.centre(1), box.centre(2) + eyeDistance};
    const ON_3dVector rows[3] = {axes.right, axes.up, axes.back};
    ON_Xform view(1.0);
    for (int r = 0; r < 3; ++r) {
        view[r][0] = rows[r].x;
        view[r][1] = rows[r].y;
        view[r][2] = rows[r].z;
        view[r][3] = -eye[r];
    }
    return view;
}

// The projections of OpenGL's glOrtho and gluPerspective over a square frame, between the camera's
// near and far depths.
ON_Xform orthographicProjection(double halfWindow, double n, double f) {
    ON_Xform p(1.0);
    p[0][0] = p[1][1] = 1.0 / halfWindow;
    p[2][2] = -2.0 / (f - n);
    p[2][3] = -(f + n) / (f - n);
    return p;
}

ON_Xform perspectiveProjection(double tanHalf, double n, double f) {
    ON_Xform p(0.0);
    p[0][0] = p[1][1] = 1.0 / tanHalf;
    p[2][2] = (f + n) / (n - f);
    p[2][3] = 2.0 * f * n / (n - f);
    p[3][2] = -1.0;
    p[3][3] = 0.0; // the constructor leaves 1 there
    return p;
}

KvHLR::ViewInfoCriteria orthographic(const ViewAxes& axes, const ViewBox& box, double halfWindow,
                                     double gap) {
    KvHLR::ViewInfoCriteria camera;
    const double distance = box.half(2) + 2.0 * gap; // the nearest point lies 2 gaps from the eye
    camera.modelViewXform = modelViewOf(axes, box, distance);
    camera.nearPlaneDepth = gap;
    camera.farPlaneDepth = distance + box.half(2) + gap;
    camera.projectionXform = orthographicProjection(halfWindow, camera.nearPlaneDepth, camera.farPlaneDepth);
    return camera;
}

// The eye distance at which every point lies inside the cone of half-angle tangent `t`, centred on the
// box, and at least `gap / 20` in front of the model's nearest point.
double perspectiveDistance(const ViewAxes& axes, const ViewBox& box, const std::vector<MeshPart>& parts,
                           double t, double gap) {
    double distance = box.half(2) + 0.05 * gap;
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        const double x = std::fabs(dot(axes.right, p) - box.centre(0));
        const double y = std::fabs(dot(axes.up, p) - box.centre(1));
        const double z = dot(axes.back, p) - box.centre(2);
        distance = std::max(distance, z + std::max(x, y) / t);
    });
    return distance;
}

KvHLR::ViewInfoCriteria perspective(const ViewAxes& axes, const ViewBox& box,
                                    const std::vector<MeshPart>& parts, double fovDegrees, double fill,
                                    double gap) {
    const double tanHalf = std::tan(fovDegrees * kPi / 360.0);
    const double distance = perspectiveDistance(axes, box, parts, tanHalf * fill, gap);
    KvHLR::ViewInfoCriteria camera;
    camera.modelViewXform = modelViewOf(axes, box, distance);
    camera.nearPlaneDepth = 0.5 * (distance - box.half(2));
    camera.farPlaneDepth = distance + box.half(2) + gap;
    camera.projectionXform = perspectiveProjection(tanHalf, camera.nearPlaneDepth, camera.farPlaneDepth);
    return camera;
}

} // namespace

const std::vector<std::string>& namedViews() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const NamedView& view : kNamedViews)
            list.emplace_back(view.name);
        return list;
    }();
    return names;
}

ViewDirection namedViewDirection(const std::string& name, UpAxis upAxis) {
    for (const NamedView& view : kNamedViews)
        if (name == view.name)
            return {unit(toWorld(view.toward[0], view.toward[1], view.toward[2], upAxis)),
                    toWorld(view.up[0], view.up[1], view.up[2], upAxis)};
    std::string names;
    for (const NamedView& view : kNamedViews)
        names += (names.empty() ? "" : ", ") + std::string(view.name);
    throw InputError::ofParameter("view", "unknown view '" + name + "'; the views are " + names);
}

ViewDirection lookDirection(const ON_3dPoint& eye, const ON_3dPoint& target, const ON_3dVector& up) {
    const ON_3dVector toward = eye - target;
    const double length = toward.Length();
    if (!(length > 0.0) || !std::isfinite(length))
        throw InputError::ofParameter("eye", "the eye and the target must be distinct finite points");
    const double upLength = up.Length();
    if (!(upLength > 0.0) || !std::isfinite(upLength) ||
        cross(scaled(toward, 1.0 / length), scaled(up, 1.0 / upLength)).Length() < 1e-9)
        throw InputError::ofParameter("up",
                                      "the up direction must not be zero or parallel to the line of sight");
    return {unit(toward), up};
}

void checkCameraRequest(const CameraRequest& request) {
    const std::optional<double>& fov = request.perspectiveFovDegrees;
    if (fov && !(*fov > 0.0 && *fov < 180.0))
        throw InputError::ofParameter("perspective", "the field of view must lie between 0 and 180 degrees");
    if (!(request.fill > 0.0 && std::isfinite(request.fill)))
        throw InputError::ofParameter("fill",
                                      "the share of the frame that the model fills must be a positive number");
}

KvHLR::ViewInfoCriteria fitCamera(const CameraRequest& request, const std::vector<MeshPart>& parts) {
    checkCameraRequest(request);
    const ViewAxes axes = axesOf(request.direction);
    const ViewBox box = viewBoxOf(axes, parts);
    // A model with no extent across the view (a point, or a line seen end on) still gets a frame.
    const double across = std::max(box.half(0), box.half(1));
    const double extent = std::max(across, box.half(2));
    const double gap = extent > 0.0 ? extent : 1.0;
    if (request.perspectiveFovDegrees)
        return perspective(axes, box, parts, *request.perspectiveFovDegrees, request.fill, gap);
    return orthographic(axes, box, (across > 0.0 ? across : gap) / request.fill, gap);
}

KvHLR::ViewInfoCriteria lookAtCamera(const LookAt& look, const std::vector<MeshPart>& parts) {
    const ViewAxes axes = axesOf(lookDirection(look.eye, look.target, look.up));
    const ON_3dPoint eye = look.eye;
    const ON_3dVector rows[3] = {axes.right, axes.up, axes.back};
    KvHLR::ViewInfoCriteria camera;
    ON_Xform& view = camera.modelViewXform;
    view = ON_Xform(1.0);
    for (int r = 0; r < 3; ++r) {
        view[r][0] = rows[r].x;
        view[r][1] = rows[r].y;
        view[r][2] = rows[r].z;
        view[r][3] = -dot(rows[r], eye);
    }
    // The model's depths in front of the eye, and its extent across the line of sight.
    double nearest = std::numeric_limits<double>::infinity(), farthest = 0.0, across = 0.0;
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        const double depth = dot(axes.back, eye) - dot(axes.back, p);
        nearest = std::min(nearest, depth);
        farthest = std::max(farthest, depth);
        across = std::max({across, std::fabs(dot(axes.right, p) - dot(axes.right, eye)),
                           std::fabs(dot(axes.up, p) - dot(axes.up, eye))});
    });
    const double distance = (look.target - look.eye).Length();
    camera.farPlaneDepth = farthest > 0.0 ? 1.01 * farthest : 2.0 * distance;
    camera.nearPlaneDepth = nearest > 0.0 && nearest < farthest ? 0.5 * nearest : 1e-3 * camera.farPlaneDepth;
    const double n = camera.nearPlaneDepth, f = camera.farPlaneDepth;
    camera.projectionXform =
        look.perspectiveFovDegrees
            ? perspectiveProjection(std::tan(*look.perspectiveFovDegrees * kPi / 360.0), n, f)
            : orthographicProjection((across > 0.0 ? across : distance) / look.fill, n, f);
    return camera;
}

} // namespace kvhlr
