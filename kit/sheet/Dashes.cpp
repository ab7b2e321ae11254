#include "kit/sheet/Dashes.h"

#include <algorithm>
#include <cmath>

namespace kvhlr {
namespace {

void addPoint(std::vector<ON_2dPoint>& piece, const ON_2dPoint& p) {
    if (piece.empty() || piece.back().x != p.x || piece.back().y != p.y)
        piece.push_back(p);
}

// Walks the pattern along the polyline: `remaining` is what is left of the current dash or gap.
class Dasher {
public:
    explicit Dasher(const std::vector<double>& pattern) : m_pattern(pattern), m_remaining(pattern.front()) {}

    void start(const ON_2dPoint& p) { addPoint(m_piece, p); }

    void segment(const ON_2dPoint& a, const ON_2dPoint& b) {
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        double t = 0.0;
        while (length - t > m_remaining) {
            t += m_remaining;
            toggle(ON_2dPoint(a.x + (b.x - a.x) * (t / length), a.y + (b.y - a.y) * (t / length)));
        }
        m_remaining -= length - t;
        if (m_on)
            addPoint(m_piece, b);
    }

    std::vector<std::vector<ON_2dPoint>> finish() {
        if (m_on && m_piece.size() >= 2)
            m_dashes.push_back(std::move(m_piece));
        return std::move(m_dashes);
    }

private:
    void toggle(const ON_2dPoint& p) {
        if (m_on) {
            addPoint(m_piece, p);
            if (m_piece.size() >= 2)
                m_dashes.push_back(std::move(m_piece));
            m_piece.clear();
        } else {
            m_piece.assign(1, p);
        }
        m_on = !m_on;
        m_step = (m_step + 1) % m_pattern.size();
        m_remaining = m_pattern[m_step];
    }

    const std::vector<double>& m_pattern;
    std::size_t m_step = 0;
    double m_remaining;
    bool m_on = true;
    std::vector<ON_2dPoint> m_piece;
    std::vector<std::vector<ON_2dPoint>> m_dashes;
};

// Beyond this many dashes a line is better drawn whole; the bound also keeps every step of the walk
// large enough to advance in double precision.
constexpr double kMostDashes = 1e6;

double lengthOf(const std::vector<ON_2dPoint>& points) {
    double length = 0.0;
    for (std::size_t i = 1; i < points.size(); ++i)
        length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    return length;
}

} // namespace

std::vector<std::vector<ON_2dPoint>> dashPolyline(const std::vector<ON_2dPoint>& points,
                                                  const std::vector<double>& pattern) {
    double period = 0.0;
    bool positive = !pattern.empty() && pattern.size() % 2 == 0;
    for (double length : pattern) {
        positive = positive && length > 0.0;
        period += length;
    }
    if (!positive || !(lengthOf(points) / period <= kMostDashes))
        return {points};
    Dasher dasher(pattern);
    if (!points.empty())
        dasher.start(points.front());
    for (std::size_t i = 1; i < points.size(); ++i)
        dasher.segment(points[i - 1], points[i]);
    return dasher.finish();
}

namespace {

// Real pieces are straight: a dashed curve becomes a polyline whose chords stray at most this far from it.
constexpr double kCurveChordMm = 0.005;

std::vector<PagePoint> pointsAlong(const PageCurve& curve) {
    // A chord spanning the angle a strays r (1 - cos(a / 2)) from a circle of radius r. An ellipse is a
    // circle stretched along its axes: a chord of its angles strays at most as far as the circle's of
    // its major radius.
    const double step = 2.0 * std::acos(1.0 - kCurveChordMm / std::max(curve.majorMm, kCurveChordMm));
    const std::size_t pieces = std::max<std::size_t>(
        1, static_cast<std::size_t>(std::min(std::ceil((curve.end - curve.start) / step), 1e5)));
    std::vector<PagePoint> points;
    for (std::size_t i = 0; i <= pieces; ++i)
        points.push_back(curve.at(curve.start + (curve.end - curve.start) * static_cast<double>(i) / pieces));
    return points;
}

} // namespace

void cutDashes(Page& page, const std::function<void(double)>& progress) {
    StepProgress steps(lineCount(page), progress);
    for (PageLayer& layer : page.layers) {
        if (layer.pen.dashMm.empty()) {
            steps.done(layer.polylines.size() + layer.curves.size());
            continue;
        }
        const bool provenance = !layer.edges.empty() || !layer.curveEdges.empty();
        for (std::size_t i = 0; i < layer.curves.size(); ++i) {
            layer.polylines.push_back(pointsAlong(layer.curves[i]));
            if (provenance) {
                layer.edges.resize(layer.polylines.size() - 1);
                layer.edges.push_back(i < layer.curveEdges.size() ? layer.curveEdges[i] : "");
            }
        }
        layer.curves.clear();
        layer.curveEdges.clear();
        std::vector<std::vector<PagePoint>> pieces;
        std::vector<std::string> pieceEdges; // each dash keeps its polyline's model edges
        for (std::size_t line = 0; line < layer.polylines.size(); ++line) {
            const std::vector<PagePoint>& polyline = layer.polylines[line];
            std::vector<ON_2dPoint> points;
            points.reserve(polyline.size());
            for (const PagePoint& p : polyline)
                points.emplace_back(p.x, p.y);
            for (const std::vector<ON_2dPoint>& dash : dashPolyline(points, layer.pen.dashMm)) {
                std::vector<PagePoint>& piece = pieces.emplace_back();
                if (!layer.edges.empty())
                    pieceEdges.push_back(layer.edges[line]);
                piece.reserve(dash.size());
                for (const ON_2dPoint& p : dash)
                    piece.push_back({p.x, p.y});
            }
            steps.done(1);
        }
        layer.polylines = std::move(pieces);
        layer.edges = std::move(pieceEdges);
        layer.pen.dashMm.clear();
    }
}

} // namespace kvhlr
