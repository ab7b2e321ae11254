#pragma once

// One whole check: reads a mesh and the drawing kvhlr made of it, finds and samples the feature edges
// through the drawing's camera, and scores the drawing against them. kvhlr's --up-axis and view
// options only place the fitted camera, never the mesh, so the camera in the drawing is all the check
// needs to know of them.

#include "checker/Report.h"

#include <array>
#include <optional>
#include <string>

namespace kvcheck {

struct CheckRequest {
    std::string meshPath;
    std::string drawingPath;
    double sharpAngleDegrees = 135.0; // as given to kvhlr
    bool intersections = true;        // whether the lines where surfaces cross are judged
    bool tangentEdges = false;        // whether the model's tangent edges are judged (kvhlr --tangent-edges)
    bool levels = false;              // whether hidden lines' occlusion levels are judged (kvhlr --hidden-levels)
    std::string name;                 // for the report; the drawing path when empty
    // A section (kvhlr --section-point/--section-normal): the mesh is cut by this plane first.
    std::optional<std::array<Vec3, 2>> section; // point, normal
};

// Throws InputError for input that cannot be used. Writes a warning to `warnings` when the mesh file
// holds objects, groups or materials, which kvhlr reads as separate meshes.
CaseFigures runCheck(const CheckRequest& request, std::ostream& warnings);

// The drawing is judged against a tolerance of this share of the drawing size (Samples.h), and
// sampled at half of it.
constexpr double kToleranceShare = 2e-3;
// kvhlr joins line ends within 2e-5 of the drawing's smaller side into one (HLRExactStrokeJoiner): a
// hidden line within this share of the drawing size of a visible line may be drawn as that line.
constexpr double kMergingShare = 2e-5;

} // namespace kvcheck
