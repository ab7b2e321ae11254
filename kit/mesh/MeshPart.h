#pragma once

// The kit's model: what a mesh file or the demo generator produces, before it becomes host meshes.

#include "api/CalcSilhouette.h"
#include "host/KvMesh.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kvhlr {

// A B-rep edge that is a circle or an ellipse, or an arc of one, in world coordinates: its point at
// angle t is centre + cos t * major + sin t * minor, for t from `start` to `end` (end above start, by
// at most a whole turn). The outline of a sphere is a circle in every view: `sphere` set, `major` then
// holds the radius as its length alone.
struct CadCurve {
    ON_3dPoint centre;
    ON_3dVector major;
    ON_3dVector minor;
    double start = 0.0;
    double end = 0.0;
    bool sphere = false;
};

// A B-rep edge as the tessellation follows it: its number and the part's points along it.
struct CadEdge {
    std::uint32_t index = 0;
    std::vector<std::uint32_t> points;
};

// A face that turns at least half round an axis (a cylinder, a cone or a torus): where centre lines
// and marks go. Its points lie between `from` and `to` along the unit `direction` from `origin`, at most
// `radius` from the axis.
struct CadAxis {
    ON_3dPoint origin;
    ON_3dVector direction;
    double from = 0.0;
    double to = 0.0;
    double radius = 0.0;
};

// One future host mesh: welded points and one or more faces of triangles indexing them. A body keeps
// its faces apart (each becomes a face of a mesh body); otherwise the part has a single face.
struct MeshPart {
    Kv::KvPointList points;
    // Where each point was read from, for the lines' sources: the index of the file's first vertex at its
    // position (an OBJ file's `v` lines counted from 0 across the file; a binary STL file's triangle
    // corners, 3 t + k for corner k of triangle t). Empty where the points are the source's own, in order.
    std::vector<std::uint32_t> fileVertices;
    std::vector<Kv::KvTriangleList> faces;
    bool body = false;
    // The length unit in millimetres: of the points, and of the numbers in the file they were read from.
    // They differ where the reader converts (Open CASCADE gives STEP and IGES shapes in millimetres,
    // whatever the file's unit). Millimetres both where the file says nothing.
    double unitMm = 1.0;
    double fileUnitMm = 1.0;

    // --- parts read from CAD files (kit/mesh/CadFile.h) ---
    // Each face is a face of the B-rep, or several that meet smoothly, merged: the borders between
    // faces are then exactly the B-rep's sharp edges, drawn as outlines (the library's separate body
    // faces), and no facet edge of a face is ever drawn.
    bool brepFaces = false;
    // The edges along which two faces meet smoothly (tangent edges), as polylines in world coordinates;
    // drawn only when asked (DrawOptions::tangentEdges). Each one's B-rep edge, one entry per tangent edge.
    std::vector<std::vector<ON_3dPoint>> tangentEdges;
    std::vector<std::uint32_t> tangentBrepEdges;
    // The B-rep edges along the triangles' sides, for provenance (LineSource::brepEdge): per B-rep edge
    // its number (as kit/mesh/CadFile.h numbers them) and the points along it, in order. Seams and
    // degenerate edges (a sphere's poles) have none.
    std::vector<CadEdge> brepEdges;
    // Points a cut added (kit/drawing/LevelCut.h) to a part with B-rep edges that lie on a side of the
    // triangles as read, by index: that side's two points, so that a line through them still names its
    // B-rep edge.
    std::unordered_map<std::uint32_t, std::array<std::uint32_t, 2>> cutSides;
    // The edges that are circles and ellipses (and the spheres' outlines), the axes of the faces that
    // turn about one, and how far the triangles may stray from the surface (the mesher's deflection, in
    // the points' unit): what true curves and centre lines are drawn from (kit/drawing/Curves.h).
    std::vector<CadCurve> curves;
    std::vector<CadAxis> axes;
    double deflection = 0.0;
    // The name of the part and of its instance in an assembly, where the file gives them.
    std::string partName;
    std::string instanceName;
};

std::size_t triangleCount(const std::vector<MeshPart>& parts);

// The side of the triangles as read that both points lie on, each a point as read (one not in
// `cutSides`) or one a cut added on such a side; nothing where they lie on none.
std::optional<std::array<std::uint32_t, 2>>
sideThrough(const std::unordered_map<std::uint32_t, std::array<std::uint32_t, 2>>& cutSides, std::uint32_t a,
            std::uint32_t b);

// Millimetres per unit of the parts' points (the parts of one file share their unit): as the file says,
// or, where `givenMm` is given (what one of the file's numbers is, overriding the file), that unit
// carried over to the points. 1, or `givenMm`, without parts.
double pointUnitMm(const std::vector<MeshPart>& parts, std::optional<double> givenMm);

// Each part's name on a layer: PART, or PART.INSTANCE for an instance named otherwise in an assembly (a
// name of digits alone is a reader's number, no name), "part-N" (N counting from 1) for one without a
// name, names that repeat numbered (PART-2, ...); only letters, digits, '-', '_' and '.' (others become
// '_'), which every format's layer names allow.
std::vector<std::string> partLayerNames(const std::vector<MeshPart>& parts);

// Calls visit(point) for every point of every part.
template <class Visit> void forEachPoint(const std::vector<MeshPart>& parts, Visit&& visit) {
    for (const MeshPart& part : parts)
        for (const ON_3dPoint& p : part.points)
            visit(p);
}

// The host meshes the library reads: a body part becomes a mesh body whose faces are the part's faces,
// any other part a plain mesh. Parts without triangles are left out. The parts' lists are moved.
KvHLR::MeshList toMeshList(std::vector<MeshPart>&& parts);

} // namespace kvhlr
