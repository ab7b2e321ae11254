#pragma once

// The views of a sheet, or a drawing's one view, planned before any is drawn: a camera for each, fitted
// to the whole model so that principal views share its centre and line up, the section's view (and only
// it) cut and looking square at the cut, and, once they are drawn, the section marked. kvhlr and Python
// plan their views through this, so that both draw the same sheet from the same choice.
//
// In:  the views asked for, the camera choice, the cutting plane (if any) and the model.
// Out: each view's name on the sheet, its camera and whether it is cut; after drawing, the section's
//      label and cutting-plane lines on the views.

#include "kit/camera/CameraChoice.h"
#include "kit/drawing/Section.h"
#include "kit/mesh/MeshPart.h"
#include "kit/sheet/Sheet.h"

#include <optional>
#include <string>
#include <vector>

namespace kvhlr {

struct ViewsChoice {
    std::vector<std::string> views; // a sheet's views (namedViews() and "section:A"); empty: one view
    CameraChoice camera;            // each view's up axis, projection and fill; the one view's direction
    std::optional<KvHLR::ViewInfoCriteria> given; // the one view's camera exactly as given (a camera file)
    std::optional<SectionPlane> section;
    // The one view of a section looks square at the cut rather than as `camera` (or `given`) says; a
    // sheet's section view always does.
    bool sectionFacing = true;
};

struct PlannedView {
    // As the sheet names it: a named view, "view" for a camera given or an eye, and "section-A" for
    // "section:A" (DXF layer names cannot hold a colon).
    std::string name;
    KvHLR::ViewInfoCriteria camera;
    bool cut = false; // drawn cut by the section
};

// Throws what checkSheetViews and placeCamera throw, InputError naming `subject` (the model) for a
// camera that cannot draw the model (checkCamera), and "section" for a plane that misses the model or
// that a cut view sees edge-on (checkSection): all found out before any view is drawn.
std::vector<PlannedView> planViews(const ViewsChoice& choice, const std::vector<MeshPart>& parts,
                                   const std::string& subject);

// Lays out the outlines of the planned views (the model's points seen by each camera), with the
// section's marks and label, on the sheet's paper and scale, so that views that cannot fit are refused,
// as layoutSheet refuses them, before they are drawn. Nothing to check without a paper or a scale.
void checkViewsFit(const std::vector<PlannedView>& views, const ViewsChoice& choice, const SheetOptions& sheet,
                   const std::vector<MeshPart>& parts);

// The drawn views of a sheet of several views with a section: the section's view labelled and placed
// by the principal view it looks as, and the cutting-plane line drawn in the views that see the plane
// edge-on (markSection). `views` in the order planned.
void markPlannedSection(std::vector<SheetView>& views, const ViewsChoice& choice);

} // namespace kvhlr
