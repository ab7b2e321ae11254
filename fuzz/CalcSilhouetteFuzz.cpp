// The fuzz target: per input, one call of CalcSilhouette with each hide test, through the entry point
// the input picks, each followed by checks of what every call promises: the caller's lines stay in
// front and untouched, a cancelled run adds nothing, progress stays within 0..100, every added line
// has points, every kind is one the options asked for or a user polyline's, and every number drawn
// is finite.

#include "FuzzScene.h"
#include "Hlr/HLRPolyAlgo.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

namespace {

using namespace KvHLR;
using KvHLRFuzz::EntryPoint;
using KvHLRFuzz::Scene;

// The callback is a plain function, so what it needs lives here; the target is run by one thread.
long g_progressCalls = 0;
long g_cancelAtCall = 0;
bool g_cancelled = false;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "CalcSilhouette broke a promise: %s\n", what);
    std::abort();
}

void require(bool condition, const char* what) {
    if (!condition)
        fail(what);
}

int progress(long percent, long total) {
    require(total == 100 && percent >= 0 && percent <= 100, "progress outside 0..100");
    ++g_progressCalls;
    g_cancelled = g_cancelled || g_progressCalls == g_cancelAtCall;
    return g_cancelled ? 1 : 0;
}

bool drawThroughView(Scene& scene, std::vector<StrokeLine>& lines) {
    Kv::KvvView view;
    view.SetProjector(scene.view.modelViewXform, scene.view.projectionXform, scene.view.nearPlaneDepth,
                      scene.view.farPlaneDepth);
    std::optional<KvWindow> window;
    if (scene.windowWidth >= 0) {
        window.emplace(scene.windowWidth, scene.windowHeight);
        view.SetWindow(&*window);
    }
    return CalcSilhouette(scene.criteria, &view, scene.meshes, scene.userPolylines, lines, progress);
}

bool draw(Scene& scene, std::vector<StrokeLine>& lines) {
    switch (scene.entryPoint) {
    case EntryPoint::Polygon:
        return CalcSilhouette(scene.criteria, scene.view, scene.polygon, scene.userPolylines, lines,
                              progress);
    case EntryPoint::MeshesWithRecords:
        return CalcSilhouette(scene.criteria, scene.view, scene.meshes, scene.userPolylines, lines, progress);
    default:
        return drawThroughView(scene, lines);
    }
}

std::set<std::int32_t> allowedKinds(Scene const& scene) {
    std::set<std::int32_t> kinds{5};
    if (HLRPolyAlgo::intersectionLines())
        kinds.insert(6);
    ProjectorCriteria const& c = scene.criteria;
    for (auto [shown, kind] : {std::pair{c.showSilhouette, 0}, std::pair{c.showHiddenLine, 1},
                               std::pair{c.showConcaveSharpEdge, 2}, std::pair{c.showConvexSharpEdge, 3}})
        if (shown)
            kinds.insert(kind);
    for (UserPolyline const& line : scene.userPolylines)
        kinds.insert(line.kind);
    return kinds;
}

void checkDrawing(Scene const& scene, std::vector<StrokeLine> const& lines) {
    const std::set<std::int32_t> kinds = allowedKinds(scene);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        require(!lines[i].points.empty(), "an empty line");
        require(kinds.count(lines[i].kind) == 1, "a line of a kind nobody asked for");
        for (ON_2dPoint const& p : lines[i].points)
            require(std::isfinite(p.x) && std::isfinite(p.y), "a non-finite point");
    }
}

// One call in one mode; the scene is decoded afresh, since a call empties the caller's polygon.
void drawOnce(const std::uint8_t* data, std::size_t size, bool exact) {
    HLRPolyAlgo::setExactHiding(exact);
    HLRPolyAlgo::setIntersectionLines(exact);
    KvHLRFuzz::FuzzBytes bytes(data, size);
    Scene scene = KvHLRFuzz::decodeScene(bytes);
    g_progressCalls = 0;
    g_cancelAtCall = scene.cancelAtCall;
    g_cancelled = false;

    const bool hadTriangles = !scene.polygon.triangles.empty();
    std::vector<StrokeLine> lines(1);
    lines[0].kind = 99;
    lines[0].points = {ON_2dPoint(1.0, 2.0)};
    const bool done = draw(scene, lines);

    require(!lines.empty() && lines[0].kind == 99 && lines[0].points.size() == 1, "the caller's line lost");
    require(done != g_cancelled, "cancellation and result disagree");
    require(done || lines.size() == 1, "a cancelled run added lines");
    if (scene.entryPoint == EntryPoint::Polygon && hadTriangles)
        require(scene.polygon.triangles.empty() && scene.polygon.points.empty(), "the polygon was kept");
    checkDrawing(scene, lines);
}

} // namespace

// Every input is drawn with the plain hide test, and with exact hiding and intersection lines.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    drawOnce(data, size, false);
    drawOnce(data, size, true);
    return 0;
}
