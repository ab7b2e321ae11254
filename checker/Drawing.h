#pragma once

// A drawing written by `kvhlr ... -o FILE.json`: the camera it was made with and its lines.

#include "checker/Geometry.h"

#include <string>
#include <vector>

namespace kvcheck {

// The camera as kvhlr writes it: world-to-view and view-to-screen transforms (row-major, acting on
// column vectors) and the near and far plane depths in front of the eye.
struct Camera {
    Mat4 modelView;
    Mat4 projection;
    double nearDepth = 0;
    double farDepth = 0;
};

// Line kinds of the drawing.
enum LineKind : int {
    kVisibleSilhouette = 0,
    kHidden = 1,
    kVisibleConcaveSharp = 2,
    kVisibleConvexSharp = 3,
    kVisibleOther = 5,
    kVisibleIntersection = 6, // where two triangles that share no corner cross
    kSectionOutline = 7,      // the outline of a section's cut faces: visible
    kHatching = 8,            // over a section's cut faces: no edge, left out when read
    kVisibleTangent = 9,      // where two faces of a CAD model meet smoothly (kvhlr --tangent-edges)
    kCentreLine = 10,         // the axis of a hole or shaft: no edge, left out when read
};

inline bool isVisibleKind(int kind) {
    return kind == kVisibleSilhouette || kind == kVisibleConcaveSharp || kind == kVisibleConvexSharp ||
           kind == kVisibleOther || kind == kVisibleIntersection || kind == kSectionOutline ||
           kind == kVisibleTangent;
}

struct Line {
    int kind = 0;
    std::vector<Vec2> points;
    int level = 0; // a hidden line's occlusion level, where the drawing tells it ("level"); else 0
};

struct Drawing {
    Camera camera;
    std::vector<Line> lines;
};

// Throws InputError naming `path` when the file cannot be read, is not JSON, or lacks or mistypes any
// of modelView, projection (16 finite numbers each), near, far or lines, or holds a line of a kind
// other than those above, or a "level" that is not an integer of 0 or more. Hatching and centre lines are left out. A line that "curves" says is a circle
// or an ellipse is judged by points along that curve instead of its own (at most a degree apart), so
// that the curve is what is judged.
Drawing readDrawing(const std::string& path);

} // namespace kvcheck
