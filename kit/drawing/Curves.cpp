#include "kit/drawing/Curves.h"

#include "api/DrawingPlane.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>

namespace kvhlr {
namespace {

constexpr double kTurn = 2.0 * M_PI;

// An axis within this angle of the direction of sight is seen end-on; within it of the drawing plane,
// from the side. Others get no centre line.
const double kEndOnSine = std::sin(0.5 * M_PI / 180.0);

// Points and vectors in the drawing plane, with the arithmetic this file needs.
struct Vec {
    double x, y;
    Vec(double xIn, double yIn) : x(xIn), y(yIn) {}
    Vec(const ON_2dPoint& p) : x(p.x), y(p.y) {}
    operator ON_2dPoint() const { return {x, y}; }
    double length() const { return std::hypot(x, y); }
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator-(Vec a) { return {-a.x, -a.y}; }
Vec operator*(double s, Vec a) { return {s * a.x, s * a.y}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
Vec unit(Vec a) { return (1.0 / a.length()) * a; }

double wrapped(double angle) { // into (-pi, pi]
    return angle - kTurn * std::ceil((angle - M_PI) / kTurn);
}

// The camera's map from world to drawing plane, where it keeps parallel lines parallel.
class AffinePlane {
public:
    explicit AffinePlane(const KvHLR::ViewInfoCriteria& camera)
        : m_toScreen(camera.projectionXform * camera.modelViewXform), m_unit(KvHLR::screenUnit(m_toScreen)) {}

    bool affine() const {
        return m_toScreen[3][0] == 0.0 && m_toScreen[3][1] == 0.0 && m_toScreen[3][2] == 0.0 &&
               m_toScreen[3][3] != 0.0;
    }
    ON_2dPoint operator()(const ON_3dPoint& p) const {
        const ON_4dPoint s = m_toScreen * ON_4dPoint(p.x, p.y, p.z, 1.0);
        return {s.x / s.w * m_unit.x, s.y / s.w * m_unit.y};
    }
    Vec operator()(const ON_3dVector& v) const {
        return Vec((*this)(ON_3dPoint(v.x, v.y, v.z))) - Vec((*this)(ON_3dPoint(0.0, 0.0, 0.0)));
    }

private:
    ON_Xform m_toScreen;
    KvHLR::ScreenUnit m_unit;
};

// The ellipse centre + cos t u + sin t v, for t from start to end, by its axes; none where it is seen
// edge-on (thinner than `tolerance`).
std::optional<DrawingCurve> ellipseOf(const ON_2dPoint& centre, Vec u, Vec v, double start, double end,
                                      double tolerance) {
    // The axes lie at the angle t0 where the derivative is square to the radius: tan 2 t0 = 2 u.v / (u.u - v.v).
    const double t0 = 0.5 * std::atan2(2.0 * dot(u, v), dot(u, u) - dot(v, v));
    Vec a = std::cos(t0) * u + std::sin(t0) * v, b = -std::sin(t0) * u + std::cos(t0) * v;
    start -= t0;
    end -= t0;
    if (b.length() > a.length()) { // t = s + pi/2 makes b the major axis
        std::swap(a, b);
        b = -b;
        start -= M_PI / 2;
        end -= M_PI / 2;
    }
    if (!(b.length() > tolerance))
        return std::nullopt;
    if (cross(a, b) < 0.0) { // seen from behind: the angles run the other way
        b = -b;
        std::tie(start, end) = std::make_pair(-end, -start);
    }
    const double shift = kTurn * std::floor(start / kTurn);
    return DrawingCurve{0, centre, a.length(), b.length(), std::atan2(a.y, a.x), start - shift, end - shift};
}

// The curve's angle of the point, and how far the point lies from the curve there (radially).
std::pair<double, double> angleAndDistance(const DrawingCurve& c, const ON_2dPoint& p) {
    const double dx = p.x - c.centre.x, dy = p.y - c.centre.y;
    const double cs = std::cos(c.rotation), sn = std::sin(c.rotation);
    const double x = cs * dx + sn * dy, y = -sn * dx + cs * dy;
    const double t = std::atan2(y / c.minorRadius, x / c.majorRadius);
    return {t, (Vec(c.at(t)) - p).length()};
}

bool withinAngles(const PartCurves::Conic& conic, double t) {
    const DrawingCurve& c = conic.shape;
    if (c.closed())
        return true;
    const double slack = conic.tolerance / c.minorRadius;
    const double past = t - c.start - kTurn * std::floor((t - c.start + slack) / kTurn);
    return past <= c.end - c.start + slack;
}

bool onConic(const PartCurves::Conic& conic, const ON_2dPoint& p, double* angle) {
    const auto [t, distance] = angleAndDistance(conic.shape, p);
    *angle = t;
    return distance <= conic.tolerance && withinAngles(conic, t);
}

// The last point of the stretch that follows the conic from point `first`: each piece's ends and middle
// on it, all turning one way, each by less than a quarter turn.
std::size_t stretchEnd(const std::vector<ON_2dPoint>& points, std::size_t first, const PartCurves::Conic& conic,
                       double* turned) {
    double t0, t1, mid;
    *turned = 0.0;
    if (!onConic(conic, points[first], &t0))
        return first;
    std::size_t last = first;
    for (; last + 1 < points.size(); ++last, t0 = t1) {
        const ON_2dPoint middle = 0.5 * (Vec(points[last]) + points[last + 1]);
        if (!onConic(conic, points[last + 1], &t1) || !onConic(conic, middle, &mid))
            break;
        const double step = wrapped(t1 - t0);
        if (std::fabs(step) >= M_PI / 2 || (*turned != 0.0 && (step > 0.0) != (*turned > 0.0)) || step == 0.0)
            break;
        *turned += step;
    }
    return last;
}

double lengthOf(const std::vector<ON_2dPoint>& points, std::size_t first, std::size_t last) {
    double length = 0.0;
    for (std::size_t i = first; i < last; ++i)
        length += (Vec(points[i + 1]) - points[i]).length();
    return length;
}

// Whether two stretches of angles of one curve share more than `slack`.
bool overlap(const DrawingCurve& a, const DrawingCurve& b, double slack) {
    for (const double shift : {-kTurn, 0.0, kTurn})
        if (std::min(a.end, b.end + shift) - std::max(a.start, b.start + shift) > slack)
            return true;
    return false;
}

} // namespace

// A hidden stretch of a curve along a visible one of the same curve is a straight edge that leaves it
// where it turns from the viewer (a hole's outline, within the deflection of the rim for a little
// way): it stays a line.
void PartCurves::dropHiddenAlongVisible(const Drawing& drawing, std::vector<std::vector<CurveStretch>>& stretches) {
    std::vector<const CurveStretch*> visible; // by their curve
    for (std::size_t l = 0; l < drawing.lines.size(); ++l)
        if (drawing.lines[l].kind != Hidden)
            for (const CurveStretch& s : stretches[l])
                visible.push_back(&s);
    const auto byConic = [](const CurveStretch* a, const CurveStretch* b) { return a->conic < b->conic; };
    std::sort(visible.begin(), visible.end(), byConic);
    const auto alongVisible = [&](const CurveStretch& hidden) {
        const double slack = hidden.conic->tolerance / hidden.curve.minorRadius;
        const auto [from, to] = std::equal_range(visible.begin(), visible.end(), &hidden, byConic);
        return std::any_of(from, to, [&](const CurveStretch* v) { return overlap(v->curve, hidden.curve, slack); });
    };
    for (std::size_t l = 0; l < drawing.lines.size(); ++l)
        if (drawing.lines[l].kind == Hidden)
            stretches[l].erase(std::remove_if(stretches[l].begin(), stretches[l].end(), alongVisible),
                               stretches[l].end());
}

std::vector<CurveStretch> stretchesAlong(const std::vector<ON_2dPoint>& points,
                                         const std::vector<const PartCurves::Conic*>& conics) {
    std::vector<CurveStretch> stretches;
    for (std::size_t i = 0; i + 1 < points.size();) {
        std::size_t last = i;
        double turned = 0.0;
        const PartCurves::Conic* best = nullptr;
        for (const PartCurves::Conic* conic : conics) {
            double t;
            const std::size_t end = stretchEnd(points, i, *conic, &t);
            if (end > last && lengthOf(points, i, end) > 2.0 * conic->tolerance) {
                last = end;
                turned = t;
                best = conic;
            }
        }
        if (!best) {
            ++i;
            continue;
        }
        DrawingCurve curve = best->shape;
        const double t = angleAndDistance(curve, points[i]).first;
        const bool closedLine = points[i].x == points[last].x && points[i].y == points[last].y;
        const bool whole = std::fabs(turned) > kTurn - 1e-6 || (closedLine && i == 0 &&
                                                                 last + 1 == points.size() && std::fabs(turned) > M_PI);
        const double from = turned > 0.0 ? t : t + turned;
        curve.start = from - kTurn * std::floor(from / kTurn);
        curve.end = curve.start + (whole ? kTurn : std::fabs(turned));
        stretches.push_back({i, last, curve, best});
        i = last;
    }
    return stretches;
}

PartCurves::PartCurves(const std::vector<MeshPart>& parts, const KvHLR::ViewInfoCriteria& camera) {
    const AffinePlane plane(camera);
    if (!plane.affine())
        return;
    for (std::uint32_t index = 0; index < parts.size(); ++index) {
        const MeshPart& part = parts[index];
        // Nodes lie on the curves and surfaces; a line's ends, where hiding cuts it, on the chords
        // between them, which stray at most the deflection. A little more for the rounding.
        const double tolerance = 1.05 * part.deflection;
        if (!(tolerance > 0.0))
            continue;
        for (const CadCurve& c : part.curves) {
            const ON_2dPoint centre = plane(c.centre);
            std::optional<DrawingCurve> shape;
            if (c.sphere) { // a circle of the sphere's radius, square to the direction of sight
                const double radius = c.major.Length();
                shape = DrawingCurve{0, centre, radius, radius, 0.0, 0.0, kTurn};
            } else {
                shape = ellipseOf(centre, plane(c.major), plane(c.minor), c.start, c.end, tolerance);
            }
            if (!shape)
                continue;
            const double r = shape->majorRadius + tolerance;
            m_conics.push_back({*shape, tolerance, {centre.x - r, centre.y - r, centre.x + r, centre.y + r}});
        }
        for (const CadAxis& a : part.axes) {
            const Vec along = plane(a.direction);
            const Vec origin = plane(a.origin);
            if (along.length() < kEndOnSine)
                m_axes.push_back({origin, origin, a.radius, tolerance, index});
            else if (along.length() > std::sqrt(1.0 - kEndOnSine * kEndOnSine))
                m_axes.push_back({origin + a.from * along, origin + a.to * along, a.radius, tolerance, index});
        }
    }
}

void PartCurves::fitCurves(Drawing& drawing) const {
    if (m_conics.empty())
        return;
    std::vector<std::vector<CurveStretch>> stretches(drawing.lines.size());
    std::vector<const Conic*> near;
    for (std::size_t l = 0; l < drawing.lines.size(); ++l) {
        const KvHLR::StrokeLine& line = drawing.lines[l];
        if (line.kind == SectionOutline || line.kind == Hatching || line.kind == CentreLine ||
            line.kind == VisibleIntersection || line.points.empty())
            continue;
        Box2 box{line.points[0].x, line.points[0].y, line.points[0].x, line.points[0].y};
        for (const ON_2dPoint& p : line.points)
            box = {std::min(box.minX, p.x), std::min(box.minY, p.y), std::max(box.maxX, p.x), std::max(box.maxY, p.y)};
        near.clear();
        for (const Conic& c : m_conics)
            if (c.box.minX <= box.maxX && box.minX <= c.box.maxX && c.box.minY <= box.maxY && box.minY <= c.box.maxY)
                near.push_back(&c);
        stretches[l] = stretchesAlong(line.points, near);
    }
    dropHiddenAlongVisible(drawing, stretches);

    std::vector<KvHLR::StrokeLine> lines;
    std::vector<std::uint32_t> parts;
    const bool withParts = !drawing.lineParts.empty();
    for (std::size_t l = 0; l < drawing.lines.size(); ++l) {
        const KvHLR::StrokeLine& line = drawing.lines[l];
        // The pieces between stretches stay lines; one of no length, left between two stretches, goes.
        const auto keep = [&](std::size_t from, std::size_t to, bool curve) {
            const auto first = line.points.begin() + static_cast<std::ptrdiff_t>(from);
            const auto end = line.points.begin() + static_cast<std::ptrdiff_t>(to) + 1;
            const bool dot = std::all_of(first, end, [&](const ON_2dPoint& p) { return p.x == first->x && p.y == first->y; });
            if (!curve && dot && !stretches[l].empty())
                return;
            lines.push_back(stretchOf(line, from, to));
            if (withParts)
                parts.push_back(drawing.lineParts[l]);
        };
        std::size_t done = 0;
        for (const CurveStretch& stretch : stretches[l]) {
            if (stretch.first > done)
                keep(done, stretch.first, false);
            keep(stretch.first, stretch.last, true);
            drawing.curves.push_back(stretch.curve);
            drawing.curves.back().line = lines.size() - 1;
            done = stretch.last;
        }
        if (stretches[l].empty() || done + 1 < line.points.size())
            keep(done, line.points.empty() ? 0 : line.points.size() - 1, false);
    }
    drawing.lines = std::move(lines);
    if (withParts)
        drawing.lineParts = std::move(parts);
}

void PartCurves::addCentreLines(Drawing& drawing) const {
    // Faces of one axis (a boss, its hole, the halves of a face) share one mark or one line: marks by
    // their centre, lines by their direction and distance from the origin, both rounded to a grid of
    // ten tolerances.
    std::map<std::pair<long long, long long>, Axis> marks;
    std::map<std::pair<long long, long long>, std::vector<Axis>> lines;
    for (const Axis& a : m_axes) {
        const double cell = 10.0 * a.tolerance;
        if (a.from.x == a.to.x && a.from.y == a.to.y) {
            const auto key = std::make_pair(std::llround(a.from.x / cell), std::llround(a.from.y / cell));
            const auto [at, added] = marks.emplace(key, a);
            at->second.radius = std::max(at->second.radius, a.radius);
            continue;
        }
        const Vec d = unit(Vec(a.to) - a.from);
        double angle = std::atan2(d.y, d.x);
        if (angle < 0.0 || angle >= M_PI)
            angle = angle < 0.0 ? angle + M_PI : angle - M_PI;
        const Vec u(std::cos(angle), std::sin(angle));
        const auto key = std::make_pair(std::llround(angle * 1e6), std::llround(cross(u, a.from) / cell));
        const bool forward = dot(d, u) > 0.0;
        lines[key].push_back({forward ? a.from : a.to, forward ? a.to : a.from, a.radius, a.tolerance, a.part});
    }
    // With part layers, a line goes with the part of its first face.
    const bool withParts = !drawing.lineParts.empty();
    const auto add = [&](const ON_2dPoint& from, const ON_2dPoint& to, std::uint32_t part) {
        drawing.lines.push_back({{from, to}, CentreLine});
        if (withParts)
            drawing.lineParts.push_back(part);
    };
    for (const auto& [key, m] : marks) {
        const Vec centre(m.from), x(m.radius, 0.0), y(0.0, m.radius);
        add(centre - x, centre + x, m.part);
        add(centre - y, centre + y, m.part);
    }
    for (auto& [key, group] : lines) {
        const Vec u = unit(Vec(group[0].to) - group[0].from);
        const auto along = [&](const ON_2dPoint& p) { return dot(p, u); };
        std::sort(group.begin(), group.end(), [&](const Axis& a, const Axis& b) { return along(a.from) < along(b.from); });
        // Overlapping stretches of one axis become one line.
        for (std::size_t i = 0; i < group.size();) {
            ON_2dPoint from = group[i].from, to = group[i].to;
            const std::uint32_t part = group[i].part;
            for (++i; i < group.size() && along(group[i].from) <= along(to) + group[i].tolerance; ++i)
                if (along(group[i].to) > along(to))
                    to = group[i].to;
            add(from, to, part);
        }
    }
}

} // namespace kvhlr
