#pragma once

// A page of a drawing sheet as the vector writers see it: paper of a real size, and every line placed
// on it in millimetres, with the pen that draws it. Sheets are laid out into pages (views placed at a
// scale, a title block); SVG, DXF and PDF writers turn pages into files. Coordinates run from the
// page's lower left corner, x to the right and y up.

#include "kit/EllipseArc.h"

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace kvhlr {

struct PagePoint {
    double x = 0.0; // mm
    double y = 0.0; // mm
};

// How a layer's lines are drawn.
struct Pen {
    double widthMm = 0.35;
    std::vector<double> dashMm; // on, off, on, off ...; empty: solid
    std::string color = "#000000";
};

// A circle or ellipse, or an arc of one, in millimetres: its point at angle t is centre + majorMm
// (cos t, 0) + minorMm (0, sin t), turned by `rotation` (radians, counter-clockwise from x), for t from
// `start` to `end` (end above start by at most a whole turn).
struct PageCurve {
    PagePoint centre;
    double majorMm = 0.0;
    double minorMm = 0.0;
    double rotation = 0.0;
    double start = 0.0;
    double end = 0.0;

    PagePoint at(double t) const {
        const EllipsePoint p = ellipsePoint(centre.x, centre.y, majorMm, minorMm, rotation, t);
        return {p.x, p.y};
    }
    bool closed() const { return wholeTurn(start, end); }
    bool circular() const { return majorMm - minorMm <= 1e-9 * majorMm; }
};

// One layer of the page: a kind of line of one view (or the title block), drawn with one pen. Plotter
// software picks layers by the leading number of their names, so names start with one ("1-visible").
struct PageLayer {
    std::string name;
    std::string view; // the view it belongs to ("front", "iso", ...), empty for the title block
    Pen pen;
    std::vector<std::vector<PagePoint>> polylines; // in the order a plotter should draw them
    std::vector<PageCurve> curves;                 // drawn after the polylines
    std::string part{}; // the part whose lines it holds, where the drawing knows the lines' parts
    // With provenance, one per polyline: the model edges it runs along (modelEdgesText), "" for none;
    // empty without. Whatever reorders, cuts or adds polylines keeps it in step; curveEdges likewise for
    // the curves.
    std::vector<std::string> edges{};
    std::vector<std::string> curveEdges{};
};

// Text on the page (the title block): the baseline's start, its height, in the layer's pen.
struct PageText {
    PagePoint at;
    double heightMm = 3.5;
    std::string text;
    std::string layer;
};

struct Page {
    double widthMm = 210.0;
    double heightMm = 297.0;
    std::vector<PageLayer> layers; // drawn in this order
    std::vector<PageText> texts;
};

inline std::size_t lineCount(const Page& page) {
    std::size_t lines = 0;
    for (const PageLayer& layer : page.layers)
        lines += layer.polylines.size() + layer.curves.size();
    return lines;
}

// The progress of a long step on a page or a drawing's lines (cutting dashes, plotter order, writing):
// the share of its `total` items done, told to `report` (if any) every few thousand items, a few
// milliseconds apart. `report` may throw to stop the step (a cancel); what the step worked on is then
// unfinished, and the caller drops it.
class StepProgress {
public:
    StepProgress(std::size_t total, std::function<void(double)> report) : m_total(total), m_report(std::move(report)) {}

    void done(std::size_t items) {
        m_done += items;
        if (m_done - m_told >= 4096)
            tellAgain();
    }

    // Tells the share done again, also for work that goes on without items (a PDF page's compression).
    void tellAgain() {
        m_told = m_done;
        if (m_report)
            m_report(m_total > 0 ? static_cast<double>(m_done) / static_cast<double>(m_total) : 1.0);
    }

private:
    std::size_t m_total;
    std::function<void(double)> m_report;
    std::size_t m_done = 0;
    std::size_t m_told = 0;
};

} // namespace kvhlr
