#include "checker/View.h"

#include "checker/InputError.h"

#include <cmath>

namespace kvcheck {
namespace {

Vec3 divided(const Vec4& h) {
    return {h[0] / h[3], h[1] / h[3], h[2] / h[3]};
}

Vec4 row(const Mat4& m, int r) {
    return {m(r, 0), m(r, 1), m(r, 2), m(r, 3)};
}

Vec3 viewZAxis(const Mat4& modelView) {
    return {modelView(2, 0), modelView(2, 1), modelView(2, 2)};
}

} // namespace

View::View(const Camera& camera, const std::string& name)
    : m_camera(camera), m_screen(camera.projection * camera.modelView), m_modelView(camera.modelView),
      m_nearDepth(camera.nearDepth) {
    if (m_modelView(3, 0) != 0 || m_modelView(3, 1) != 0 || m_modelView(3, 2) != 0 || m_modelView(3, 3) != 1)
        throw InputError(name, "the model-view transform is not affine (its last row is not 0 0 0 1)");
    Mat4 inverse;
    if (!invert(m_screen, inverse))
        throw InputError(name, "projection x modelView cannot be inverted");
    const Vec3 origin = divided(inverse * Vec4{0, 0, 0, 1});
    m_sx = length(divided(inverse * Vec4{1, 0, 0, 1}) - origin);
    m_sy = length(divided(inverse * Vec4{0, 1, 0, 1}) - origin);

    const Vec4 centre = orthogonalTo(row(m_screen, 0), row(m_screen, 1), row(m_screen, 3));
    const Vec3 direction{centre[0], centre[1], centre[2]};
    m_perspective = centre[3] != 0;
    if (m_perspective) {
        m_eye = (1.0 / centre[3]) * direction;
        if (viewZ(m_eye) < -m_nearDepth)
            throw InputError(name, "the eye lies beyond the near plane");
    } else {
        // Toward the viewer is the way view z grows (the eye looks along -z).
        const double growth = dot(direction, viewZAxis(m_modelView));
        if (growth == 0)
            throw InputError(name, "the viewing direction lies in the view plane");
        m_toViewer = (1.0 / (growth > 0 ? length(direction) : -length(direction))) * direction;
    }
}

Vec2 View::toDrawing(const Vec3& p) const {
    const Vec4 s = m_screen * Vec4{p.x, p.y, p.z, 1};
    return {s[0] / s[3] * m_sx, s[1] / s[3] * m_sy};
}

double View::viewZ(const Vec3& p) const {
    return dot(viewZAxis(m_modelView), p) + m_modelView(2, 3);
}

Vec3 View::towardViewer(const Vec3& p) const {
    if (!m_perspective)
        return m_toViewer;
    const Vec3 d = m_eye - p;
    return (1.0 / length(d)) * d;
}

double View::beyondNearPlane(const Vec3& p) const {
    return -m_nearDepth - viewZ(p);
}

double View::distanceToNearPlane(const Vec3& p) const {
    // View z grows linearly along the ray, by the z axis' component of the direction per unit length.
    return beyondNearPlane(p) / dot(viewZAxis(m_modelView), towardViewer(p));
}

View View::turned(int screenAxis, double radians, const Vec3& pivot) const {
    // In view space: move the pivot to the origin, turn, move it back.
    const Vec4 centre = m_modelView * Vec4{pivot.x, pivot.y, pivot.z, 1};
    Mat4 toOrigin, turn, back;
    for (int i = 0; i < 4; ++i)
        toOrigin(i, i) = turn(i, i) = back(i, i) = 1;
    for (int i = 0; i < 3; ++i) {
        toOrigin(i, 3) = -centre[i];
        back(i, 3) = centre[i];
    }
    const int a = screenAxis == 0 ? 1 : 2, b = screenAxis == 0 ? 2 : 0; // the plane turned in
    turn(a, a) = turn(b, b) = std::cos(radians);
    turn(a, b) = -std::sin(radians);
    turn(b, a) = std::sin(radians);
    Camera camera = m_camera;
    camera.modelView = back * turn * toOrigin * m_modelView;
    return View(camera, "the turned view");
}

} // namespace kvcheck
