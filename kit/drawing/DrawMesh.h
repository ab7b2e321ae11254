#pragma once

// One call from a model and a camera to a drawing: the library's CalcSilhouette with its records filled
// in, the library's modes (exact hiding, intersection lines) chosen per call, and a progress hook that may
// carry state and cancel.
//
// In:  a triangle soup (points and index triples) or the parts a mesh file was read into, a camera,
//      and what to draw.
// Out: the drawing: the camera and the lines, each of a LineKind (kit/drawing/Drawing.h), in the
//      drawing plane's world units.
// Calls from several threads are safe; they take turns, as the library's own calls do.

#include "kit/drawing/Drawing.h"
#include "kit/drawing/Section.h"
#include "kit/mesh/MeshPart.h"

#include <functional>
#include <limits>
#include <stdexcept>

namespace kvhlr {

constexpr int kAllLevels = std::numeric_limits<int>::max(); // DrawOptions::hiddenLevels: every level

struct DrawOptions {
    bool hidden = false;      // also draw hidden lines
    bool silhouettes = true;  // visible silhouettes and outlines
    bool sharp = true;        // visible sharp edges, convex and concave
    double sharpAngle = 135.0; // faces meeting at an angle below this (degrees) make a sharp edge
    bool separateBodyFaces = false; // drawParts: borders between a body's faces are outlines
    bool tangentEdges = false; // drawParts: the tangent edges of CAD parts, where visible (VisibleTangent)
    bool partLayers = false;   // drawParts: tell each line's part (Drawing::lineParts, kit/drawing/PartLines.h)
    // drawParts: the centre lines and marks of a CAD part's holes and shafts (kit/drawing/Curves.h).
    // Its circles and ellipses are always drawn as true curves.
    bool centreLines = true;
    // The library's modes for this drawing alone (HLRRunModes): the process-wide switches stay as they are.
    bool exact = true;         // exact hiding, else the plain hide test
    bool intersections = true; // lines where bodies meet
    // Occlusion levels (exact hiding only): each hidden line's level counted (StrokeLine::level: how many
    // surfaces lie between it and the eye) and hidden lines of levels 1 to this one drawn, as if `hidden`
    // were set; kAllLevels draws every level, 0 counts none.
    int hiddenLevels = 0;
    // Where each line comes from (Drawing::provenance): with exact hiding, the library records each
    // segment's body and model edge (the kit adds a CAD part's B-rep edge, Drawing::brepEdges); the parts'
    // names become partNames and each line's part its body's, as with part layers.
    bool provenance = false;
    // Told the share done, 0 to 1, from the calling thread: whenever it grows and otherwise about every
    // 20 ms while the library works, whatever its stage (the library's frequent progress,
    // HLRCancelPoll), never less than before. Returning false cancels the drawing, which then ends
    // within a fraction of a second.
    std::function<bool(double)> progress;
    // A section view (drawParts, kit/drawing/Section.h): the model cut by this plane, the viewer's side
    // taken away, the cut faces outlined and hatched.
    std::optional<SectionPlane> section;
    HatchStyle hatching;
    // drawMesh, for one view drawn in parts (kelvar_hlr.distributed's tiles): the lines are the exact hide
    // pass's pieces, unjoined (KvHLR::HLRRunModes::unjoinedPieces), for joinPieces to join with the other
    // parts'. Exact hiding only, without levels, provenance or a section.
    bool unjoined = false;
};

// One view drawn in parts: the parts' pieces (DrawOptions::unjoined), cut to their tiles and made whole
// where a border cut them, joined into the lines of the drawing through `camera` as one drawing of the
// whole model joins them (KvHLR::JoinLinePieces), of the kinds `options` draw. screenMin and screenMax
// bound the whole model on the screen; each piece's one source numbers its end nodes (JoinLinePieces).
// Throws InputError naming "pieces" for a piece without two points and one source, and "screen_box" for a
// box without area; DrawingCancelled when options.progress cancels.
Drawing joinPieces(const std::vector<KvHLR::StrokeLine>& pieces, const KvHLR::ViewInfoCriteria& camera,
                   const ON_2dPoint& screenMin, const ON_2dPoint& screenMax, const DrawOptions& options);

// Throws InputError naming the parameter "sharp_angle" for a sharp angle outside 0..180 degrees,
// "hatch_spacing" for a negative or infinite spacing, "hatch_angle" for an angle that is not finite,
// "section_normal" for a plane whose normal is zero, "hidden_levels" for a negative level or levels with
// the plain hide test, "provenance" without exact hiding: options that no drawing can be made with, checked
// before a model is read where a front end calls this.
void checkDrawOptions(const DrawOptions& options);

// Thrown when the progress hook cancelled the drawing.
class DrawingCancelled : public std::runtime_error {
public:
    DrawingCancelled() : std::runtime_error("the drawing was cancelled") {}
};

// A perspective camera inside the model draws what lies beyond its near plane: the triangles are cut
// there first (kit/drawing/NearPlaneCut.h); the drawing keeps the caller's camera.
//
// The soup is moved in: the library empties it once its model is built, so one copy of the caller's
// arrays is all a drawing needs. Throws what checkDrawOptions throws, std::out_of_range for an index
// beyond the points, DrawingCancelled, whatever the progress hook threw, and whatever else
// CalcSilhouette throws.
Drawing drawMesh(KvHLR::Polygon3D&& mesh, const KvHLR::ViewInfoCriteria& camera, const DrawOptions& options);

// The same for the parts of a mesh file (readMeshFile) or of the demo part, which may hold mesh bodies.
// With a section, the parts are cut and capped first (cutSection) and the section drawn over the
// library's lines (drawSection); the drawing's notes name the bodies that could not be capped.
Drawing drawParts(std::vector<MeshPart>&& parts, const KvHLR::ViewInfoCriteria& camera,
                  const DrawOptions& options);

} // namespace kvhlr
