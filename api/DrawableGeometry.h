#pragma once

// The part of the caller's geometry that a camera can draw. A triangle with a corner that is not
// finite, or whose view position or screen image is not finite, is left out as if the caller had
// not given it: it neither draws nor hides. What goes in is the caller's geometry and the run's
// projector; what comes out is geometry with only drawable triangles, nothing new when all are.

#include "Hlr/HLRProjector.h"
#include "api/CalcSilhouette.h"

#include <optional>

namespace KvHLR {

class DrawablePoints {
public:
    explicit DrawablePoints(HLRProjector const& projector) : m_projector(&projector) {}

    bool operator()(ON_3dPoint const& p) const;

private:
    HLRProjector const* m_projector;
};

// The drawable triangles over the drawable points (renumbered); nothing when every point is drawable,
// so that the polygon serves as it is. Every point counts, used or not, as the model takes them all.
std::optional<Polygon3D> drawablePart(Polygon3D const& polygon, DrawablePoints const& drawable);

// Each mesh whose triangles are all drawable as it is; any other replaced by a mesh of the same kind
// over the same vertex list with only the drawable triangles (a body keeps its faces when they are
// read face by face). Only vertices that triangles use are looked at, each once however many meshes
// share its list. Throws std::invalid_argument for a null mesh handle.
//
// Both throw std::out_of_range for a triangle index beyond its point list.
MeshList drawablePart(MeshList const& meshes, DrawablePoints const& drawable, bool separateBodyFaces);

} // namespace KvHLR
