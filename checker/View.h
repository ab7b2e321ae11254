#pragma once

// What the checker derives from a camera: where a world point lands in the drawing, where the viewer
// stands, and how far a point may be followed toward the viewer before it crosses the near plane.
//
// Drawing coordinates are kvhlr's: with P = projection x modelView and (X, Y, Z, W) = P (p, 1), a world
// point p lands at (X/W sx, Y/W sy), where sx and sy are the world lengths of one screen unit along
// the screen axes, measured through the inverse of P at the screen origin.
//
// The viewer is the centre of projection: the point (or, for an orthographic camera, the point at
// infinity) that P maps to X = Y = W = 0, so every ray through it lands on a single drawing point.

#include "checker/Drawing.h"

namespace kvcheck {

class View {
public:
    // Throws InputError (subject `name`) when P cannot be inverted, the model-view transform is not
    // affine, or the near plane does not lie in front of the viewer.
    View(const Camera& camera, const std::string& name);

    Vec2 toDrawing(const Vec3& p) const;
    bool isPerspective() const { return m_perspective; }

    // The unit direction from p toward the viewer: toward the eye in a perspective view, against the
    // viewing direction in an orthographic one.
    Vec3 towardViewer(const Vec3& p) const;

    // How far p lies beyond the near plane, as seen from the viewer (positive when it can be drawn).
    double beyondNearPlane(const Vec3& p) const;

    // The distance from p along towardViewer(p) to the near plane.
    double distanceToNearPlane(const Vec3& p) const;

    // This view with its camera turned by `radians` about the screen's x (screenAxis 0) or y (1) axis
    // through the world point `pivot`. The turned view's drawing coordinates are its own.
    View turned(int screenAxis, double radians, const Vec3& pivot) const;

private:
    double viewZ(const Vec3& p) const;

    Camera m_camera;
    Mat4 m_screen; // P
    Mat4 m_modelView;
    double m_nearDepth;
    double m_sx = 1, m_sy = 1;
    bool m_perspective = false;
    Vec3 m_eye;      // perspective
    Vec3 m_toViewer; // orthographic, unit length
};

} // namespace kvcheck
