#pragma once

// The finished drawing as the writers see it: the camera that made it, its lines, and the line kinds
// that become the layers of a page.

#include "api/KvHLRRecords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvhlr {

// A line of a drawing that is a circle or an ellipse, or an arc of one: its point at angle t is
// centre + majorRadius (cos t, 0) + minorRadius (0, sin t), turned by `rotation` (radians from x), for
// t from `start` to `end` (end above start, by at most a whole turn: a whole turn is closed). Its line
// keeps the points along it, within the tessellation's deflection of the curve.
struct DrawingCurve {
    std::size_t line; // index into Drawing::lines
    ON_2dPoint centre;
    double majorRadius = 0.0;
    double minorRadius = 0.0;
    double rotation = 0.0;
    double start = 0.0;
    double end = 0.0;

    ON_2dPoint at(double t) const;
    bool closed() const;
};

struct Drawing {
    KvHLR::ViewInfoCriteria camera;
    std::vector<KvHLR::StrokeLine> lines;
    // The lines that are true curves (CAD edges, kit/drawing/Curves.h), at most one for a line.
    std::vector<DrawingCurve> curves;
    // What could not be drawn as asked, a sentence each (a body a section could not cap).
    std::vector<std::string> notes;

    // --- CAD assemblies ---
    // With part layers (DrawOptions::partLayers): the part of each line, an index into partNames, one
    // entry per line; both empty otherwise. A sheet then puts each part on layers of its own.
    std::vector<std::uint32_t> lineParts;
    std::vector<std::string> partNames;

    // With provenance (DrawOptions::provenance): every line has a source per segment (StrokeLine::sources),
    // whose bodies are indices into partNames; those of lines the kit drew name no body and no edge.
    bool provenance = false;
    // With provenance, where the model holds parts read from CAD files: the sources also name the B-rep
    // edges (LineSource::brepEdge), and the outputs give those.
    bool brepEdges = false;
};

// The stretch of `line` from point `from` to point `to`, with its kind, level and the sources of its segments.
KvHLR::StrokeLine stretchOf(const KvHLR::StrokeLine& line, std::size_t from, std::size_t to);

// Turns the line to run the other way, its segments' sources with it (a model edge's vertices swapped).
void reverseLine(KvHLR::StrokeLine& line);

// The body of a line drawn with provenance (an intersection line's first), or LineSource::kNone.
std::uint32_t bodyOf(const KvHLR::StrokeLine& line);

// The model edges a line drawn with provenance runs along, each once in ascending order, as SVG's
// data-edge gives them: "4-9 9-12" (an edge by its two vertex indices), or with `brep` the B-rep edges'
// numbers, "3 7"; "" for none.
std::string modelEdgesText(const KvHLR::StrokeLine& line, bool brep);

// The kinds of the library's lines (StrokeLine::kind).
enum LineKind : int {
    VisibleSilhouette = 0,
    Hidden = 1,
    VisibleConcaveSharp = 2,
    VisibleConvexSharp = 3,
    OtherVisible = 5,
    VisibleIntersection = 6, // where bodies, or folds of one body, pass through each other
    // Section views (kit/drawing/Section.h), drawn by the kit rather than the library:
    SectionOutline = 7, // the outline of the cut faces
    Hatching = 8,       // lines over the cut faces
    // --- CAD parts ---
    VisibleTangent = 9, // where two faces of a CAD part meet smoothly (DrawOptions::tangentEdges)
    CentreLine = KvHLR::kCentreLineKind, // an axis of a hole or shaft seen from the side, or a centre mark
};

// One page layer per line kind, and with occlusion levels (DrawOptions::hiddenLevels) one per level of
// the hidden lines (levels 1, 2 and deeper ones); its pen comes from the style (kit/sheet/Style.h).
constexpr std::size_t kLayerCount = 13;
struct Layer {
    int kind;
    const char* id;    // the kind's name in layer names, SVG ids and styles
    const char* label; // readable name
};

// Hidden lines first, so that visible lines are drawn over them; the section's outline over its hatching.
const std::array<Layer, kLayerCount>& layers();

// The layer of a line kind; kinds the library does not produce for model lines go with "other visible".
const Layer& layerOf(int kind);
// The layer of a line: a hidden line with an occlusion level that of its level, else its kind's.
const Layer& layerOf(const KvHLR::StrokeLine& line);

struct Box2 {
    double minX, minY, maxX, maxY;
    double width() const { return maxX - minX; }
    double height() const { return maxY - minY; }
};

// The camera's screen square (-1..1 on both axes) in the drawing plane: the scale factors are the world
// lengths of one screen unit, exactly as the library scales its output.
Box2 cameraFrame(const KvHLR::ViewInfoCriteria& camera);

// The bounds of the drawing's lines, or the camera frame when it has none; never thinner than a
// thousandth of its larger side, so that a drawing of one straight line still has an area.
Box2 drawingBounds(const Drawing& drawing);

} // namespace kvhlr
