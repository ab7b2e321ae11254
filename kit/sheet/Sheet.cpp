#include "kit/sheet/Sheet.h"

#include "kit/InputError.h"
#include "kit/drawing/Curves.h"
#include "kit/drawing/Geometry.h"

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

// The title block: the model's name in a row of its own over a row of scale, projection and date, as
// wide as its texts need, so that it fits small drawings, and at most 120 mm.
constexpr double kNameRowMm = 10.0;
constexpr double kInfoRowMm = 7.0;
constexpr double kNameTextMm = 5.0;
constexpr double kInfoTextMm = 2.5;
constexpr double kNamePaddingMm = 3.0; // before and after the name
constexpr double kInfoPaddingMm = 2.0; // before and after each text of the lower row
// Scale, projection and date: the most each cell takes ("Scale 1:1000000000"), longer texts shortened.
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

// The place of a section's view in the projection: that of the principal view that looks as it does,
// or, where a view stands there, the next free place outwards in line with it: in the front view's row
// for a sight across the model (heights in line with the front view), in its column for one from above
// or below. Nothing for a sight no principal view has.
std::optional<Cell> sectionCell(const std::string& sight, const std::vector<std::optional<Cell>>& taken,
                                Projection projection) {
    const std::optional<Cell> own = principalCell(sight, projection);
    if (!own)
        return std::nullopt;
    const auto isTaken = [&](const Cell& cell) {
        return std::any_of(taken.begin(), taken.end(), [&](const std::optional<Cell>& other) {
            return other && other->column == cell.column && other->row == cell.row;
        });
    };
    const bool across = own->row == 0;
    Cell cell = *own;
    while (isTaken(cell)) {
        cell.column += across ? (own->column < 0 ? -1 : 1) : 0;
        cell.row += across ? 0 : (own->row < 0 ? -1 : 1);
    }
    return cell;
}

// Section views: the cutting-plane line's thick ends, its reach beyond its view's drawing (the ends
// stay a millimetre clear of centre lines, which reach past the drawing too), arrows and letters, and
// the view's label, in mm on the page.
constexpr double kThickEndMm = 6.0;
constexpr double kPlaneReachMm = kThickEndMm + kCentreOvershootMm + 1.0;
constexpr double kArrowMm = 10.0;
constexpr double kArrowHeadMm = 3.0;
constexpr double kLetterMm = 5.0;
constexpr double kLetterGapMm = 1.5; // between an arrow's tail and its letter
constexpr double kLabelGapMm = 4.0;  // between a view and its label
// Capitals of a sans-serif font are at most about as wide as they are high: the room a label takes.
constexpr double kCapitalWidthPerHeight = 1.0;

// What a view carries beside its drawing, on the page.
struct Annotations {
    std::vector<std::vector<PagePoint>> chain; // the cutting-plane lines, thin
    std::vector<std::vector<PagePoint>> ends;  // their thick ends and arrows
    std::vector<PageText> letters;             // the planes' letters, in the ends' layer
    std::optional<PageText> label;
};

double capitalsWidth(const std::string& text, double heightMm) {
    // Counted in letters (an en dash is three bytes of UTF-8, one letter).
    std::size_t letters = 0;
    for (unsigned char c : text)
        letters += (c & 0xC0) != 0x80;
    return static_cast<double>(letters) * heightMm * kCapitalWidthPerHeight;
}

// The view's marks and label where the view is placed: each plane's line from `kPlaneReachMm` beyond
// the drawing on one side to as far on the other, thick at its ends, an arrow at each end looking along
// the sight from the side taken away, the letter beyond the arrow's tail; the label centred under the view.
Annotations annotationsOf(const SheetView& view, const Placement& placement, double scale) {
    Annotations notes;
    const auto onPage = [&](const ON_2dPoint& p) {
        return PagePoint{placement.originX + scale * p.x, placement.originY + scale * p.y};
    };
    const auto moved = [](PagePoint p, double x, double y, double mm) { return PagePoint{p.x + x * mm, p.y + y * mm}; };
    for (const CuttingPlaneLine& line : view.cuttingPlanes) {
        const PagePoint from = onPage(line.from), to = onPage(line.to);
        const double length = std::hypot(to.x - from.x, to.y - from.y);
        if (!(length > 0.0))
            continue;
        const double ux = (to.x - from.x) / length, uy = (to.y - from.y) / length;
        const double sx = line.sight.x, sy = line.sight.y;
        const PagePoint first = moved(from, ux, uy, -kPlaneReachMm), last = moved(to, ux, uy, kPlaneReachMm);
        notes.chain.push_back({first, last});
        for (const auto& [end, inward] : {std::pair{first, 1.0}, std::pair{last, -1.0}}) {
            notes.ends.push_back({end, moved(end, ux, uy, inward * kThickEndMm)});
            // The arrow's shaft runs from the side taken away to the line's end, its head on the end.
            const PagePoint tail = moved(end, sx, sy, -kArrowMm);
            notes.ends.push_back({tail, end});
            const PagePoint base = moved(end, sx, sy, -kArrowHeadMm);
            notes.ends.push_back({moved(base, -sy, sx, kArrowHeadMm / 3), end, moved(base, sy, -sx, kArrowHeadMm / 3)});
            const double width = capitalsWidth(line.letter, kLetterMm);
            const PagePoint centre = moved(
                tail, sx, sy, -(kLetterGapMm + std::fabs(sx) * width / 2 + std::fabs(sy) * kLetterMm / 2));
            notes.letters.push_back({{centre.x - width / 2, centre.y - kLetterMm / 2}, kLetterMm, line.letter, ""});
        }
    }
    if (!view.label.empty()) {
        const Box2 box = placedBox(placement, scale);
        const double width = capitalsWidth(view.label, kLetterMm);
        notes.label = PageText{{(box.minX + box.maxX - width) / 2, box.minY - kLabelGapMm - kLetterMm},
                               kLetterMm, view.label, ""};
    }
    return notes;
}

// The page box of a text set in capitals: from its baseline's start, as high as its capitals.
Box2 textBox(const PageText& text) {
    return {text.at.x, text.at.y, text.at.x + capitalsWidth(text.text, text.heightMm), text.at.y + text.heightMm};
}

Box2 merged(const Box2& a, const Box2& b) {
    return {std::min(a.minX, b.minX), std::min(a.minY, b.minY), std::max(a.maxX, b.maxX), std::max(a.maxY, b.maxY)};
}

// The room a placed view takes on the page: its drawing, marks and label.
Box2 roomOf(const SheetView& view, const Placement& placement, double scale) {
    const Annotations notes = annotationsOf(view, placement, scale);
    Box2 room = placedBox(placement, scale);
    for (const auto* lines : {&notes.chain, &notes.ends})
        for (const std::vector<PagePoint>& line : *lines)
            for (const PagePoint& p : line)
                room = merged(room, {p.x, p.y, p.x, p.y});
    for (const PageText& letter : notes.letters)
        room = merged(room, textBox(letter));
    if (notes.label)
        room = merged(room, textBox(*notes.label));
    return room;
}

// How views are arranged: the projection method, the gap between them, whether their marks and labels
// take room (false: the drawings alone, in any units), and whether a section's view goes into the
// projection or a free corner.
struct Rules {
    Projection projection;
    double gap;
    bool annotated;
    bool sectionInProjection;
};

// The views at `scale` (layout units per model unit; page mm where annotated).
Layout arrange(const std::vector<SheetView>& views, const std::vector<Box2>& bounds, const Rules& rules,
               double scale) {
    Layout layout;
    layout.views.resize(views.size());
    std::vector<Box2> rooms(views.size()); // about each view's origin
    std::vector<std::optional<Cell>> cells(views.size());
    for (std::size_t i = 0; i < views.size(); ++i) {
        layout.views[i].bounds = bounds[i];
        rooms[i] = rules.annotated ? roomOf(views[i], layout.views[i], scale) : placedBox(layout.views[i], scale);
        cells[i] = views.size() == 1 ? Cell{0, 0} : principalCell(views[i].name, rules.projection);
    }
    if (rules.sectionInProjection && views.size() > 1)
        for (std::size_t i = 0; i < views.size(); ++i)
            if (!views[i].sameSightAs.empty())
                cells[i] = sectionCell(views[i].sameSightAs, cells, rules.projection);
    Lanes columns, rows;
    for (std::size_t i = 0; i < views.size(); ++i)
        if (cells[i]) {
            columns.add(cells[i]->column, -rooms[i].minX, rooms[i].maxX);
            rows.add(cells[i]->row, -rooms[i].minY, rooms[i].maxY);
        }
    columns.place(rules.gap);
    rows.place(rules.gap);
    const std::pair<int, int> corners[] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    std::size_t corner = 0;
    for (std::size_t i = 0; i < views.size(); ++i) {
        Placement& p = layout.views[i];
        if (cells[i]) {
            p.originX = columns.origin(cells[i]->column);
            p.originY = rows.origin(cells[i]->row);
        } else {
            const auto [sx, sy] = corners[corner++ % 4];
            p.originX = freeStart(columns.sideSpan(sx, rules.gap), rooms[i].width(), sx) - rooms[i].minX;
            p.originY = freeStart(rows.sideSpan(sy, rules.gap), rooms[i].height(), sy) - rooms[i].minY;
        }
        const Box2 room{p.originX + rooms[i].minX, p.originY + rooms[i].minY, p.originX + rooms[i].maxX,
                        p.originY + rooms[i].maxY};
        layout.box = i == 0 ? room : merged(layout.box, room);
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

double textWidth(const std::string& text, double heightMm) {
    return static_cast<double>(text.size()) * heightMm * kLetterWidthPerHeight;
}

// The title block's texts, its lower row's cells and its width: each cell as wide as its text, the
// date's taking what the name row needs beyond them.
struct TitleBlock {
    std::string infos[3]; // scale, projection, date
    double cells[3];
    std::string name;
    double width;
};

// `scale`: the true scale, page mm per model mm.
TitleBlock titleBlock(const SheetOptions& options, double scale) {
    TitleBlock block{{"Scale " + (options.trueScale ? scaleText(scale) : std::string("NTS")),
                      projectionText(options), options.date},
                     {},
                     "",
                     0.0};
    double infoWidth = 0.0;
    for (std::size_t i = 0; i < std::size(block.infos); ++i) {
        block.infos[i] = shortened(block.infos[i], kInfoCellsMm[i] - 2 * kInfoPaddingMm, kInfoTextMm);
        block.cells[i] = std::min(textWidth(block.infos[i], kInfoTextMm) + 2 * kInfoPaddingMm, kInfoCellsMm[i]);
        infoWidth += block.cells[i];
    }
    const double mostWidth = kInfoCellsMm[0] + kInfoCellsMm[1] + kInfoCellsMm[2];
    block.name = shortened(options.modelName, mostWidth - kSymbolCellMm - 2 * kNamePaddingMm, kNameTextMm);
    const double nameWidth = textWidth(block.name, kNameTextMm) + 2 * kNamePaddingMm + kSymbolCellMm;
    block.width = std::min(std::max(infoWidth, nameWidth), mostWidth);
    block.cells[2] += block.width - infoWidth;
    return block;
}

// The rules of a sheet's layout: annotated, at the options' gap; or its views alone, without gaps.
Rules rulesOf(const SheetOptions& options, bool annotated, bool sectionInProjection) {
    return {options.projection, annotated ? options.gapMm : 0.0, annotated, sectionInProjection};
}

// The largest true scale of the 1, 2, 5 series at which the views fit `area`, if any does, as page mm
// per model unit.
std::optional<double> largestScale(const std::vector<SheetView>& views, const std::vector<Box2>& bounds,
                                   const SheetOptions& options, bool sectionInProjection, const Box2& area) {
    if (!(area.width() > 0.0 && area.height() > 0.0))
        return std::nullopt;
    // Gaps, marks and labels only take room, so the views alone bound the scale from above.
    const Layout tight = arrange(views, bounds, rulesOf(options, false, sectionInProjection), 1.0);
    const double upper = std::min(
        std::min(area.width() / tight.box.width(), area.height() / tight.box.height()) / options.unitMm,
        kLargestScale);
    if (!(upper > 0.0))
        return std::nullopt;
    const std::optional<double> scale = largestSeriesScale(upper, [&](double trueScale) {
        return fits(arrange(views, bounds, rulesOf(options, true, sectionInProjection), trueScale * options.unitMm),
                    area);
    });
    return scale ? std::optional<double>(*scale * options.unitMm) : std::nullopt;
}

// The page size and scale (page mm per model unit): the paper in the orientation that fits (at the given
// scale) or gives the larger scale, ties going to the one shaped like the views; or, without paper, a page
// around the views at the given scale. A section's view goes into the projection where that fits at the
// scale.
struct PageFit {
    double widthMm;
    double heightMm;
    double scale;
    bool sectionInProjection;
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

std::optional<PageFit> fitPaper(const std::vector<SheetView>& views, const std::vector<Box2>& bounds,
                                const SheetOptions& options, bool sectionInProjection) {
    // The scale given is true: page mm per model mm.
    const std::optional<double> given =
        options.scale ? std::optional<double>(*options.scale * options.unitMm) : std::nullopt;
    const Layout shape = arrange(views, bounds, rulesOf(options, false, sectionInProjection), 1.0);
    const bool wide = shape.box.width() > shape.box.height();
    std::vector<std::pair<double, double>> sizes = paperSizes(options);
    if (options.orientation == Orientation::Auto && wide)
        std::swap(sizes[0], sizes[1]);
    std::optional<PageFit> best;
    for (const auto& [width, height] : sizes) {
        const Box2 area = viewArea(width, height, options);
        std::optional<double> scale = given;
        if (scale && !fits(arrange(views, bounds, rulesOf(options, true, sectionInProjection), *scale), area))
            scale.reset();
        else if (!scale)
            scale = largestScale(views, bounds, options, sectionInProjection, area);
        if (scale && (!best || *scale > best->scale))
            best = PageFit{width, height, *scale, sectionInProjection};
    }
    return best;
}

PageFit fitPage(const std::vector<SheetView>& views, const std::vector<Box2>& bounds,
                const SheetOptions& options) {
    if (!options.paper) {
        const double scale = *options.scale * options.unitMm;
        const Layout layout = arrange(views, bounds, rulesOf(options, true, true), scale);
        const Box2 margins = viewArea(0.0, 0.0, options);
        const double width = std::max(layout.box.width() + margins.minX - margins.maxX,
                                      options.title ? titleBlock(options, *options.scale).width + 2 * options.marginMm : 0.0);
        return {width, layout.box.height() + margins.minY - margins.maxY, scale, true};
    }
    // The section's view in the projection unless only a free corner leaves room at the scale.
    std::optional<PageFit> best;
    for (const bool sectionInProjection : {true, false}) {
        const std::optional<PageFit> fit = fitPaper(views, bounds, options, sectionInProjection);
        if (fit && (!best || fit->scale > best->scale))
            best = fit;
    }
    if (best)
        return *best;
    throw InputError::ofParameter(options.scale ? "scale" : "paper",
                                  options.scale ? "the views do not fit the paper at " + scaleText(*options.scale) +
                                                      ": choose a smaller scale or larger paper"
                                                : "the views do not fit the paper at any scale down to " +
                                                      scaleText(kSmallestScale) +
                                                      ": choose larger paper or smaller margins and gaps");
}

void addTitle(Page& page, const SheetOptions& options, double scale, const std::string& layer) {
    std::vector<std::vector<PagePoint>> lines;
    const double m = options.marginMm, right = page.widthMm - m, top = page.heightMm - m;
    lines.push_back({{m, m}, {right, m}, {right, top}, {m, top}, {m, m}});
    const TitleBlock block = titleBlock(options, scale);
    const double left = right - block.width, infoTop = m + kInfoRowMm, nameTop = infoTop + kNameRowMm;
    lines.push_back({{left, m}, {left, nameTop}, {right, nameTop}});
    lines.push_back({{left, infoTop}, {right, infoTop}});
    double x = left;
    for (std::size_t i = 0; i < std::size(block.infos); ++i) {
        page.texts.push_back({{x + kInfoPaddingMm, m + (kInfoRowMm - kInfoTextMm) / 2}, kInfoTextMm, block.infos[i], layer});
        x += block.cells[i];
        if (i + 1 < std::size(block.infos))
            lines.push_back({{x, m}, {x, infoTop}});
    }
    page.texts.push_back({{left + kNamePaddingMm, infoTop + (kNameRowMm - kNameTextMm) / 2}, kNameTextMm, block.name, layer});
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
            pageLayer.pen = options.style.penOf(layer);
            if (!parts.empty())
                pageLayer.part = parts[part];
            for (std::size_t i = 0; i < view.drawing.lines.size(); ++i) {
                const KvHLR::StrokeLine& line = view.drawing.lines[i];
                if (&layerOf(line) != &layer || line.points.empty() ||
                    (!parts.empty() && view.drawing.lineParts[i] != part))
                    continue;
                if (const DrawingCurve* curve = curves[i]) {
                    pageLayer.curves.push_back({{placement.originX + scale * curve->centre.x,
                                                 placement.originY + scale * curve->centre.y},
                                                scale * curve->majorRadius, scale * curve->minorRadius,
                                                curve->rotation, curve->start, curve->end});
                    if (view.drawing.provenance)
                        pageLayer.curveEdges.push_back(modelEdgesText(line, view.drawing.brepEdges));
                    continue;
                }
                if (view.drawing.provenance)
                    pageLayer.edges.push_back(modelEdgesText(line, view.drawing.brepEdges));
                std::vector<PagePoint>& points = pageLayer.polylines.emplace_back();
                points.reserve(line.points.size());
                for (const ON_2dPoint& p : line.points)
                    points.push_back({placement.originX + scale * p.x, placement.originY + scale * p.y});
                if (line.kind == CentreLine)
                    overshoot(points, kCentreOvershootMm);
            }
        }
}

// The view's marks and label, in layers of their own.
void addAnnotations(Page& page, const SheetView& view, const Placement& placement, double scale,
                    const SheetOptions& options, const std::string& prefix) {
    Annotations notes = annotationsOf(view, placement, scale);
    PageLayer chain{prefix + "cutting-plane", view.name, options.style.cuttingPlane, std::move(notes.chain), {}};
    PageLayer ends{prefix + "cutting-plane-ends", view.name, options.style.penOf(SectionOutline), std::move(notes.ends),
                   {}};
    for (PageText& letter : notes.letters) {
        letter.layer = ends.name;
        page.texts.push_back(std::move(letter));
    }
    if (notes.label) {
        notes.label->layer = prefix + layerOf(SectionOutline).id;
        page.texts.push_back(std::move(*notes.label));
    }
    // Views without a plane get no such layers, so that the pens' numbers stay as without sections.
    if (view.cuttingPlanes.empty())
        return;
    page.layers.push_back(std::move(chain));
    page.layers.push_back(std::move(ends));
}

} // namespace

std::optional<std::string> sectionLetter(const std::string& viewName) {
    if (viewName.size() == 9 && viewName.compare(0, 7, "section") == 0 && (viewName[7] == ':' || viewName[7] == '-') &&
        std::isupper(static_cast<unsigned char>(viewName[8])))
        return viewName.substr(8);
    return std::nullopt;
}

void markSection(std::vector<SheetView>& views, const SectionPlane& plane, UpAxis upAxis) {
    for (SheetView& section : views) {
        const std::optional<std::string> letter = sectionLetter(section.name);
        if (!letter)
            continue;
        section.label = "SECTION " + *letter + "\u2013" + *letter;
        const ViewDirection sight = sectionViewDirection(plane, upAxis);
        for (const std::string& name : namedViews()) {
            const ViewDirection named = namedViewDirection(name, upAxis);
            if (dot(unit(named.towardEye), unit(sight.towardEye)) > 1.0 - 1e-12 &&
                dot(unit(named.up), unit(sight.up)) > 1.0 - 1e-12)
                section.sameSightAs = name;
        }
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
        // The views alone, laid out in model units, give the scale; their marks and labels, of a size in
        // mm, then take room of their own, and the scale shrinks until the page's longer side is
        // kFitPageMm again (a few rounds: marks and labels are small beside the page).
        const Layout plain = arrange(views, bounds, {options.projection, kFitGap * largest, false, true}, 1.0);
        const auto longerSide = [](const Layout& l) {
            return (1.0 + 2 * kFitMargin) * std::max(l.box.width(), l.box.height());
        };
        scale = kFitPageMm / longerSide(plain);
        constexpr int kRounds = 16;
        for (int round = 0; round < kRounds; ++round) {
            layout = arrange(views, bounds, {options.projection, kFitGap * largest * scale, true, true}, scale);
            const double next = scale * kFitPageMm / longerSide(layout);
            if (std::fabs(next - scale) <= 1e-12 * scale || round + 1 == kRounds)
                break;
            scale = next;
        }
        const double margin = kFitMargin * std::max(layout.box.width(), layout.box.height());
        page.widthMm = layout.box.width() + 2 * margin;
        page.heightMm = layout.box.height() + 2 * margin;
        for (Placement& p : layout.views) {
            p.originX += margin - layout.box.minX;
            p.originY += margin - layout.box.minY;
        }
    } else {
        const PageFit fit = fitPage(views, bounds, options);
        page.widthMm = fit.widthMm;
        page.heightMm = fit.heightMm;
        scale = fit.scale;
        layout = arrange(views, bounds, rulesOf(options, true, fit.sectionInProjection), scale);
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
        addAnnotations(page, views[i], layout.views[i], scale, options, prefix);
    }
    if (!fitted && options.title)
        addTitle(page, options, scale / options.unitMm, "title");
    numberLayers(page);
    dropEmptyLayers(page);
    return page;
}

} // namespace kvhlr
