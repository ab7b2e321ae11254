#pragma once

// Section views: the model cut by a plane, what lies on the viewer's side of it taken away, each cut
// body closed by caps lying in the plane, and the caps drawn as a draughtsman draws a section: their
// outline heavy (kind SectionOutline) and hatched (kind Hatching), a different hatching for each body.
//
// In:  the parts of a model, the cutting plane (a point and a normal, or what a front end names: x=0,
//      a view's name, a plan's height) and the camera.
// Out: the parts cut, with caps as faces of their own, so that the caps hide what lies behind them;
//      after the library has drawn them, the section's outline and hatching added to the drawing.
//
// With the removed side towards the viewer, every ray from a cap to the eye runs through the removed
// side, where nothing is left: the caps are wholly visible, so their outline and hatching are drawn by
// the kit directly, and the library's own lines along the outline (the caps' borders are sharp edges
// of the cut model) are taken out so that no line is drawn twice.

#include "kit/camera/CameraFit.h"
#include "kit/drawing/Drawing.h"
#include "kit/mesh/MeshPart.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvhlr {

struct SectionPlane {
    ON_3dPoint point;
    ON_3dVector normal; // need not be of unit length; its sign does not matter (the viewer's side goes)
};

// A cutting plane as a front end asks for it: by name ("x=0", "z=1.2" across an axis at that
// coordinate, or "front", "top", ... through the model's centre, facing that view), by point and
// normal, or as a plan (a horizontal section at a height above the model's floor).
struct SectionChoice {
    std::string named;
    std::optional<ON_3dPoint> point;
    std::optional<ON_3dVector> normal;
    std::optional<double> planHeight;
};

// Throws InputError naming the parameter at fault ("section", "section_normal", "plan") for a choice
// no model can be cut by; it needs no model, so a front end can call it before reading one.
void checkSectionChoice(const SectionChoice& choice);

// The plane the choice names for this model (whose extent places named planes and plans).
SectionPlane sectionPlane(const SectionChoice& choice, UpAxis upAxis, const std::vector<MeshPart>& parts);

// The direction that looks square at the cut, from the side of the plane its normal points to: the
// principal view (front, top, ...) with that direction where there is one, so that such a section
// lines up with the views on a sheet.
ViewDirection sectionViewDirection(const SectionPlane& plane, UpAxis upAxis);

// A drawing's progress hook (DrawOptions::progress): the section's own loops call it with a fixed share
// about every 20 ms, and end with DrawingCancelled (kit/drawing/DrawMesh.h) when it returns false.
using ProgressHook = std::function<bool(double)>;

// Throws InputError naming the parameter "section" when the plane misses the model (all of it on one
// side) or the camera sees the plane edge-on; what cutSection checks first, for a front end that wants
// to know before it draws anything.
void checkSection(const std::vector<MeshPart>& parts, const SectionPlane& plane,
                  const KvHLR::ViewInfoCriteria& camera);

// What cutting did, for drawing the section once the library has drawn the cut model.
struct SectionCut {
    // The outline of each capped body (in the parts' order; a part's bodies are its triangles' connected
    // pieces): closed loops of points in the plane.
    std::vector<std::vector<std::vector<ON_3dPoint>>> cappedBodies;
    // The parts (numbered from 0) whose cut outline does not close, left uncapped where it is open.
    std::vector<std::size_t> uncappedParts;
};

// Cuts the parts: the side of the plane the camera sees from goes (triangles crossing it are cut
// exactly, tangent edges too); each body's closed cut loops become polygons with holes (nesting by
// even-odd within the body, so that overlapping bodies are each capped whole), triangulated into caps
// that join the part, sharing the cut's points. Throws what checkSection throws, DrawingCancelled and
// whatever `progress` throws (told 0).
SectionCut cutSection(std::vector<MeshPart>& parts, const SectionPlane& plane,
                      const KvHLR::ViewInfoCriteria& camera, const ProgressHook& progress = {});

// Hatching: lines `spacing` apart (drawing units, the model's; 0: a 60th of the camera frame's larger
// side) at `angleDegrees` (counterclockwise from the drawing's x axis) for the first body, square to
// that for the second, then both again at 1.5 and 2 times the spacing, so that adjoining bodies differ.
struct HatchStyle {
    double spacing = 0.0;
    double angleDegrees = 45.0;
};

// Hatching is refused (InputError naming "hatch_spacing", with the smallest spacing this view allows)
// before any line is made when it would draw more lines than this.
constexpr double kMostHatchLines = 500000;

// The section in the drawing plane: each capped body's loops, for hatching (and for finding what lies on
// the caps), and the outline, as lines of kind SectionOutline. With a perspective camera only what lies
// beyond its near plane, and with `clipToFrame` (the model was cut at the near plane) only what lies
// within the camera's frame. Worked out once per drawing, before the cut model is drawn. Throws
// DrawingCancelled and whatever `progress` throws (told 0).
struct SectionImage {
    std::vector<std::vector<std::vector<ON_2dPoint>>> bodies;
    std::vector<KvHLR::StrokeLine> outline;
};
SectionImage sectionImage(const SectionCut& cut, const KvHLR::ViewInfoCriteria& camera, bool clipToFrame = false,
                          const ProgressHook& progress = {});

// Throws what drawSection throws for hatching past kMostHatchLines, before the cut model is drawn.
void checkHatching(const SectionImage& image, const KvHLR::ViewInfoCriteria& camera, const HatchStyle& hatching);

// Adds the section's outline and hatching (`image`, made with the drawing's camera) to a drawing of the cut
// parts, and takes the library's lines along the outline out of it. Returns a note for each uncapped part,
// or one saying that the plane cuts no body. Throws DrawingCancelled and whatever `progress` throws (told 1).
std::vector<std::string> drawSection(Drawing& drawing, const SectionCut& cut, const SectionImage& image,
                                     const HatchStyle& hatching, const ProgressHook& progress = {});

// Takes out of a drawing of the cut parts the centre lines whose middle lies on the section's caps: the
// axes of holes and shafts behind the cut face, which the section hides.
void removeCentreLinesOnCaps(Drawing& drawing, const SectionImage& image);

// A section's cutting-plane line in another view of a sheet: where that view sees the plane edge-on,
// across its drawing, with the section's direction of sight (from the side taken away) for the arrows
// and the letter naming the section.
struct CuttingPlaneLine {
    ON_2dPoint from, to; // in the view's drawing plane
    ON_2dPoint sight;    // of unit length, in the view's drawing plane
    std::string letter;
};

// The line across the view's drawing, from one side of its bounds to the other (a sheet draws it on
// beyond them); nothing when the view (a perspective, or one that looks across the plane) does not see
// the plane edge-on. The normal points to the side taken away.
std::optional<CuttingPlaneLine> cuttingPlaneLine(const SectionPlane& plane, const Drawing& view,
                                                 const std::string& letter);

} // namespace kvhlr
