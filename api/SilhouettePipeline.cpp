#include "api/SilhouettePipeline.h"

#include "api/DrawingCleanup.h"
#include "api/DrawingPlane.h"

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRCancelException.h"
#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRLongStroke.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRPostProcessor.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjector.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>

namespace KvHLR {
namespace {

using Edge = HLRProjectedTriangleEdge;

// The projector reads its arrays column by column, so the host's row-order transforms go in transposed.
void transposeInto(ON_Xform const& xform, double array[4][4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            array[j][i] = xform[i][j];
}

// The output kind of a long stroke of edge type `type`, or nothing when the options leave it out.
std::optional<std::int32_t> kindOfStroke(int type, ProjectorCriteria const& criteria) {
    const auto shown = [](bool show, std::int32_t kind) {
        return show ? std::optional<std::int32_t>(kind) : std::nullopt;
    };
    if ((type & Edge::INTERSECTION_EDGE) && (type & Edge::VISIBLE_MASK))
        return 6;
    // Tangent edges are drawn only where seen: draughtsmen leave their hidden pieces out.
    if (type & Edge::TANGENT_EDGE)
        return (type & Edge::VISIBLE_MASK) ? shown(criteria.showTangentEdge, 9) : std::nullopt;
    switch (Edge::lineKindOf(type, false)) {
    case Edge::LineKind::HIDDEN:
    case Edge::LineKind::HIDDEN_FREE_EDGE:
    case Edge::LineKind::HIDDEN_DIMENSION_LINE:
        return shown(criteria.showHiddenLine, 1);
    case Edge::LineKind::SILHOUETTE:
        return shown(criteria.showSilhouette, 0);
    case Edge::LineKind::CONVEX_SHARP:
        return shown(criteria.showConvexSharpEdge, 3);
    case Edge::LineKind::CONCAVE_SHARP:
        return shown(criteria.showConcaveSharpEdge, 2);
    default:
        return 5;
    }
}

// The drawing frame: screen coordinates scaled by the world length of one screen unit along x and y.
struct DrawingFrame {
    ON_Xform worldToScreen;
    double scaleX;
    double scaleY;

    DrawingFrame(ON_Xform const& modelView, ON_Xform const& projection)
        : worldToScreen(projection * modelView) {
        const ScreenUnit unit = screenUnit(worldToScreen);
        scaleX = unit.x;
        scaleY = unit.y;
    }

    ON_2dPoint fromWorld(ON_3dPoint const& p) const {
        const ON_4dPoint s = worldToScreen * ON_4dPoint(p.x, p.y, p.z, 1.0);
        return ON_2dPoint(s.x / s.w * scaleX, s.y / s.w * scaleY);
    }
    ON_2dPoint fromScreen(HLRVector2D const& p) const { return ON_2dPoint(p.x() * scaleX, p.y() * scaleY); }
};

// The drawing holds finite numbers only: a point that a degenerate camera or extreme coordinates
// sent to infinity or NaN is dropped from its line.
void appendFinite(std::vector<ON_2dPoint>& points, ON_2dPoint const& p) {
    if (std::isfinite(p.x) && std::isfinite(p.y))
        points.push_back(p);
}

void appendUserPolylines(std::vector<UserPolyline> const& userPolylines, DrawingFrame const& frame,
                         bool provenance, std::vector<StrokeLine>& lines) {
    for (UserPolyline const& polyline : userPolylines) {
        StrokeLine& line = lines.emplace_back();
        line.kind = polyline.kind;
        line.points.reserve(polyline.points.size());
        for (ON_3dPoint const& p : polyline.points)
            appendFinite(line.points, frame.fromWorld(p));
        // A caller's polyline has no body and no model edge.
        if (provenance && line.points.size() > 1)
            line.sources.assign(line.points.size() - 1, LineSource());
    }
}

// The line of kind `kind` and occlusion level `level` through screen points. With provenance, `sources`
// has one entry per segment of `points`: a point dropped merges its two segments into the later one's.
template <class Points>
void fillStroke(std::int32_t kind, int level, Points const& points, std::vector<LineSource> const& sources,
                DrawingFrame const& frame, StrokeLine& line) {
    HLRCancelPoll::check();
    line.kind = kind;
    line.level = level;
    line.points.reserve(points.size());
    std::size_t i = 0;
    for (HLRVector2D const& p : points) {
        const std::size_t before = line.points.size();
        appendFinite(line.points, frame.fromScreen(p));
        if (!sources.empty() && before > 0 && line.points.size() > before)
            line.sources.push_back(sources[i - 1]);
        ++i;
    }
}

// The lines of exact hiding's own joining, in the polylines' order, less the kinds the options leave out.
// Each line is made on its own, so blocks of them go to the team's threads.
void appendExactLines(std::vector<HLRExactStrokeJoiner::Polyline> const& polylines, ProjectorCriteria const& criteria,
                      DrawingFrame const& frame, std::vector<StrokeLine>& lines) {
    constexpr std::ptrdiff_t kLinesPerBlock = 4096;
    std::vector<std::size_t> drawn;
    std::vector<std::int32_t> kinds;
    drawn.reserve(polylines.size());
    kinds.reserve(polylines.size());
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        if (const std::optional<std::int32_t> kind = kindOfStroke(polylines[i].type, criteria)) {
            drawn.push_back(i);
            kinds.push_back(*kind);
        }
    }
    const std::size_t first = lines.size();
    lines.resize(first + drawn.size());
    runInParallel(
        static_cast<std::ptrdiff_t>(drawn.size()), kLinesPerBlock, [] { return 0; },
        [&](int, std::ptrdiff_t j) {
            const auto k = static_cast<std::size_t>(j);
            HLRExactStrokeJoiner::Polyline const& polyline = polylines[drawn[k]];
            fillStroke(kinds[k], polyline.level, polyline.points, polyline.sources, frame, lines[first + k]);
        });
}

// Exact hiding's pieces unjoined (HLRRunModes::unjoinedPieces): two screen points each, the edge type as
// the kind, the end nodes' numbers as the first source's edge and the piece's place as the second.
void appendLoosePieces(HLRPolyAlgo const& algorithm, std::vector<StrokeLine>& lines) {
    const std::optional<HLRExactStrokeJoiner>& joiner = algorithm.exactJoiner();
    if (!joiner)
        throw std::invalid_argument("unjoined pieces need exact hiding");
    for (HLRExactStrokeJoiner::LoosePiece const& piece : joiner->loosePieces(algorithm.convexityReversed())) {
        StrokeLine& line = lines.emplace_back();
        line.kind = piece.type;
        line.points = {ON_2dPoint(piece.from.x(), piece.from.y()), ON_2dPoint(piece.to.x(), piece.to.y())};
        line.sources = {LineSource{LineSource::kNone, {piece.fromNode, piece.toNode}, LineSource::kNone},
                        piece.place};
    }
}

// The lines of the stroke network's joining, or with exact hiding of its own joining.
void appendJoinedLines(HLRPolyAlgo& algorithm, ProjectorCriteria const& criteria, DrawingFrame const& frame,
                       Leftovers& leftovers, std::vector<StrokeLine>& lines) {
    if (const std::optional<HLRExactStrokeJoiner>& joiner = algorithm.exactJoiner()) {
        appendExactLines(joiner->join(criteria.showHiddenLine), criteria, frame, lines);
        return;
    }
    const auto postProcessor = std::make_shared<HLRPostProcessor>(algorithm, 1, nullptr);
    leftovers.push_back(postProcessor);
    postProcessor->execute(postProcessingMask(criteria));
    const std::vector<HLRLongStroke*>& strokes = postProcessor->featureLines();
    lines.reserve(lines.size() + strokes.size());
    for (HLRLongStroke const* stroke : strokes)
        if (const std::optional<std::int32_t> kind = kindOfStroke(stroke->type(), criteria))
            fillStroke(*kind, 0, stroke->points(), {}, frame, lines.emplace_back());
}

// Puts `more` after `lines`. Into no lines, the vector is taken whole: moving a million lines one by one
// takes a tenth of a second, most of it in the fresh pages of their new room.
void appendLines(std::vector<StrokeLine>&& more, std::vector<StrokeLine>& lines) {
    if (lines.empty()) {
        lines = std::move(more);
        return;
    }
    lines.reserve(lines.size() + more.size());
    std::move(more.begin(), more.end(), std::back_inserter(lines));
}

} // namespace

void joinLoosePieces(ProjectorCriteria const& criteria, ViewInfoCriteria const& view,
                     HLRBox2D const& screenBox, std::vector<StrokeLine> const& pieces,
                     std::vector<StrokeLine>& lines) {
    std::vector<HLRExactStrokeJoiner::LoosePiece> loose;
    loose.reserve(pieces.size());
    for (StrokeLine const& piece : pieces) {
        if (piece.points.size() != 2 || piece.sources.size() != 1)
            throw std::invalid_argument("a loose piece has two points and one source");
        loose.push_back({HLRVector2D(piece.points[0].x, piece.points[0].y),
                         HLRVector2D(piece.points[1].x, piece.points[1].y), piece.kind,
                         piece.sources[0].edge[0], piece.sources[0].edge[1], LineSource()});
    }
    // The share of the work done after each step, as timed on millions of pieces: sorting their ends
    // takes a fifth, joining them three fifths, the cleanup the rest.
    HLRBoundingBox2D::setWorld(screenBox);
    HLRExactStrokeJoiner joiner(loose);
    joiner.correctConvexity();
    HLRCancelPoll::report(25);
    std::vector<StrokeLine> drawn;
    appendExactLines(joiner.join(criteria.showHiddenLine), criteria,
                     DrawingFrame(view.modelViewXform, view.projectionXform), drawn);
    HLRCancelPoll::report(85);
    cleanUpDrawing(drawn);
    appendLines(std::move(drawn), lines);
    HLRCancelPoll::report(100);
}

int postProcessingMask(ProjectorCriteria const& criteria) {
    int mask = Edge::ALL_MASK;
    if (!criteria.showSilhouette)
        mask &= ~Edge::SILHOUETTE_MASK;
    if (!criteria.showConcaveSharpEdge)
        mask &= ~Edge::CONCAVE_SHARP_EDGE_MASK;
    if (!criteria.showConvexSharpEdge)
        mask &= ~Edge::CONVEX_SHARP_EDGE_MASK;
    if (!criteria.showHiddenLine)
        mask |= Edge::VISIBLE_MASK;
    return mask;
}

HLRProjector projectorFor(ViewInfoCriteria const& view) {
    double modelViewArray[4][4];
    double projectionArray[4][4];
    transposeInto(view.modelViewXform, modelViewArray);
    transposeInto(view.projectionXform, projectionArray);
    return HLRProjector(modelViewArray, projectionArray, view.nearPlaneDepth, view.farPlaneDepth);
}

bool calcSilhouetteCore(ProjectorCriteria const& criteria, ViewInfoCriteria const& view,
                        HLRProjector const& projector, HLRModel const& model,
                        std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                        ProgressFunction progress, HLRRunModes const& modes, Leftovers& leftovers) {
    const double angle = criteria.sharpEdgeAngle * 3.141592653589793 / 180.0;
    // The algorithm takes the view width as a 16-bit value: keep the low 16 bits of the difference,
    // taken unsigned because a host's rectangle may span more than an int holds.
    const std::uint32_t width =
        static_cast<std::uint32_t>(view.clientRect.right) - static_cast<std::uint32_t>(view.clientRect.left);
    const auto viewWidth = static_cast<short>(static_cast<std::uint16_t>(width));
    const auto algorithm = std::make_shared<HLRPolyAlgo>(model, projector, angle, true, viewWidth, progress);
    leftovers.push_back(algorithm);
    algorithm->setRunModes(modes);
    // A cancel from the stages' reports, or from the checks of frequent progress in any stage up to the
    // output, leaves the caller's lines as they were.
    std::vector<StrokeLine> lines;
    try {
        algorithm->execute();

        // Everything new is gathered aside first, so a failure on the way leaves the caller's lines
        // untouched.
        const DrawingFrame frame(view.modelViewXform, view.projectionXform);
        appendUserPolylines(userPolylines, frame, modes.provenance, lines);
        std::vector<StrokeLine> drawn;
        if (modes.unjoinedPieces) {
            appendLoosePieces(*algorithm, drawn);
        } else {
            appendJoinedLines(*algorithm, criteria, frame, leftovers, drawn);
            if (HLRProjectedModel::sm_bExactHiding)
                cleanUpDrawing(drawn);
        }
        appendLines(std::move(drawn), lines);
    } catch (HLRCancelException const&) {
        return false;
    }

    appendLines(std::move(lines), strokeLines);
    strokeLines.erase(std::remove_if(strokeLines.begin(), strokeLines.end(),
                                     [](StrokeLine const& line) { return line.points.empty(); }),
                      strokeLines.end());
    return true;
}

} // namespace KvHLR
