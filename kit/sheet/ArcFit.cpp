#include "kit/sheet/ArcFit.h"

#include "kit/InputError.h"
#include "kit/drawing/Curves.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <string>

namespace kvhlr {
namespace {

constexpr double kTurn = 2.0 * M_PI;
// A stretch has at least this many pieces, each turning by at most kMostStep about the centre: fewer
// would make arcs of corners.
constexpr std::size_t kFewestPieces = 4;
constexpr double kMostStep = M_PI / 4.0;

struct Circle {
    PagePoint centre;
    double radius;
};

std::optional<Circle> circleThrough(const PagePoint& a, const PagePoint& b, const PagePoint& c) {
    const double bx = b.x - a.x, by = b.y - a.y, cx = c.x - a.x, cy = c.y - a.y;
    const double d = 2.0 * (bx * cy - by * cx);
    const double bb = bx * bx + by * by, cc = cx * cx + cy * cy;
    if (!(std::fabs(d) > 1e-12 * (bb + cc)))
        return std::nullopt;
    const double ux = (cy * bb - by * cc) / d, uy = (bx * cc - cx * bb) / d;
    return Circle{{a.x + ux, a.y + uy}, std::hypot(ux, uy)};
}

double off(const Circle& circle, const PagePoint& p) {
    return std::fabs(std::hypot(p.x - circle.centre.x, p.y - circle.centre.y) - circle.radius);
}

double angleOf(const Circle& circle, const PagePoint& p) {
    return std::atan2(p.y - circle.centre.y, p.x - circle.centre.x);
}

// The circle that points first to last follow within the tolerance, the ends and middles of all pieces
// on it, each piece turning the same way by at most kMostStep, the whole bending more than a straight
// line within the tolerance would; and the angle turned.
std::optional<std::pair<Circle, double>> fittedCircle(const std::vector<PagePoint>& p, std::size_t first,
                                                      std::size_t last, double tolerance) {
    if (last - first < kFewestPieces)
        return std::nullopt;
    const std::size_t third = (last - first) / 3;
    const std::optional<Circle> circle = circleThrough(p[first], p[first + third], p[first + 2 * third]);
    if (!circle || circle->radius > 1e6 * tolerance)
        return std::nullopt;
    double turned = 0.0;
    for (std::size_t k = first; k < last; ++k) {
        const PagePoint middle{(p[k].x + p[k + 1].x) / 2, (p[k].y + p[k + 1].y) / 2};
        if (off(*circle, p[k]) > tolerance || off(*circle, middle) > tolerance)
            return std::nullopt;
        double step = angleOf(*circle, p[k + 1]) - angleOf(*circle, p[k]);
        step -= kTurn * std::round(step / kTurn);
        if (step == 0.0 || std::fabs(step) > kMostStep || (turned != 0.0 && (step > 0.0) != (turned > 0.0)))
            return std::nullopt;
        turned += step;
    }
    if (off(*circle, p[last]) > tolerance || std::fabs(turned) > kTurn + 1e-9 ||
        circle->radius * (1.0 - std::cos(std::min(std::fabs(turned), M_PI) / 2)) <= tolerance)
        return std::nullopt;
    return std::make_pair(*circle, turned);
}

void addCentreMark(PageLayer& layer, const PageCurve& circle) {
    const double reach = circle.majorMm + kCentreOvershootMm;
    const PagePoint& c = circle.centre;
    layer.polylines.push_back({{c.x - reach, c.y}, {c.x + reach, c.y}});
    layer.polylines.push_back({{c.x, c.y - reach}, {c.x, c.y + reach}});
    if (!layer.edges.empty())
        layer.edges.resize(layer.polylines.size());
}

// The layer of the view's centre lines, added after the view's last layer where it has none: named as
// its other layers are, numbered as the layers of that pen are (or with the next number).
PageLayer& centreLayer(Page& page, const std::string& view, const Pen& pen) {
    const std::string id = layerOf(CentreLine).id;
    const auto endsWith = [](const std::string& name, const std::string& end) {
        return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
    };
    const auto numberOf = [](const PageLayer& layer) { return std::strtoul(layer.name.c_str(), nullptr, 10); };
    std::size_t last = 0;
    unsigned long most = 0, same = 0;
    std::string prefix;
    for (std::size_t i = 0; i < page.layers.size(); ++i) {
        const PageLayer& layer = page.layers[i];
        most = std::max(most, numberOf(layer));
        if (layer.pen.widthMm == pen.widthMm && layer.pen.dashMm == pen.dashMm && layer.pen.color == pen.color)
            same = numberOf(layer);
        const std::size_t dash = layer.name.find('-');
        if (layer.view != view || dash == std::string::npos)
            continue;
        if (endsWith(layer.name, "-" + id))
            return page.layers[i];
        last = i;
        for (const Layer& kind : layers())
            if (endsWith(layer.name, kind.id))
                prefix = layer.name.substr(dash + 1, layer.name.size() - std::string(kind.id).size() - dash - 1);
    }
    PageLayer layer{std::to_string(same > 0 ? same : most + 1) + "-" + prefix + id, view, pen, {}, {}};
    return *page.layers.insert(page.layers.begin() + static_cast<std::ptrdiff_t>(last) + 1, std::move(layer));
}

// A layer of a view's model lines (not its hatching or centre lines, nor a cutting plane's or the title
// block's lines): named after its kind.
bool ofModelLines(const PageLayer& layer) {
    return std::any_of(layers().begin(), layers().end(), [&](const Layer& kind) {
        const std::string end = std::string("-") + kind.id;
        return kind.kind != Hatching && kind.kind != CentreLine && layer.name.size() > end.size() &&
               layer.name.compare(layer.name.size() - end.size(), end.size(), end) == 0;
    });
}

} // namespace

FittedPolyline fitArcs(const std::vector<PagePoint>& p, double tolerance) {
    FittedPolyline fitted;
    std::size_t done = 0; // the polyline up to here is taken
    const auto keep = [&](std::size_t to) {
        if (to > done)
            fitted.lines.emplace_back(p.begin() + static_cast<std::ptrdiff_t>(done),
                                      p.begin() + static_cast<std::ptrdiff_t>(to) + 1);
    };
    for (std::size_t i = 0; i + kFewestPieces < p.size();) {
        std::size_t good = i + kFewestPieces;
        auto fit = fittedCircle(p, i, good, tolerance);
        if (!fit) {
            ++i;
            continue;
        }
        // Longer stretches tried at growing steps, then the longest found between the last that fits and
        // the first that does not.
        std::size_t bad = p.size();
        for (std::size_t step = kFewestPieces; good + 1 < p.size(); step *= 2) {
            const std::size_t next = std::min(good + step, p.size() - 1);
            if (auto longer = fittedCircle(p, i, next, tolerance)) {
                good = next;
                fit = longer;
            } else {
                bad = next;
                break;
            }
        }
        while (bad - good > 1) {
            const std::size_t middle = (good + bad) / 2;
            if (auto longer = fittedCircle(p, i, middle, tolerance)) {
                good = middle;
                fit = longer;
            } else {
                bad = middle;
            }
        }
        const auto& [circle, turned] = *fit;
        const bool whole = std::fabs(turned) > kTurn - 1e-6;
        const double from = angleOf(circle, p[i]) + std::min(turned, 0.0);
        const double start = whole ? 0.0 : from - kTurn * std::floor(from / kTurn);
        keep(i);
        fitted.curves.push_back(
            {circle.centre, circle.radius, circle.radius, 0.0, start, start + (whole ? kTurn : std::fabs(turned))});
        done = i = good;
    }
    if (done + 1 < p.size() || (done == 0 && !p.empty()))
        keep(p.size() - 1);
    if (fitted.lines.empty() && fitted.curves.empty()) // a single point stays a dot
        fitted.lines.push_back(p);
    return fitted;
}

void checkArcTolerance(double toleranceMm) {
    if (!(toleranceMm >= 0.001 && toleranceMm <= 10.0))
        throw InputError::ofParameter("fit_arcs", "the tolerance must be a length from 0.001 to 10 mm on paper");
}

void fitArcs(Page& page, double toleranceMm, const std::optional<Pen>& centrePen) {
    checkArcTolerance(toleranceMm);
    std::vector<std::pair<std::string, PageCurve>> circles; // by view; one for circles about one centre
    for (PageLayer& layer : page.layers) {
        std::vector<std::vector<PagePoint>> lines;
        std::vector<std::string> lineEdges; // the straight pieces keep their polyline's model edges
        for (std::size_t i = 0; i < layer.polylines.size(); ++i) {
            FittedPolyline fitted = fitArcs(layer.polylines[i], toleranceMm);
            if (!layer.edges.empty())
                lineEdges.insert(lineEdges.end(), fitted.lines.size(), layer.edges[i]);
            std::move(fitted.lines.begin(), fitted.lines.end(), std::back_inserter(lines));
            for (const PageCurve& curve : fitted.curves) {
                layer.curves.push_back(curve);
                if (!layer.edges.empty()) {
                    layer.curveEdges.resize(layer.curves.size() - 1);
                    layer.curveEdges.push_back(layer.edges[i]);
                }
                if (!curve.closed() || !ofModelLines(layer))
                    continue;
                const auto same = std::find_if(circles.begin(), circles.end(), [&](const auto& c) {
                    return c.first == layer.view && std::hypot(c.second.centre.x - curve.centre.x,
                                                               c.second.centre.y - curve.centre.y) <= toleranceMm;
                });
                if (same == circles.end())
                    circles.emplace_back(layer.view, curve);
                else
                    same->second.majorMm = std::max(same->second.majorMm, curve.majorMm);
            }
        }
        layer.polylines = std::move(lines);
        layer.edges = std::move(lineEdges);
    }
    if (centrePen)
        for (const auto& [view, circle] : circles)
            addCentreMark(centreLayer(page, view, *centrePen), circle);
}

} // namespace kvhlr
