#include "kit/sheet/Sheet.h"

#include "kit/InputError.h"
#include "kit/drawing/Curves.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

namespace kvhlr {
namespace {

// The fitted page of a drawing without a scale: its longer side, and the margin as a share of the
// drawing's larger side.
constexpr double kFitPageMm = 200.0;
constexpr double kFitMargin = 0.02;
constexpr double kFitGap = 0.05; // between fitted views, as a share of the largest view's larger side

// Between the frame and the views, and between the title block and the views.
constexpr double kFramePaddingMm = 5.0;

// The title block: the model's name in a row of its own over a row of scale, projection and date.
constexpr double kTitleWidthMm = 120.0;
constexpr double kNameRowMm = 10.0;
constexpr double kInfoRowMm = 7.0;
constexpr double kNameTextMm = 5.0;
constexpr double kInfoTextMm = 2.5;
// Scale, projection and date; each cell holds its longest text ("Scale 1:1000000000").
constexpr double kInfoCellsMm[] = {40.0, 50.0, 30.0};
// The projection method's symbol, at the name row's right end: a truncated cone seen from the side and
// from its narrow end.
constexpr double kSymbolCellMm = 24.0;
constexpr double kConeLengthMm = 7.0;
constexpr double kConeRadiiMm[] = {1.5, 3.0}; // narrow and wide end
constexpr double kSymbolGapMm = 4.0;          // between the two views
// A sans-serif letter is about this many times as wide as its capitals are high.
constexpr double kLetterWidthPerHeight = 0.8;

// Where a principal view sits, counted in views from the front view: columns to the right, rows up.
struct Cell {
    int column;
    int row;
};

std::optional<Cell> principalCell(const std::string& name, Projection projection) {
    // Third angle puts each view on the side it is seen from; first angle on the opposite side.
    const int s = projection == Projection::Third ? 1 : -1;
    const std::map<std::string, Cell> cells{{"front", {0, 0}},  {"top", {0, s}},   {"bottom", {0, -s}},
                                            {"right", {s, 0}},  {"left", {-s, 0}}, {"back", {2, 0}}};
    const auto found = cells.find(name);
    return found == cells.end() ? std::nullopt : std::optional<Cell>(found->second);
}

// A view placed on the layout: its bounds in its drawing plane, and where that plane's origin goes.
struct Placement {
    Box2 bounds;
    double originX = 0.0;
    double originY = 0.0;
};

struct Layout {
    std::vector<Placement> views; // as the views were given
    Box2 box;                     // the union of the placed views
};

Box2 placedBox(const Placement& p, double scale) {
    return {p.originX + scale * p.bounds.minX, p.originY + scale * p.bounds.minY,
            p.originX + scale * p.bounds.maxX, p.originY + scale * p.bounds.maxY};
}

// One axis of the cross of principal views: the lanes (columns or rows) in order, each as wide as the
// reach of its views on either side of their origins.
class Lanes {
public:
    void add(int lane, double below, double above) {
        Reach& reach = m_reach[lane];
        reach.below = std::max(reach.below, below);
        reach.above = std::max(reach.above, above);
    }

    // Lays the lanes out from 0 with `gap` between them. Lane 0 gets a place even without views, where
    // it would be, so that free views can go beside it.
    void place(double gap) {
        m_reach.try_emplace(0, Reach{0.0, 0.0, false});
        double cursor = 0.0;
        bool placed = false;
        for (auto& [lane, reach] : m_reach) {
            if (reach.used && placed)
                cursor += gap;
            reach.start = cursor;
            if (reach.used)
                cursor += reach.below + reach.above;
            reach.end = cursor;
            placed = placed || reach.used;
        }
        m_end = cursor;
    }

    double origin(int lane) const { return m_reach.at(lane).start + m_reach.at(lane).below; }

    // The span beside lane 0 on one side (`side` +1 or -1): where a free view goes, and how much room
    // the lanes there already take.
    std::pair<double, double> sideSpan(int side, double gap) const {
        const Reach& centre = m_reach.at(0);
        return side > 0 ? std::pair{centre.end + gap, std::max(centre.end + gap, m_end)}
                        : std::pair{std::min(0.0, centre.start - gap), centre.start - gap};
    }

private:
    struct Reach {
        double below = 0.0;
        double above = 0.0;
        bool used = true;
        double start = 0.0;
        double end = 0.0;
    };
    std::map<int, Reach> m_reach;
    double m_end = 0.0;
};

// Where a free view of `size` goes along one axis: centred on the lanes beside the cross's centre lane
// when they are wider, else starting next to the centre lane.
double freeStart(std::pair<double, double> span, double size, int side) {
    const double room = span.second - span.first;
    if (size <= room)
        return span.first + (room - size) / 2;
    return side > 0 ? span.first : span.second - size;
}

// The views at `scale` (layout units per model unit) with `gap` between them.
Layout arrange(const std::vector<SheetView>& views, const std::vector<Box2>& bounds, Projection projection,
               double scale, double gap) {
    Layout layout;
    layout.views.resize(views.size());
    std::vector<std::optional<Cell>> cells(views.size());
    Lanes columns, rows;
    for (std::size_t i = 0; i < views.size(); ++i) {
        layout.views[i].bounds = bounds[i];
        cells[i] = views.size() == 1 ? Cell{0, 0} : principalCell(views[i].name, projection);
        if (cells[i]) {
            columns.add(cells[i]->column, -scale * bounds[i].minX, scale * bounds[i].maxX);
            rows.add(cells[i]->row, -scale * bounds[i].minY, scale * bounds[i].maxY);
        }
    }
    columns.place(gap);
    rows.place(gap);
    const std::pair<int, int> corners[] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    std::size_t corner = 0;
    for (std::size_t i = 0; i < views.size(); ++i) {
        Placement& p = layout.views[i];
        if (cells[i]) {
            p.originX = columns.origin(cells[i]->column);
            p.originY = rows.origin(cells[i]->row);
        } else {
            const auto [sx, sy] = corners[corner++ % 4];
            p.originX = freeStart(columns.sideSpan(sx, gap), scale * p.bounds.width(), sx) - scale * p.bounds.minX;
            p.originY = freeStart(rows.sideSpan(sy, gap), scale * p.bounds.height(), sy) - scale * p.bounds.minY;
        }
        const Box2 box = placedBox(p, scale);
        layout.box = i == 0 ? box
                            : Box2{std::min(layout.box.minX, box.minX), std::min(layout.box.minY, box.minY),
                                   std::max(layout.box.maxX, box.maxX), std::max(layout.box.maxY, box.maxY)};
    }
    return layout;
}

// The room the views get on a page of the given size, left to right and bottom to top.
Box2 viewArea(double widthMm, double heightMm, const SheetOptions& options) {
    const double inset = options.marginMm + (options.title ? kFramePaddingMm : 0.0);
    const double titleStrip = options.title ? kNameRowMm + kInfoRowMm + kFramePaddingMm : 0.0;
    return {inset, inset + titleStrip, widthMm - inset, heightMm - inset};
}

bool fits(const Layout& layout, const Box2& area) {
    return layout.box.width() <= area.width() && layout.box.height() <= area.height();
}

// The largest true scale of the 1, 2, 5 series at which the views fit `area`, if any does, as page mm
// per model unit.
std::optional<double> largestScale(const std::vector<SheetView>& views, const std::vector<Box2>& bounds,
                                   const SheetOptions& options, const Box2& area) {
    if (!(area.width() > 0.0 && area.height() > 0.0))
        return std::nullopt;
    // Gaps only take room, so the views alone bound the scale from above.
    const Layout tight = arrange(views, bounds, options.projection, 1.0, 0.0);
    const double upper = std::min(
        std::min(area.width() / tight.box.width(), area.height() / tight.box.height()) / options.unitMm,
        kLargestScale);
    if (!(upper > 0.0))
        return std::nullopt;
    const std::optional<double> scale = largestSeriesScale(upper, [&](double trueScale) {
        return fits(arrange(views, bounds, options.projection, trueScale * options.unitMm, options.gapMm),
                    area);
    });
    return scale ? std::optional<double>(*scale * options.unitMm) : std::nullopt;
}

// The page size and scale (page mm per model unit): the paper in the orientation that fits (at the given
// scale) or gives the larger scale, ties going to the one shaped like the views; or, without paper, a page
// around the views at the given scale.
struct PageFit {
    double widthMm;
    double heightMm;
    double scale;
};

// The paper's sizes, width first, in the orientations allowed: portrait before landscape.
std::vector<std::pair<double, double>> paperSizes(const SheetOptions& options) {
    std::vector<std::pair<double, double>> sizes;
    const PaperSize paper = *options.paper;
    if (options.orientation != Orientation::Landscape)
        sizes.emplace_back(paper.widthMm, paper.heightMm);
    if (options.orientation != Orientation::Portrait)
        sizes.emplace_back(paper.heightMm, paper.widthMm);
    return sizes;
}

PageFit fitPage(const std::vector<SheetView>& views, const std::vector<Box2>& bounds,
                const SheetOptions& options) {
    // The scale given is true: page mm per model mm.
    const std::optional<double> given =
        options.scale ? std::optional<double>(*options.scale * options.unitMm) : std::nullopt;
    if (!options.paper) {
        const Layout layout = arrange(views, bounds, options.projection, *given, options.gapMm);
        const Box2 margins = viewArea(0.0, 0.0, options);
        const double width = std::max(layout.box.width() + margins.minX - margins.maxX,
                                      options.title ? kTitleWidthMm + 2 * options.marginMm : 0.0);
        return {width, layout.box.height() + margins.minY - margins.maxY, *given};
    }
    const Layout shape = arrange(views, bounds, options.projection, 1.0, 0.0);
    const bool wide = shape.box.width() > shape.box.height();
    std::vector<std::pair<double, double>> sizes = paperSizes(options);
    if (options.orientation == Orientation::Auto && wide)
        std::swap(sizes[0], sizes[1]);
    std::optional<PageFit> best;
    for (const auto& [width, height] : sizes) {
        const Box2 area = viewArea(width, height, options);
        std::optional<double> scale = given;
        if (scale && !fits(arrange(views, bounds, options.projection, *scale, options.gapMm), area))
            scale.reset();
        else if (!scale)
            scale = largestScale(views, bounds, options, area);
        if (scale && (!best || *scale > best->scale))
            best = PageFit{width, height, *scale};
    }
    if (!best)
        throw InputError::ofParameter(options.scale ? "scale" : "paper",
                                      options.scale ? "the views do not fit the paper at " +
                                                          scaleText(*options.scale) +
                                                          ": choose a smaller scale or larger paper"
                                                    : "the views do not fit the paper at any scale down to " +
                                                          scaleText(kSmallestScale) +
                                                          ": choose larger paper or smaller margins and gaps");
    return *best;
}

std::string projectionText(const SheetOptions& options) {
    return options.projection == Projection::Third ? "Third-angle projection" : "First-angle projection";
}

// Shortened with "..." to about what fits `widthMm` at text height `heightMm`.
std::string shortened(const std::string& text, double widthMm, double heightMm) {
    const auto most = static_cast<std::size_t>(widthMm / (heightMm * kLetterWidthPerHeight));
    return text.size() <= most || most < 4 ? text : text.substr(0, most - 3) + "...";
}

// The symbol centred at `centre`: the cone's side view with its narrow end to the left, and its view from
// the left (both ends' circles), which third angle puts left of it and first angle right of it.
void addProjectionSymbol(std::vector<std::vector<PagePoint>>& lines, Projection projection,
                         PagePoint centre) {
    const double narrow = kConeRadiiMm[0], wide = kConeRadiiMm[1];
    const double width = 2 * wide + kSymbolGapMm + kConeLengthMm, left = centre.x - width / 2;
    const bool endViewLeft = projection == Projection::Third;
    const double cone = endViewLeft ? left + 2 * wide + kSymbolGapMm : left;
    const double circle = endViewLeft ? left + wide : left + kConeLengthMm + kSymbolGapMm + wide;
    lines.push_back({{cone, centre.y - narrow},
                     {cone, centre.y + narrow},
                     {cone + kConeLengthMm, centre.y + wide},
                     {cone + kConeLengthMm, centre.y - wide},
                     {cone, centre.y - narrow}});
    constexpr int kCircleSides = 48;
    for (double radius : kConeRadiiMm) {
        std::vector<PagePoint>& ring = lines.emplace_back();
        for (int i = 0; i <= kCircleSides; ++i) {
            const double angle = 2 * 3.141592653589793 * i / kCircleSides;
            ring.push_back({circle + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
        }
    }
}

// `scale`: the true scale, page mm per model mm.
void addTitle(Page& page, const SheetOptions& options, double scale, const std::string& layer) {
    std::vector<std::vector<PagePoint>> lines;
    const double m = options.marginMm, right = page.widthMm - m, top = page.heightMm - m;
    lines.push_back({{m, m}, {right, m}, {right, top}, {m, top}, {m, m}});
    const double left = right - kTitleWidthMm, infoTop = m + kInfoRowMm, nameTop = infoTop + kNameRowMm;
    lines.push_back({{left, m}, {left, nameTop}, {right, nameTop}});
    lines.push_back({{left, infoTop}, {right, infoTop}});
    double x = left;
    const std::string infos[] = {"Scale " + (options.trueScale ? scaleText(scale) : std::string("NTS")),
                                 projectionText(options), options.date};
    for (std::size_t i = 0; i < std::size(infos); ++i) {
        page.texts.push_back({{x + 2.0, m + (kInfoRowMm - kInfoTextMm) / 2}, kInfoTextMm, infos[i], layer});
        x += kInfoCellsMm[i];
        if (i + 1 < std::size(infos))
            lines.push_back({{x, m}, {x, infoTop}});
    }
    page.texts.push_back({{left + 3.0, infoTop + (kNameRowMm - kNameTextMm) / 2},
                          kNameTextMm,
                          shortened(options.modelName, kTitleWidthMm - kSymbolCellMm - 6.0, kNameTextMm),
                          layer});
    lines.push_back({{right - kSymbolCellMm, infoTop}, {right - kSymbolCellMm, nameTop}});
    addProjectionSymbol(lines, options.projection, {right - kSymbolCellMm / 2, infoTop + kNameRowMm / 2});
    page.layers.push_back({layer, "", options.style.title, std::move(lines), {}});
}

bool samePen(const Pen& a, const Pen& b) {
    return a.widthMm == b.widthMm && a.dashMm == b.dashMm && a.color == b.color;
}

// Numbers the layers' pens in drawing order, alike pens alike, and puts the number before each name.
void numberLayers(Page& page) {
    std::vector<const Pen*> pens;
    for (PageLayer& layer : page.layers) {
        auto found = std::find_if(pens.begin(), pens.end(), [&](const Pen* p) { return samePen(*p, layer.pen); });
        if (found == pens.end())
            found = pens.insert(pens.end(), &layer.pen);
        const std::string numbered = std::to_string(found - pens.begin() + 1) + "-" + layer.name;
        for (PageText& text : page.texts)
            if (text.layer == layer.name)
                text.layer = numbered;
        layer.name = numbered;
    }
}

// Takes out the layers that hold no line and no text: after numbering, so that a pen keeps its number
// whatever a drawing holds.
void dropEmptyLayers(Page& page) {
    const auto empty = [&](const PageLayer& layer) {
        return layer.polylines.empty() && layer.curves.empty() &&
               std::none_of(page.texts.begin(), page.texts.end(),
                            [&](const PageText& text) { return text.layer == layer.name; });
    };
    page.layers.erase(std::remove_if(page.layers.begin(), page.layers.end(), empty), page.layers.end());
}

// Lengthens a two-point line by `mm` at each end.
void overshoot(std::vector<PagePoint>& line, double mm) {
    const double dx = line.back().x - line.front().x, dy = line.back().y - line.front().y;
    const double length = std::hypot(dx, dy);
    if (line.size() != 2 || !(length > 0.0))
        return;
    line.front() = {line.front().x - dx / length * mm, line.front().y - dy / length * mm};
    line.back() = {line.back().x + dx / length * mm, line.back().y + dy / length * mm};
}

void addView(Page& page, const SheetView& view, const Placement& placement, double scale,
             const SheetOptions& options, bool named) {
    std::vector<const DrawingCurve*> curves(view.drawing.lines.size(), nullptr);
    for (const DrawingCurve& curve : view.drawing.curves)
        curves.at(curve.line) = &curve;
    // --- CAD assemblies: where the lines' parts are known, each kind has a layer per part ---
    const std::vector<std::string>& parts = view.drawing.partNames;
    for (const Layer& layer : layers())
        for (std::size_t part = 0; part < std::max<std::size_t>(parts.size(), 1); ++part) {
            PageLayer& pageLayer = page.layers.emplace_back();
            pageLayer.name =
                (named ? view.name + "-" : "") + (parts.empty() ? "" : parts[part] + "-") + layer.id;
            pageLayer.view = view.name;
            pageLayer.pen = options.style.penOf(layer.kind);
            for (std::size_t i = 0; i < view.drawing.lines.size(); ++i) {
                const KvHLR::StrokeLine& line = view.drawing.lines[i];
                if (&layerOf(line.kind) != &layer || line.points.empty() ||
                    (!parts.empty() && view.drawing.lineParts[i] != part))
                    continue;
                if (const DrawingCurve* curve = curves[i]) {
                    pageLayer.curves.push_back({{placement.originX + scale * curve->centre.x,
                                                 placement.originY + scale * curve->centre.y},
                                                scale * curve->majorRadius, scale * curve->minorRadius,
                                                curve->rotation, curve->start, curve->end});
                    continue;
                }
                std::vector<PagePoint>& points = pageLayer.polylines.emplace_back();
                points.reserve(line.points.size());
                for (const ON_2dPoint& p : line.points)
                    points.push_back({placement.originX + scale * p.x, placement.originY + scale * p.y});
                if (line.kind == CentreLine)
                    overshoot(points, kCentreOvershootMm);
            }
        }
}

// Section views: the cutting-plane line's thick ends, arrows and letters, and the view's label, in mm.
constexpr double kThickEndMm = 6.0;
constexpr double kArrowMm = 10.0;
constexpr double kArrowHeadMm = 3.0;
constexpr double kLetterMm = 5.0;

void addCuttingPlanes(Page& page, const SheetView& view, const Placement& placement, double scale,
                      const SheetOptions& options, const std::string& prefix) {
    if (view.cuttingPlanes.empty())
        return;
    PageLayer chain{prefix + "cutting-plane", view.name, options.style.cuttingPlane, {}, {}};
    PageLayer ends{prefix + "cutting-plane-ends", view.name, options.style.penOf(SectionOutline), {}, {}};
    const auto onPage = [&](const ON_2dPoint& p) {
        return PagePoint{placement.originX + scale * p.x, placement.originY + scale * p.y};
    };
    const auto moved = [](PagePoint p, double x, double y, double mm) { return PagePoint{p.x + x * mm, p.y + y * mm}; };
    for (const CuttingPlaneLine& line : view.cuttingPlanes) {
        const PagePoint from = onPage(line.from), to = onPage(line.to);
        const double length = std::hypot(to.x - from.x, to.y - from.y);
        const double ux = (to.x - from.x) / length, uy = (to.y - from.y) / length;
        const double sx = line.sight.x, sy = line.sight.y;
        chain.polylines.push_back({from, to});
        for (const auto& [end, inward] : {std::pair{from, 1.0}, std::pair{to, -1.0}}) {
            ends.polylines.push_back({end, moved(end, ux, uy, inward * std::min(kThickEndMm, length / 3))});
            // The arrow's shaft runs from the side taken away to the line's end, its head on the end.
            const PagePoint tail = moved(end, sx, sy, -kArrowMm);
            ends.polylines.push_back({tail, end});
            const PagePoint base = moved(end, sx, sy, -kArrowHeadMm);
            ends.polylines.push_back({moved(base, -sy, sx, kArrowHeadMm / 3), end, moved(base, sy, -sx, kArrowHeadMm / 3)});
            const PagePoint letter = moved(tail, sx, sy, -kLetterMm * 0.4);
            page.texts.push_back({{letter.x - kLetterMm * kLetterWidthPerHeight / 2, letter.y - kLetterMm / 2},
                                  kLetterMm, line.letter, ends.name});
        }
    }
    page.layers.push_back(std::move(chain));
    page.layers.push_back(std::move(ends));
}

// The view's label, centred under it.
void addLabel(Page& page, const SheetView& view, const Placement& placement, double scale,
              const std::string& layer) {
    if (view.label.empty())
        return;
    const Box2 box = placedBox(placement, scale);
    // Counted in letters (an en dash is three bytes of UTF-8, one letter).
    std::size_t letters = 0;
    for (unsigned char c : view.label)
        letters += (c & 0xC0) != 0x80;
    const double width = static_cast<double>(letters) * kLetterMm * kLetterWidthPerHeight;
    page.texts.push_back({{(box.minX + box.maxX - width) / 2, box.minY - 2.5 * kLetterMm}, kLetterMm, view.label, layer});
}

} // namespace

std::optional<std::string> sectionLetter(const std::string& viewName) {
    if (viewName.size() == 9 && viewName.compare(0, 7, "section") == 0 && (viewName[7] == ':' || viewName[7] == '-') &&
        std::isupper(static_cast<unsigned char>(viewName[8])))
        return viewName.substr(8);
    return std::nullopt;
}

void markSection(std::vector<SheetView>& views, const SectionPlane& plane) {
    for (SheetView& section : views) {
        const std::optional<std::string> letter = sectionLetter(section.name);
        if (!letter)
            continue;
        section.label = "SECTION " + *letter + "\u2013" + *letter;
        for (SheetView& other : views)
            if (&other != &section)
                if (auto line = cuttingPlaneLine(plane, other.drawing, *letter))
                    other.cuttingPlanes.push_back(*line);
    }
}

void checkSheetViews(const std::vector<std::string>& views, bool section) {
    for (auto view = views.begin(); view != views.end(); ++view)
        if (std::find(views.begin(), view, *view) != view)
            throw InputError::ofParameter("views", "the view '" + *view + "' is named twice");
    const auto sections = std::count_if(views.begin(), views.end(),
                                        [](const std::string& view) { return sectionLetter(view).has_value(); });
    if (!section && sections > 0)
        throw InputError::ofParameter("views", "a section view needs its plane, and no section is given");
    if (section && !views.empty() && sections != 1)
        throw InputError::ofParameter("views", "name the section's view once among the views, as section:A");
}

void checkSheetScale(const SheetOptions& options) {
    if (options.scale && !options.trueScale)
        throw InputError::ofParameter("scale", "a perspective has no scale; leave out the scale or the perspective");
}

void checkJsonDrawing(std::size_t viewCount, const SheetOptions& options) {
    if (viewCount > 1 || options.paper || options.scale)
        throw InputError::ofParameter("output", "a JSON drawing holds one view and no page: write .svg, .dxf or "
                                                ".pdf for several views, a paper or a scale");
}

std::vector<IdleOption> idleOptions(const SheetOptions& options, const RunShape& run) {
    const bool sheet = options.paper || options.scale, several = run.viewCount > 1;
    const char* const noPens = "a JSON drawing has no pens";
    const char* const cadOnly = "it acts on STEP and IGES files";
    const char* const ownEdges = "STEP and IGES parts are drawn with their own edges";
    const std::pair<bool, IdleOption> all[] = {
        {!(sheet && several), {"gap", "it spaces the views of a sheet (a paper or a scale)"}},
        {!sheet, {"margin", "only a sheet (a paper or a scale) has margins"}},
        {!sheet, {"title", "only a sheet (a paper or a scale) has a title block"}},
        {!sheet, {"units", "they make a sheet's scale (a paper or a scale) true"}},
        {!options.paper, {"orientation", "it turns the paper"}},
        {!several && !(sheet && options.title),
         {"projection", "it arranges the views, and names the method in a sheet's title block"}},
        {run.json, {"style", noPens}},
        {run.json, {"line", noPens}},
        {run.json, {"dashes", noPens}},
        {run.json, {"fit_arcs", "it fits arcs on a page (SVG, DXF, PDF)"}},
        {!run.section, {"hatch_spacing", "it spaces a section's hatching"}},
        {!run.section, {"hatch_angle", "it turns a section's hatching"}},
        {!run.cadInputs, {"deflection", cadOnly}},
        {!run.cadInputs, {"angular_deflection", cadOnly}},
        {!run.cadInputs, {"cad_memory_limit", cadOnly}},
        {!run.cadInputs, {"cad_time_limit", cadOnly}},
        {!run.cadInputs, {"tangent_edges", cadOnly}},
        {!run.meshInputs, {"sharp_angle", ownEdges}},
        {!run.meshInputs, {"bodies", ownEdges}},
        {!run.meshInputs, {"separate_faces", ownEdges}},
    };
    std::vector<IdleOption> idle;
    for (const auto& [unused, option] : all)
        if (unused)
            idle.push_back(option);
    return idle;
}

void checkPaperRoom(const SheetOptions& options) {
    if (!options.paper)
        return;
    for (const auto& [width, height] : paperSizes(options)) {
        const Box2 area = viewArea(width, height, options);
        if (area.width() > 0.0 && area.height() > 0.0)
            return;
    }
    throw InputError::ofParameter("margin", "the margins" + std::string(options.title ? ", frame and title block" : "") +
                                     " leave no room for views on the paper: choose smaller margins or larger paper");
}

Page layoutSheet(const std::vector<SheetView>& views, const SheetOptions& options) {
    if (views.empty())
        throw std::invalid_argument("a sheet needs at least one view");
    std::vector<Box2> bounds;
    double largest = 0.0;
    for (const SheetView& view : views) {
        bounds.push_back(drawingBounds(view.drawing));
        largest = std::max({largest, bounds.back().width(), bounds.back().height()});
    }
    Page page;
    double scale = 0.0;
    Layout layout;
    const bool fitted = !options.paper && !options.scale;
    if (fitted) {
        // Laid out in model units, then the whole scaled to the fitted page.
        layout = arrange(views, bounds, options.projection, 1.0, kFitGap * largest);
        const double margin = kFitMargin * std::max(layout.box.width(), layout.box.height());
        const double width = layout.box.width() + 2 * margin, height = layout.box.height() + 2 * margin;
        scale = kFitPageMm / std::max(width, height);
        page.widthMm = width * scale;
        page.heightMm = height * scale;
        for (Placement& p : layout.views) {
            p.originX = (p.originX - layout.box.minX + margin) * scale;
            p.originY = (p.originY - layout.box.minY + margin) * scale;
        }
    } else {
        const PageFit fit = fitPage(views, bounds, options);
        page.widthMm = fit.widthMm;
        page.heightMm = fit.heightMm;
        scale = fit.scale;
        layout = arrange(views, bounds, options.projection, scale, options.gapMm);
        // Centred in the room the frame and title block leave.
        const Box2 area = viewArea(page.widthMm, page.heightMm, options);
        const double dx = area.minX + (area.width() - layout.box.width()) / 2 - layout.box.minX;
        const double dy = area.minY + (area.height() - layout.box.height()) / 2 - layout.box.minY;
        for (Placement& p : layout.views) {
            p.originX += dx;
            p.originY += dy;
        }
    }
    for (std::size_t i = 0; i < views.size(); ++i) {
        addView(page, views[i], layout.views[i], scale, options, views.size() > 1);
        const std::string prefix = views.size() > 1 ? views[i].name + "-" : "";
        addCuttingPlanes(page, views[i], layout.views[i], scale, options, prefix);
        addLabel(page, views[i], layout.views[i], scale, prefix + layerOf(SectionOutline).id);
    }
    if (!fitted && options.title)
        addTitle(page, options, scale / options.unitMm, "title");
    numberLayers(page);
    dropEmptyLayers(page);
    return page;
}

} // namespace kvhlr
