#include "kit/drawing/Drawing.h"

#include "api/DrawingPlane.h"
#include "kit/EllipseArc.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace kvhlr {

const std::array<Layer, kLayerCount>& layers() {
    static const std::array<Layer, kLayerCount> table{{
        {Hidden, "hidden", "Hidden lines"},
        // Hidden lines by occlusion level, the deepest first.
        {Hidden, "hidden-deeper", "Hidden lines behind three surfaces or more"},
        {Hidden, "hidden-2", "Hidden lines behind two surfaces"},
        {Hidden, "hidden-1", "Hidden lines behind one surface"},
        {VisibleSilhouette, "silhouettes", "Visible silhouettes"},
        {VisibleConvexSharp, "convex-sharp", "Convex sharp edges"},
        {VisibleConcaveSharp, "concave-sharp", "Concave sharp edges"},
        {OtherVisible, "other-visible", "Other visible lines"},
        {VisibleIntersection, "intersections", "Intersection lines"},
        {VisibleTangent, "tangent", "Tangent edges"},
        // Section views
        {Hatching, "hatching", "Hatching"},
        {SectionOutline, "section", "Section outlines"},
        {CentreLine, "centre", "Centre lines"},
    }};
    return table;
}

ON_2dPoint DrawingCurve::at(double t) const {
    const EllipsePoint p = ellipsePoint(centre.x, centre.y, majorRadius, minorRadius, rotation, t);
    return {p.x, p.y};
}

bool DrawingCurve::closed() const {
    return wholeTurn(start, end);
}

const Layer& layerOf(int kind) {
    const Layer* other = nullptr;
    for (const Layer& layer : layers()) {
        if (layer.kind == kind)
            return layer;
        if (layer.kind == OtherVisible)
            other = &layer;
    }
    return *other;
}

const Layer& layerOf(const KvHLR::StrokeLine& line) {
    if (line.kind != Hidden || line.level <= 0)
        return layerOf(line.kind);
    const auto& table = layers();
    const char* id = line.level == 1 ? "hidden-1" : line.level == 2 ? "hidden-2" : "hidden-deeper";
    return *std::find_if(table.begin(), table.end(), [id](const Layer& layer) { return std::string(layer.id) == id; });
}

Box2 cameraFrame(const KvHLR::ViewInfoCriteria& camera) {
    const KvHLR::ScreenUnit unit = KvHLR::screenUnit(camera.projectionXform * camera.modelViewXform);
    return {-unit.x, -unit.y, unit.x, unit.y};
}

Box2 drawingBounds(const Drawing& drawing) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    Box2 box{inf, inf, -inf, -inf};
    for (const KvHLR::StrokeLine& line : drawing.lines)
        for (const ON_2dPoint& p : line.points) {
            box.minX = std::min(box.minX, p.x);
            box.minY = std::min(box.minY, p.y);
            box.maxX = std::max(box.maxX, p.x);
            box.maxY = std::max(box.maxY, p.y);
        }
    const Box2 frame = cameraFrame(drawing.camera);
    if (box.minX > box.maxX)
        box = frame;
    double side = std::max(box.width(), box.height());
    if (!(side > 0.0)) // lines of single points: take the size of the camera frame
        side = std::max(frame.width(), frame.height()) > 0.0 ? std::max(frame.width(), frame.height()) : 1.0;
    const double growX = std::max(0.0, side * 1e-3 - box.width()) / 2;
    const double growY = std::max(0.0, side * 1e-3 - box.height()) / 2;
    return {box.minX - growX, box.minY - growY, box.maxX + growX, box.maxY + growY};
}

KvHLR::StrokeLine stretchOf(const KvHLR::StrokeLine& line, std::size_t from, std::size_t to) {
    KvHLR::StrokeLine stretch;
    stretch.kind = line.kind;
    stretch.level = line.level;
    stretch.points.assign(line.points.begin() + static_cast<std::ptrdiff_t>(from),
                          line.points.begin() + static_cast<std::ptrdiff_t>(to) + 1);
    if (!line.sources.empty())
        stretch.sources.assign(line.sources.begin() + static_cast<std::ptrdiff_t>(from),
                               line.sources.begin() + static_cast<std::ptrdiff_t>(to));
    return stretch;
}

void reverseLine(KvHLR::StrokeLine& line) {
    std::reverse(line.points.begin(), line.points.end());
    std::reverse(line.sources.begin(), line.sources.end());
    for (KvHLR::LineSource& source : line.sources)
        if (source.otherBody == KvHLR::LineSource::kNone) // an intersection line's are triangles
            std::swap(source.edge[0], source.edge[1]);
}

std::uint32_t bodyOf(const KvHLR::StrokeLine& line) {
    return line.sources.empty() ? KvHLR::LineSource::kNone : line.sources.front().body;
}

std::string modelEdgesText(const KvHLR::StrokeLine& line, bool brep) {
    // A B-rep edge as the pair {number, kNone}, so that both sort alike.
    std::vector<std::array<std::uint32_t, 2>> edges;
    for (const KvHLR::LineSource& source : line.sources)
        if (brep && source.brepEdge != KvHLR::LineSource::kNone)
            edges.push_back({source.brepEdge, KvHLR::LineSource::kNone});
        else if (!brep && source.edge[0] != KvHLR::LineSource::kNone)
            edges.push_back({source.edge[0], source.edge[1]});
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::string text;
    for (const auto& [a, b] : edges)
        text += (text.empty() ? "" : " ") + std::to_string(a) + (brep ? "" : "-" + std::to_string(b));
    return text;
}

} // namespace kvhlr
