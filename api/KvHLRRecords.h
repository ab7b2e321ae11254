#pragma once

// The plain records that cross the library boundary: what a caller fills in and what it gets back.

#include "api/KvHLRExport.h"
#include "host/CRect.h"
#include "host/opennurbs.h"

#include <array>
#include <cstdint>
#include <vector>

namespace KvHLR {

// A triangle soup in world coordinates. Every index of `triangles` must select an entry of `points`.
struct KVHLR_API Polygon3D {
    std::vector<ON_3dPoint> points;
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

// What to draw and how edges are judged.
struct KVHLR_API ProjectorCriteria {
    bool showSilhouette = false;
    bool showConcaveSharpEdge = false;
    bool showConvexSharpEdge = false;
    bool showHiddenLine = false;
    // Read a mesh body face by face, so the borders between its faces become boundary edges.
    bool separateBodyFaces = false;
    // Dihedral angle in degrees below which two faces meet at a sharp edge.
    double sharpEdgeAngle = 135.0;
    // Draw the tangent edges of mesh bodies (Kv::KvaMeshBody::SetTangentEdges) where they are visible,
    // kind 9, hidden by the model like any edge; their hidden pieces are left out.
    bool showTangentEdge = false;
};

// The view as the host describes it.
struct KVHLR_API ViewInfoCriteria {
    ON_Xform modelViewXform = ON_Xform(1.0);  // world to view coordinates
    ON_Xform projectionXform = ON_Xform(1.0); // view to screen coordinates
    double nearPlaneDepth = 0.0;              // positive distance from the eye
    double farPlaneDepth = 0.0;
    CRect clientRect; // client area of the view window in pixels
};

// A caller's polyline in world coordinates, projected and passed through to the drawing.
struct KVHLR_API UserPolyline {
    std::vector<ON_3dPoint> points;
    std::int32_t kind = 0;
};

// One polyline of the drawing, in the drawing plane and in world length units.
// kind: 0 visible silhouette, 1 hidden line, 2 visible concave sharp edge, 3 visible convex sharp
// edge, 5 any other visible line, 6 visible intersection line (only with
// HLRPolyAlgo::setIntersectionLines), 9 visible tangent edge (only with
// ProjectorCriteria::showTangentEdge); lines made from a UserPolyline keep the caller's kind. The
// drawing kit adds kCentreLineKind for the centre lines and marks of holes and shafts.
constexpr std::int32_t kCentreLineKind = 10;

// Where one segment of a line comes from: its provenance, recorded only when a run asks for it
// (HLRRunModes::provenance, HLRPolyAlgo::setProvenance) and with exact hiding. kNone marks what a
// segment has not: a user polyline's segments have no body and no model edge, a tangent edge's
// segments a body but no model edge.
struct KVHLR_API LineSource {
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    // The body: the mesh's index in the MeshList, 0 for a triangle soup.
    std::uint32_t body = kNone;
    // The model edge: its two vertices' indices in the body's mesh (the soup's points), in the order the
    // segment runs between them. On an intersection line, the two triangles it lies on instead: the
    // first's index in `body`'s mesh, the second's in `otherBody`'s (counted across a mesh body's
    // faces in order).
    std::array<std::uint32_t, 2> edge{kNone, kNone};
    std::uint32_t otherBody = kNone; // only on intersection lines
    // The drawing kit's, never the library's: on a line of a part read from a CAD file, the B-rep edge
    // the segment lies on (kit/mesh/CadFile.h numbers them); kNone elsewhere.
    std::uint32_t brepEdge = kNone;
};

struct KVHLR_API StrokeLine {
    std::vector<ON_2dPoint> points;
    std::int32_t kind = 0;
    // A hidden line's occlusion level: how many surfaces (triangles, facing the camera or not) a ray from
    // it to the eye crosses, 1 and up. Set only with occlusion levels on (HLRPolyAlgo::setOcclusionLevels,
    // HLRRunModes::occlusionLevels) and exact hiding; 0 otherwise, and for every visible line.
    std::int32_t level = 0;
    // With provenance, one per segment (points.size() - 1 of them); empty otherwise. Lines then join
    // only within one body (an intersection line within one pair of bodies), so that every segment
    // of a line names the same body.
    std::vector<LineSource> sources{};
};

} // namespace KvHLR
