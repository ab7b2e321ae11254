#include "checker/LineFaults.h"

#include <algorithm>
#include <cmath>

namespace kvcheck {
namespace {

struct Stretch {
    double from, to; // distances from the segment's start
};

bool isDot(const Line& line, double reach) {
    return std::all_of(line.points.begin(), line.points.end(),
                       [&](Vec2 p) { return length(p - line.points.front()) <= reach; });
}

class UnderVisible {
public:
    // Grid cells a few thousandths of the drawing wide, as fine as the scoring's, hold few segments.
    UnderVisible(const std::vector<Line>& lines, const Box2& frame, double drawingSize)
        : m_reach(1e-3 * drawingSize), m_overlap(kOverlapShare * drawingSize), m_visible(frame, m_reach),
          m_frame(frame) {
        for (const Line& line : lines)
            if (isVisibleKind(line.kind))
                for (std::size_t i = 1; i < line.points.size(); ++i)
                    m_visible.add(line.points[i - 1], line.points[i]);
        m_visible.finish();
    }

    void addLine(const Line& line, LineFaults& faults) {
        bool continuing = false; // the stretch found last runs to the end of the previous segment
        for (std::size_t i = 1; i < line.points.size(); ++i) {
            const Vec2 a = line.points[i - 1], b = line.points[i];
            faults.hiddenLength += length(b - a);
            double t0 = 0, t1 = 0;
            if (!clipRange(m_frame, a, b, t0, t1)) {
                continuing = false;
                continue;
            }
            const Vec2 from = a + t0 * (b - a), to = a + t1 * (b - a);
            const double span = length(to - from);
            if (span <= m_overlap)
                continue;
            stretchesAlong(from, to, span);
            for (const Stretch& s : m_stretches) {
                faults.hiddenUnderVisibleLength += s.to - s.from;
                faults.hiddenUnderVisiblePieces += !(continuing && s.from <= m_overlap);
            }
            continuing = !m_stretches.empty() && m_stretches.back().to >= span - m_overlap;
        }
    }

private:
    // Whether p and q lie within the overlap tolerance of the line through `origin` along `unit`.
    bool onLine(Vec2 origin, Vec2 unit, Vec2 p, Vec2 q) const {
        return std::abs(cross(unit, p - origin)) <= m_overlap &&
               std::abs(cross(unit, q - origin)) <= m_overlap;
    }

    // Fills m_stretches with the stretches of the segment from a to b, `span` long, that run along
    // visible segments: merged, and each longer than the overlap tolerance. A visible piece counts when
    // each of the two lies along the other's line: a line that crosses the segment at a shallow angle,
    // or a short one that meets it at a corner, stays within the tolerance of it only near one point.
    // The segment is looked up at points a grid reach apart, so that every visible piece alongside it
    // lies within reach of one.
    void stretchesAlong(Vec2 a, Vec2 b, double span) {
        const Vec2 along = (1 / span) * (b - a);
        m_found.clear();
        const double queries = std::ceil(span / m_reach);
        for (double j = 0; j <= queries; ++j)
            m_visible.findWithin(a + (j / queries) * (b - a), [&](Vec2 c, Vec2 d) {
                const double pieceLength = length(d - c);
                if (pieceLength > 0 && onLine(a, along, c, d) &&
                    onLine(c, (1 / pieceLength) * (d - c), a, b)) {
                    const double s0 = dot(c - a, along), s1 = dot(d - a, along);
                    const Stretch s{std::max(0.0, std::min(s0, s1)), std::min(span, std::max(s0, s1))};
                    if (s.to > s.from)
                        m_found.push_back(s);
                }
                return false;
            });
        std::sort(m_found.begin(), m_found.end(),
                  [](const Stretch& x, const Stretch& y) { return x.from < y.from; });
        m_stretches.clear();
        for (const Stretch& s : m_found)
            if (!m_stretches.empty() && s.from <= m_stretches.back().to + m_overlap)
                m_stretches.back().to = std::max(m_stretches.back().to, s.to);
            else
                m_stretches.push_back(s);
        m_stretches.erase(std::remove_if(m_stretches.begin(), m_stretches.end(),
                                         [&](const Stretch& s) { return s.to - s.from <= m_overlap; }),
                          m_stretches.end());
    }

    double m_reach, m_overlap;
    SegmentGrid m_visible;
    Box2 m_frame;
    std::vector<Stretch> m_found, m_stretches; // kept to reuse their storage
};

} // namespace

LineFaults findLineFaults(const std::vector<Line>& lines, const Box2& frame, double drawingSize) {
    LineFaults faults;
    UnderVisible underVisible(lines, frame, drawingSize);
    for (const Line& line : lines) {
        faults.zeroLengthLines += isDot(line, kDotShare * drawingSize);
        if (line.kind == kHidden)
            underVisible.addLine(line, faults);
    }
    return faults;
}

} // namespace kvcheck
