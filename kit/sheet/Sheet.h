#pragma once

// Sheets: the views of a model laid out on paper at one scale, with a frame and a title block.
//
// In:  the drawings of the views, each in its own camera's drawing plane in model units, and how long
//      a model unit is; the paper, the true scale, arrangement and style.
// Out: the page in millimetres, a layer per line kind of each view, ready for the vector writers.
//
// Principal views (front, back, left, right, top, bottom) are arranged around the front view as the
// projection method places them and aligned through their drawing planes' origins, so a camera fitted
// to the model's bounds lines them up: front and top share x, front and the side views share y. Any
// other view (iso, dimetric, trimetric, a view from an eye point) goes into a free corner. A section's
// view that looks as a principal view does takes that view's place, or, where a view stands there, the
// next free place in line with it; where the paper has no room for that, a free corner.
//
// Cutting-plane marks and labels are laid out with their views: each view's place holds its marks and
// label, so that they keep a view's gap clear of every other view, mark and label, and of the frame and
// title block.

#include "kit/drawing/Drawing.h"
#include "kit/drawing/Section.h"
#include "kit/sheet/Page.h"
#include "kit/sheet/Paper.h"
#include "kit/sheet/Style.h"

#include <optional>
#include <string>
#include <vector>

namespace kvhlr {

enum class Orientation { Auto, Portrait, Landscape };
enum class Projection { First, Third };

struct SheetView {
    std::string name; // a named view of kit/camera/CameraFit.h, or any other name for a free view
    Drawing drawing;
    // Section views: a label written under the view ("SECTION A-A"), and the cutting-plane lines drawn
    // in it (a chain line, thick at its ends, arrows for the direction of sight, the letters).
    std::string label;
    std::vector<CuttingPlaneLine> cuttingPlanes;
    // A section's view: the principal view that looks as it does, whose place in the projection it takes.
    std::string sameSightAs = {};
};

struct SheetOptions {
    std::optional<PaperSize> paper;
    Orientation orientation = Orientation::Auto; // Auto: the one that fits, or gives the larger scale
    std::optional<double> scale;                 // default: the largest of 1, 2, 5 x 10^n that fits
    // Millimetres per model unit: the scale and the title block's are true, page mm per model mm.
    double unitMm = 1.0;
    double marginMm = 10.0;
    double gapMm = 15.0; // between views
    Projection projection = Projection::Third;
    bool title = true;
    bool trueScale = true; // false for a perspective: the title block says it is not to scale
    std::string modelName;
    std::string date;
    Style style = namedStyle("classic");
};

// Section views on a sheet. A section's view is named "section:A" (or "section-A", as the sheet names it:
// DXF layer names cannot hold a colon), a capital letter naming it; its letter, or nothing for any other
// name.
std::optional<std::string> sectionLetter(const std::string& viewName);

// Labels the section's view "SECTION A–A", names the principal view it looks as (for a model whose
// vertical axis is `upAxis`), and gives every other view that sees the plane edge-on the cutting-plane
// line. The plane's normal points to the side taken away (the section's viewer).
void markSection(std::vector<SheetView>& views, const SectionPlane& plane, UpAxis upAxis);

// The views asked for a sheet (names as namedViews() and sectionLetter() read them), checked before any
// is drawn. Throws InputError naming the parameter "views" for a view named twice, a section's view
// without a section (`section` false), or, with a section and views, other than one section's view.
void checkSheetViews(const std::vector<std::string>& views, bool section);

// Throws InputError naming the parameter "scale" for a scale asked of a sheet that cannot be true to
// one (a perspective's, trueScale false).
void checkSheetScale(const SheetOptions& options);

// A JSON drawing file is the record of one drawing, and holds no page. Throws InputError naming the
// parameter "output" for a JSON file of several views, or with a paper or a scale.
void checkJsonDrawing(std::size_t viewCount, const SheetOptions& options);

// An option that changes nothing in a run, and why: a front end warns of those it was given.
struct IdleOption {
    const char* parameter; // the kit's name: gap, margin, title, units, orientation, projection, style, line,
                           // dashes, fit_arcs, hatch_spacing, hatch_angle, deflection, angular_deflection,
                           // cad_memory_limit, cad_time_limit, tangent_edges, sharp_angle, bodies,
                           // separate_faces
    const char* why;
};

// What a run draws and writes, as far as the options that may change nothing in it go.
struct RunShape {
    std::size_t viewCount = 1;
    bool json = false;       // a JSON drawing file, not a page
    bool section = false;
    bool meshInputs = true;  // some model is a mesh (a mesh file, arrays, the demo part)
    bool cadInputs = false;  // some model is a CAD file's
};

// The options idle in such a run with these sheet options.
std::vector<IdleOption> idleOptions(const SheetOptions& options, const RunShape& run);

// Throws InputError naming the parameter "margin" when, with paper, the margins (and the title block)
// leave no room for views in any orientation allowed: found out before any view is drawn.
void checkPaperRoom(const SheetOptions& options);

// With neither paper nor scale the page is fitted to the views: its longer side is 200 mm, margins
// 2 % of the views' extent, gaps in proportion, no frame or title block. Otherwise the views are
// drawn at the scale and the page is the paper, or fitted around the views plus margins and title.
// Layers are named "N-KIND" (one view) or "N-VIEW-KIND" (several), N numbering the style's distinct
// pens in drawing order, so plotter software that picks pens by a leading number draws alike lines
// with one pen; layers that hold nothing are left out, the others keeping their numbers. Throws
// InputError naming the parameter "scale" when the views do not fit the paper at the scale, or "paper"
// when they fit it at no scale.
Page layoutSheet(const std::vector<SheetView>& views, const SheetOptions& options);

} // namespace kvhlr
