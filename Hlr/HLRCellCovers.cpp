#include "Hlr/HLRCellCovers.h"

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRClosedParts.h"
#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLROccluder.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleData.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>

namespace KvHLR {

namespace {

// Parts of more triangles are not filed: telling that a part is convex reads each corner against each
// triangle's plane.
constexpr std::size_t kMostTriangles = 64;
// A corner counts as on a triangle's plane within this share of its part's size.
constexpr double kFlatness = 1e-9;
// Cells a third of the median inner radius of the parts' outlines, so that a part holds several.
constexpr double kCellsPerRadius = 3.0;
constexpr std::int64_t kMostCells = std::int64_t{1} << 21;
// The cells the parts hold, all told, at most this many times the occluders: a bound on the memory the
// entries take, checked before they are made.
constexpr std::size_t kMostHeldPerOccluder = 2;
// The nearest entries a cell keeps: more than the parts any level the shortcut proves needs in front.
constexpr std::size_t kMostEntriesPerCell = 8;

// A convex closed part seen from the eye: its outline on screen (counter-clockwise, `cornerCount` corners
// from `firstCorner` in a list kept beside), its least view depth and the least cosine of its triangles
// (outlineOf).
struct Outline {
    std::uint32_t part;
    float farthest;
    float leastFacing;
    std::uint32_t firstCorner;
    std::uint32_t cornerCount;
};

// What outlineOf needs room for, kept from part to part.
struct Scratch {
    std::vector<const HLRProjectedTriangleVertex*> corners;
    std::vector<HLRVector3D> positions; // the corners' view positions, side by side
    std::vector<HLRVector2D> points;
};

// Rounded to a float no greater.
float roundedDown(double value) {
    float f = static_cast<float>(value);
    if (static_cast<double>(f) > value)
        f = std::nextafter(f, -std::numeric_limits<float>::infinity());
    return f;
}

// Appends the convex hull of the points (reordered) to `hull`, counter-clockwise, without repeated or
// collinear points (Andrew's monotone chain); false, appending nothing, where it has no area.
bool appendConvexHull(std::vector<HLRVector2D>& points, std::vector<HLRVector2D>& hull) {
    if (points.size() < 3)
        return false;
    std::sort(points.begin(), points.end(), [](const HLRVector2D& a, const HLRVector2D& b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    const std::size_t first = hull.size();
    hull.resize(first + 2 * points.size());
    std::size_t k = first;
    for (std::size_t i = 0; i < points.size(); ++i) {
        while (k >= first + 2 && signedArea(hull[k - 2], hull[k - 1], points[i]) <= 0.0)
            --k;
        hull[k++] = points[i];
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i > 0; --i) {
        while (k >= lower && signedArea(hull[k - 2], hull[k - 1], points[i - 1]) <= 0.0)
            --k;
        hull[k++] = points[i - 1];
    }
    hull.resize(k - 1);
    if (hull.size() - first < 3) {
        hull.resize(first);
        return false;
    }
    return true;
}

// The outline of a closed part from its occluders, or none where the part is not convex (a corner in
// front of some triangle's plane, whichever way the part is wound) or seen from the eye without area.
//
// A ray from a point behind the part to the eye crosses its triangles where the part lies nearer than
// the point, so at least the depth gap from the point along the ray, and its distance from a crossed
// triangle's plane is that times the cosine between the ray and the plane's normal. The least cosine is
// |n.z| / |n| in a parallel view, and in a perspective one at least the eye's distance from the plane over
// its greatest distance from the part. A triangle seen edge-on to within kEdgeOn lies on the outline,
// where no cell the outline holds reaches, and is left out. The outline's corners are appended to
// `outlineCorners`.
std::optional<Outline> outlineOf(std::uint32_t part, const HLROccluder* const* first,
                                 const HLROccluder* const* last, Scratch& scratch,
                                 std::vector<HLRVector2D>& outlineCorners) {
    constexpr double kEdgeOn = 1e-10;
    std::vector<const HLRProjectedTriangleVertex*>& corners = scratch.corners;
    corners.clear();
    // Each corner once: a part of a few dozen triangles has a few dozen corners, fewer compared one by one
    // than sorted.
    for (const HLROccluder* const* occluder = first; occluder != last; ++occluder)
        for (const HLRProjectedTriangleVertex* corner : (*occluder)->image.corners)
            if (std::find(corners.begin(), corners.end(), corner) == corners.end())
                corners.push_back(corner);
    HLRBox3D box;
    scratch.positions.clear();
    for (const HLRProjectedTriangleVertex* corner : corners) {
        box.add(corner->viewPosition);
        scratch.positions.push_back(corner->viewPosition);
    }
    const double flat = kFlatness * length(box.max() - box.min());
    const HLRVector4D& centre = HLRProjectedModel::sm_projectionCentre;
    const bool parallel = HLRProjectedModel::sm_bOrthoGraphic;
    const HLRVector3D eye =
        parallel ? HLRVector3D(0.0, 0.0, 0.0)
                 : HLRVector3D(centre.x() / centre.w(), centre.y() / centre.w(), centre.z() / centre.w());
    double farthestFromEye = 0.0;
    if (!parallel)
        for (const HLRVector3D& position : scratch.positions)
            farthestFromEye = std::max(farthestFromEye, length(position - eye));
    bool outward = true, inward = true;
    double leastFacing = 1.0;
    for (const HLROccluder* const* occluder = first; occluder != last; ++occluder) {
        const HLRTriangleImage& image = (*occluder)->image;
        const HLRVector3D normal = image.normal();
        const double normalLength = length(normal);
        if (!(normalLength > 0.0))
            continue;
        const HLRVector3D& onPlane = image.corners[0]->viewPosition;
        // Heights above the plane along the normal, unscaled.
        double highest = -std::numeric_limits<double>::infinity(), lowest = -highest;
        for (const HLRVector3D& position : scratch.positions) {
            const double height = dot(normal, position);
            highest = std::max(highest, height);
            lowest = std::min(lowest, height);
        }
        const double planeHeight = dot(normal, onPlane), flatHeight = flat * normalLength;
        outward = outward && highest - planeHeight <= flatHeight;
        inward = inward && lowest - planeHeight >= -flatHeight;
        if (!outward && !inward)
            return std::nullopt;
        const double facing = parallel
                                  ? std::fabs(normal.z) / normalLength
                                  : std::fabs(dot(normal, eye - onPlane)) / (normalLength * farthestFromEye);
        if (facing > kEdgeOn)
            leastFacing = std::min(leastFacing, facing);
    }
    const float least = roundedDown(leastFacing);
    if (!(least > 0.0f))
        return std::nullopt;
    scratch.points.clear();
    for (const HLRProjectedTriangleVertex* corner : corners)
        scratch.points.push_back(corner->screenPosition);
    const std::size_t firstCorner = outlineCorners.size();
    if (!appendConvexHull(scratch.points, outlineCorners))
        return std::nullopt;
    return Outline{part, roundedDown(box.min().z), least, static_cast<std::uint32_t>(firstCorner),
                   static_cast<std::uint32_t>(outlineCorners.size() - firstCorner)};
}

} // namespace

HLRCellCovers::HLRCellCovers(const std::vector<HLRProjectedTriangleData>& triangleData,
                             const std::vector<std::size_t>& storeStart,
                             const std::vector<std::uint32_t>& codeOfOccluder, std::size_t partCount) {
    const HLRBox2D& world = HLRBoundingBox2D::world();
    const double width = world.max().x() - world.min().x(), height = world.max().y() - world.min().y();
    if (!(width > 0.0) || !(height > 0.0) || partCount < 2)
        return; // an edge is never apart from the only part of one body
    // The occluders of each counted part, by a counting sort of their codes.
    std::vector<std::size_t> partStart(partCount + 1, 0);
    for (const std::uint32_t code : codeOfOccluder)
        if (code != HLRClosedParts::kNone)
            ++partStart[(code & HLRClosedParts::kPartMask) + 1];
    std::size_t countedParts = 0;
    for (std::size_t p = 0; p < partCount; ++p) {
        countedParts += partStart[p + 1] > 0 ? 1 : 0;
        partStart[p + 1] += partStart[p];
    }
    if (countedParts < 2)
        return;
    std::vector<const HLROccluder*> byPart(partStart[partCount]);
    {
        std::vector<std::size_t> next(partStart.begin(), partStart.end() - 1);
        for (std::size_t s = 0; s < triangleData.size(); ++s) {
            const std::vector<HLROccluder>& occluders = triangleData[s].occluders();
            for (std::size_t i = 0; i < occluders.size(); ++i) {
                const std::uint32_t code = codeOfOccluder[storeStart[s] + i];
                if (code != HLRClosedParts::kNone)
                    byPart[next[code & HLRClosedParts::kPartMask]++] = &occluders[i];
            }
        }
    }
    std::vector<std::vector<Outline>> found(blockCount(partCount, kItemsPerBlock));
    std::vector<std::vector<HLRVector2D>> foundCorners(found.size());
    forEachBlock(partCount, kItemsPerBlock, [&](std::size_t block, std::size_t begin, std::size_t end) {
        Scratch scratch;
        for (std::size_t p = begin; p < end; ++p) {
            if ((p & 255U) == 0)
                HLRCancelPoll::check();
            const std::size_t count = partStart[p + 1] - partStart[p];
            if (count == 0 || count > kMostTriangles)
                continue;
            const HLROccluder* const* first = byPart.data() + partStart[p];
            if (std::optional<Outline> outline = outlineOf(static_cast<std::uint32_t>(p), first,
                                                           first + count, scratch, foundCorners[block]))
                found[block].push_back(*outline);
        }
    });
    byPart = std::vector<const HLROccluder*>();
    // Put together in block order, each block's corners after the last's.
    std::vector<Outline> outlines;
    std::vector<HLRVector2D> outlineCorners;
    for (std::size_t b = 0; b < found.size(); ++b) {
        for (Outline outline : found[b]) {
            outline.firstCorner += static_cast<std::uint32_t>(outlineCorners.size());
            outlines.push_back(outline);
        }
        outlineCorners.insert(outlineCorners.end(), foundCorners[b].begin(), foundCorners[b].end());
    }
    found = {};
    foundCorners = {};
    if (outlines.empty())
        return;
    std::sort(outlines.begin(), outlines.end(), [](const Outline& a, const Outline& b) {
        return a.farthest > b.farthest || (a.farthest == b.farthest && a.part < b.part);
    });

    // The cell size from the median inner radius (about twice the area over the perimeter) of a sample.
    std::vector<double> radii;
    const std::size_t stride = std::max<std::size_t>(1, outlines.size() / 4096);
    for (std::size_t i = 0; i < outlines.size(); i += stride) {
        const HLRVector2D* c = outlineCorners.data() + outlines[i].firstCorner;
        const std::size_t n = outlines[i].cornerCount;
        double area = 0.0, perimeter = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            area += signedArea(c[0], c[k], c[(k + 1) % n]);
            perimeter += c[k].distanceTo(c[(k + 1) % n]);
        }
        radii.push_back(area / perimeter);
    }
    std::nth_element(radii.begin(), radii.begin() + static_cast<std::ptrdiff_t>(radii.size() / 2),
                     radii.end());
    double size = radii[radii.size() / 2] / kCellsPerRadius;
    if (!(size > 0.0))
        return;
    size = std::max(size, std::sqrt(width * height / static_cast<double>(kMostCells)));
    std::int64_t columns = 0, rows = 0;
    const auto setSize = [&](double cellSize) {
        size = cellSize;
        columns = static_cast<std::int64_t>(std::ceil(width / size)) + 1;
        rows = static_cast<std::int64_t>(std::ceil(height / size)) + 1;
    };
    setSize(size);
    const double originX = world.min().x(), originY = world.min().y();

    // Calls visit(row, first, last) for each row of cells with some that the outline holds whole by the
    // margin, [first, last] those cells. A side's signed distance is least at a cell's corner: the
    // centre's less half the cell's extent across the side. Along a row each side bounds the centres' x
    // on one side, so the cells an outline holds in a row are a run found without testing them.
    const double margin = 2.0 * HLRProjectedModel::sm_dExactTolerance2D;
    // Each side of the outline as the bound it sets on a held cell's centre (x, y): nx x + ny y >= least,
    // (nx, ny) its inward unit normal; `sides` is room kept from outline to outline.
    struct Side {
        double nx, ny, least;
    };
    const auto forEachHeldRun = [&](const Outline& outline, std::vector<Side>& sides, auto&& visit) {
        const HLRVector2D* c = outlineCorners.data() + outline.firstCorner;
        const std::size_t n = outline.cornerCount;
        sides.clear();
        double y0 = c[0].y(), y1 = y0;
        for (std::size_t k = 0; k < n; ++k) {
            y0 = std::min(y0, c[k].y()), y1 = std::max(y1, c[k].y());
            const HLRVector2D side = c[(k + 1) % n] - c[k];
            const double nx = -side.y() / side.length(), ny = side.x() / side.length();
            sides.push_back(
                {nx, ny,
                 margin + (std::fabs(nx) + std::fabs(ny)) * size / 2 + nx * c[k].x() + ny * c[k].y()});
        }
        const auto firstRow =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(std::floor((y0 - originY) / size)));
        const auto lastRow =
            std::min<std::int64_t>(rows - 1, static_cast<std::int64_t>(std::floor((y1 - originY) / size)));
        for (std::int64_t row = firstRow; row <= lastRow; ++row) {
            const double y = originY + (static_cast<double>(row) + 0.5) * size;
            double xLow = -std::numeric_limits<double>::infinity(), xHigh = -xLow;
            for (const Side& side : sides) {
                const double rest = side.least - side.ny * y; // nx x >= rest
                if (side.nx > 0.0)
                    xLow = std::max(xLow, rest / side.nx);
                else if (side.nx < 0.0)
                    xHigh = std::min(xHigh, rest / side.nx);
                else if (rest > 0.0)
                    xHigh = xLow; // a side along the row, the row's centres not inside it
            }
            if (!(xLow < xHigh))
                continue;
            const double first = std::max(0.0, std::ceil((xLow - originX) / size - 0.5));
            const double last =
                std::min(static_cast<double>(columns - 1), std::floor((xHigh - originX) / size - 0.5));
            if (first <= last)
                visit(row, static_cast<std::int64_t>(first), static_cast<std::int64_t>(last));
        }
    };
    // Counted before they are made, and bounded by the occluders: past the bound the cells grow, each
    // time to hold about half as many.
    std::vector<std::size_t> heldPerBlock(blockCount(outlines.size(), kItemsPerBlock));
    for (int attempt = 0;; ++attempt) {
        std::fill(heldPerBlock.begin(), heldPerBlock.end(), 0);
        forEachBlock(
            outlines.size(), kItemsPerBlock, [&](std::size_t block, std::size_t begin, std::size_t end) {
                std::vector<Side> sides;
                for (std::size_t i = begin; i < end; ++i)
                    forEachHeldRun(outlines[i], sides,
                                   [&](std::int64_t, std::int64_t first, std::int64_t last) {
                                       heldPerBlock[block] += static_cast<std::size_t>(last - first + 1);
                                   });
            });
        std::size_t heldInAll = 0;
        for (const std::size_t held : heldPerBlock)
            heldInAll += held;
        if (heldInAll <= kMostHeldPerOccluder * codeOfOccluder.size())
            break;
        if (attempt == 3)
            return;
        setSize(size * std::sqrt(2.0));
    }
    std::vector<std::vector<std::pair<std::uint32_t, Entry>>> held(heldPerBlock.size());
    forEachBlock(outlines.size(), kItemsPerBlock, [&](std::size_t block, std::size_t begin, std::size_t end) {
        held[block].reserve(heldPerBlock[block]);
        std::vector<Side> sides;
        for (std::size_t i = begin; i < end; ++i) {
            const Entry entry{outlines[i].farthest, outlines[i].leastFacing, outlines[i].part};
            forEachHeldRun(outlines[i], sides, [&](std::int64_t row, std::int64_t first, std::int64_t last) {
                for (std::int64_t column = first; column <= last; ++column)
                    held[block].push_back({static_cast<std::uint32_t>(row * columns + column), entry});
            });
        }
    });
    outlines = std::vector<Outline>();
    outlineCorners = std::vector<HLRVector2D>();

    // Filed cell by cell in the outlines' order, nearest first, so each cell's entries come nearest first;
    // a cell keeps the first few.
    const auto cells = static_cast<std::size_t>(columns * rows);
    m_cellStart.assign(cells + 1, 0);
    for (const auto& blockHeld : held)
        for (const auto& [cell, entry] : blockHeld)
            if (m_cellStart[cell + 1] < kMostEntriesPerCell)
                ++m_cellStart[cell + 1];
    for (std::size_t cell = 0; cell < cells; ++cell)
        m_cellStart[cell + 1] += m_cellStart[cell];
    m_entries.resize(m_cellStart[cells]);
    std::vector<std::uint32_t> next(m_cellStart.begin(), m_cellStart.end() - 1);
    for (auto& blockHeld : held) {
        HLRCancelPoll::check();
        for (const auto& [cell, entry] : blockHeld)
            if (next[cell] < m_cellStart[cell + 1])
                m_entries[next[cell]++] = entry;
        std::vector<std::pair<std::uint32_t, Entry>>().swap(blockHeld);
    }
    m_originX = originX;
    m_originY = originY;
    m_cellSize = size;
    m_columns = columns;
    m_rows = rows;
}

bool HLRCellCovers::coversAllAlong(const HLRExactEdge& edge, const HLRBox3D& edgeBox, int most,
                                   const HLRClosedParts& closedParts) const {
    const int needed = most / 2 + most % 2; // parts, each counting 2
    if (m_columns == 0 || needed > static_cast<int>(kMostEntriesPerCell))
        return false;
    const HLRProjectedTriangleVertex& P = *edge.startVertex();
    const HLRProjectedTriangleVertex& Q = *edge.endVertex();
    const double depthTolerance = HLROccluder::depthTolerance(edge);
    const double nearest = std::max(P.viewPosition.z, Q.viewPosition.z);
    const HLRVector2D& p = P.screenPosition;
    const HLRVector2D direction = Q.screenPosition - p;
    // The cells of the edge's box, none where it leaves the grid (asked so that a position that is not a
    // number leaves it too).
    const double x0 = std::min(p.x(), Q.screenPosition.x()), x1 = std::max(p.x(), Q.screenPosition.x());
    const double y0 = std::min(p.y(), Q.screenPosition.y()), y1 = std::max(p.y(), Q.screenPosition.y());
    if (!(x0 >= m_originX && y0 >= m_originY &&
          x1 < m_originX + static_cast<double>(m_columns) * m_cellSize &&
          y1 < m_originY + static_cast<double>(m_rows) * m_cellSize))
        return false;
    const auto cell = [this](double at, double origin, std::int64_t count) {
        return std::min(static_cast<std::int64_t>(std::floor((at - origin) / m_cellSize)), count - 1);
    };
    const std::int64_t column0 = cell(x0, m_originX, m_columns), column1 = cell(x1, m_originX, m_columns);
    const std::int64_t row0 = cell(y0, m_originY, m_rows), row1 = cell(y1, m_originY, m_rows);
    // A cell of the edge's box that the edge's line passes by is not asked; one it touches, to rounding, is.
    const double touching = 1e-9 * (std::fabs(direction.x()) + std::fabs(direction.y())) * m_cellSize;
    for (std::int64_t row = row0; row <= row1; ++row) {
        for (std::int64_t column = column0; column <= column1; ++column) {
            double low = std::numeric_limits<double>::infinity(), high = -low;
            for (int corner = 0; corner < 4; ++corner) {
                const double x = m_originX + static_cast<double>(column + (corner & 1)) * m_cellSize;
                const double y = m_originY + static_cast<double>(row + (corner >> 1)) * m_cellSize;
                const double area = direction.x() * (y - p.y()) - direction.y() * (x - p.x());
                low = std::min(low, area);
                high = std::max(high, area);
            }
            if (low > touching || high < -touching)
                continue;
            const auto at = static_cast<std::size_t>(row * m_columns + column);
            int found = 0;
            for (std::uint32_t k = m_cellStart[at]; k < m_cellStart[at + 1] && found < needed; ++k) {
                const Entry& entry = m_entries[k];
                const double gap = static_cast<double>(entry.farthest) - nearest;
                if (!(gap > 0.0))
                    break; // the rest lie farther still
                // Each of the part's triangles lies in front of the edge's points behind it by at least
                // the gap along the view, so by gap x leastFacing along its normal.
                if (gap * static_cast<double>(entry.leastFacing) > depthTolerance &&
                    closedParts.isApart(entry.part, edgeBox))
                    ++found;
            }
            if (found < needed)
                return false;
        }
    }
    return true;
}

} // namespace KvHLR
