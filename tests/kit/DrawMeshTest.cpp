// The kit's drawing contract: the progress hook may end the drawing, by cancelling or by throwing, and
// the next drawing is then made as ever; the modes a kit drawing chooses are its own, so that a host
// thread's CalcSilhouette beside it draws as the library's switches say; occlusion levels count the
// surfaces in front of each hidden line; and with provenance every segment names the part and the model
// edge it was drawn from.

#include "Scenes.h"
#include "api/DrawingPlane.h"
#include "kit/InputError.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/sheet/PenOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <thread>

namespace {

using namespace kvhlr;
using KvHLRTest::sameDrawing;

// A box pushed halfway into a sphere: silhouettes, sharp edges, hidden lines, and where the bodies
// meet an intersection line.
KvHLR::Polygon3D model() {
    KvHLR::Polygon3D polygon = KvHLRTest::sphere(16, 32);
    KvHLRTest::append(polygon, KvHLRTest::box(ON_3dPoint(0.5, -0.4, -0.4), ON_3dPoint(1.8, 0.4, 0.4)));
    return polygon;
}

const KvHLR::ViewInfoCriteria kCamera = KvHLRTest::isometric(ON_3dPoint(0.5, 0, 0));

struct Stop {};

TEST(DrawMesh, ProgressHookCancelsOrThrowsAndTheNextDrawingIsWhole) {
    DrawOptions options;
    options.hidden = true;
    const Drawing whole = drawMesh(model(), kCamera, options);
    int reports = 0;
    options.progress = [&reports](double) { return ++reports < 3; };
    EXPECT_THROW(drawMesh(model(), kCamera, options), DrawingCancelled);
    EXPECT_EQ(reports, 3) << "told nothing more once it cancelled";
    options.progress = [](double) -> bool { throw Stop(); };
    EXPECT_THROW(drawMesh(model(), kCamera, options), Stop);
    options.progress = nullptr;
    EXPECT_TRUE(sameDrawing(drawMesh(model(), kCamera, options).lines, whole.lines));
}

// Exact hiding and intersection lines (DrawOptions' defaults) change this drawing; a host drawing at
// the same time with the switches off must never get them, nor the kit lose them.
TEST(DrawMesh, ModesAreTheDrawingsOwnBesideAHostThread) {
    DrawOptions options, plain;
    plain.exact = plain.intersections = false;
    const Drawing kit = drawMesh(model(), kCamera, options);
    ASSERT_FALSE(sameDrawing(kit.lines, drawMesh(model(), kCamera, plain).lines));
    const std::vector<KvHLR::StrokeLine> host = KvHLRTest::draw(model(), kCamera);
    constexpr int kRounds = 4;
    int hostMismatches = 0, kitMismatches = 0;
    std::thread hostThread([&] {
        for (int round = 0; round < kRounds; ++round)
            hostMismatches += sameDrawing(KvHLRTest::draw(model(), kCamera), host) ? 0 : 1;
    });
    for (int round = 0; round < kRounds; ++round)
        kitMismatches += sameDrawing(drawMesh(model(), kCamera, options).lines, kit.lines) ? 0 : 1;
    hostThread.join();
    EXPECT_EQ(hostMismatches, 0);
    EXPECT_EQ(kitMismatches, 0);
    EXPECT_FALSE(KvHLR::HLRPolyAlgo::exactHiding() || KvHLR::HLRPolyAlgo::intersectionLines());
}

// The hidden lines' length by occlusion level.
std::map<int, double> hiddenLengthByLevel(const Drawing& drawing) {
    std::map<int, double> byLevel;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        if (line.kind == Hidden)
            byLevel[line.level] += KvHLRTest::lineLength(line);
    return byLevel;
}

// Three open squares stacked, sides 3, 2 and 1 from the top down, seen from above: the middle one lies
// behind one surface, the bottom one behind two, though its corners lie on the diagonals where the two
// triangles of each square above meet; hidden lines up to level 1 leave the bottom one out. Under a
// closed box the square lies behind two surfaces, the box's top and its bottom (facing away) alike.
TEST(DrawMesh, OcclusionLevelsCountTheSurfacesInFront) {
    KvHLR::Polygon3D squares = KvHLRTest::square(-1.5, -1.5, 3, 2);
    KvHLRTest::append(squares, KvHLRTest::square(-1, -1, 2, 1));
    KvHLRTest::append(squares, KvHLRTest::square(-0.5, -0.5, 1, 0));
    const KvHLR::ViewInfoCriteria above = KvHLRTest::fromAbove(ON_3dPoint(0, 0, 0));
    DrawOptions options;
    options.hiddenLevels = 2;
    std::map<int, double> byLevel = hiddenLengthByLevel(drawMesh(KvHLR::Polygon3D(squares), above, options));
    ASSERT_EQ(byLevel.size(), 2u);
    EXPECT_NEAR(byLevel[1], 8.0, 1e-9);
    EXPECT_NEAR(byLevel[2], 4.0, 1e-9);
    options.hiddenLevels = 1;
    byLevel = hiddenLengthByLevel(drawMesh(std::move(squares), above, options));
    ASSERT_EQ(byLevel.size(), 1u);
    EXPECT_NEAR(byLevel[1], 8.0, 1e-9);

    KvHLR::Polygon3D boxOver = KvHLRTest::box(ON_3dPoint(-1, -1, 1), ON_3dPoint(1, 1, 2));
    KvHLRTest::append(boxOver, KvHLRTest::square(-0.5, -0.5, 1, 0));
    options.hiddenLevels = kAllLevels;
    byLevel = hiddenLengthByLevel(drawMesh(std::move(boxOver), above, options));
    ASSERT_EQ(byLevel.size(), 1u);
    EXPECT_NEAR(byLevel[2], 4.0, 1e-9);
}

// Closed parts apart from a hidden line count in pairs: their surfaces of one facing twice, the others
// not at all. A square under two boxes, a wide one over a narrow one, seen from above, lies behind
// four surfaces, the narrow box's bottom edges behind three (their own box counted face by face) and its
// top edges behind two (the wide box's bottom edges lie under its top ones); so too with the wide box
// inside out.
// Without its bottom the narrow box is open and counts face by face: the square then lies behind three.
// Seen in perspective from inside a room (closed, but around the eye), the room's floor counts once.
TEST(DrawMesh, OcclusionLevelsCountClosedPartsInPairs) {
    const KvHLR::ViewInfoCriteria above = KvHLRTest::fromAbove(ON_3dPoint(0, 0, 0));
    const KvHLR::Polygon3D narrow = KvHLRTest::box(ON_3dPoint(-1, -1, 1), ON_3dPoint(1, 1, 2));
    const KvHLR::Polygon3D wide = KvHLRTest::box(ON_3dPoint(-2, -2, 3), ON_3dPoint(2, 2, 4));
    DrawOptions options;
    options.hiddenLevels = kAllLevels;
    const auto levels = [&](const KvHLR::Polygon3D& under, const KvHLR::Polygon3D& over,
                            const KvHLR::ViewInfoCriteria& camera) {
        KvHLR::Polygon3D scene = KvHLRTest::square(-0.5, -0.5, 1, 0);
        KvHLRTest::append(scene, under);
        KvHLRTest::append(scene, over);
        return hiddenLengthByLevel(drawMesh(std::move(scene), camera, options));
    };
    using Levels = std::map<int, double>;
    const auto expectLevels = [](const Levels& drawn, const Levels& expected) {
        ASSERT_EQ(drawn.size(), expected.size());
        for (const auto& [level, length] : expected)
            EXPECT_NEAR(drawn.at(level), length, 1e-9) << "level " << level;
    };
    expectLevels(levels(narrow, wide, above), {{2, 8.0}, {3, 8.0}, {4, 4.0}});
    expectLevels(levels(narrow, KvHLRTest::insideOut(wide), above), {{2, 8.0}, {3, 8.0}, {4, 4.0}});
    KvHLR::Polygon3D open = narrow;
    open.triangles.erase(open.triangles.begin(), open.triangles.begin() + 2);
    expectLevels(levels(open, wide, above), {{2, 8.0}, {3, 12.0}});

    // The library itself, which does not cut the room open at the near plane as the kit does.
    KvHLR::Polygon3D roomScene = KvHLRTest::square(-0.5, -0.5, 1, 0);
    KvHLRTest::append(roomScene, narrow);
    KvHLRTest::append(roomScene, KvHLRTest::box(ON_3dPoint(-3, -3, 0.5), ON_3dPoint(3, 3, 12)));
    KvHLR::HLRRunModes modes;
    modes.exactHiding = modes.occlusionLevels = true;
    modes.deepestLevel = 8;
    std::vector<KvHLR::StrokeLine> lines;
    ASSERT_TRUE(
        KvHLR::CalcSilhouette(modes, KvHLRTest::everything(),
                              KvHLRTest::fromAbove(ON_3dPoint(0, 0, 0), KvHLRTest::perspective(60, 1, 1, 30)),
                              roomScene, {}, lines));
    int deepest = 0;
    for (const KvHLR::StrokeLine& line : lines)
        deepest = std::max(deepest, line.kind == Hidden ? line.level : 0);
    EXPECT_EQ(deepest, 3) << "the square lies behind the room's floor and the narrow box";
}

// Lines that lie behind enough closed parts all along are told so without reading their triangles; that
// must never take a part beside a line, or behind it, for one in front. Seen from above, a square lies
// under a wide box (so behind two surfaces) and over another; a box over the left of the scene reaches
// to just beside the square's left edge, and its own edge there lies under the wide box too.
TEST(DrawMesh, OcclusionLevelsBehindManyPartsAreThoseCountedOneByOne) {
    const KvHLR::ViewInfoCriteria above = KvHLRTest::fromAbove(ON_3dPoint(0, 0, 0));
    KvHLR::Polygon3D scene = KvHLRTest::square(0.02, -1, 2, 0);
    KvHLRTest::append(scene, KvHLRTest::box(ON_3dPoint(-3, -3, 1), ON_3dPoint(0, 3, 2)));
    KvHLRTest::append(scene, KvHLRTest::box(ON_3dPoint(-3, -3, 3), ON_3dPoint(3, 3, 4)));
    KvHLRTest::append(scene, KvHLRTest::box(ON_3dPoint(-3, -3, -3), ON_3dPoint(3, 3, -2)));
    DrawOptions options;
    options.hiddenLevels = 2;
    const std::map<int, double> upToTwo =
        hiddenLengthByLevel(drawMesh(KvHLR::Polygon3D(scene), above, options));
    ASSERT_EQ(upToTwo.size(), 1u);
    EXPECT_NEAR(upToTwo.at(2), 4 * 2 + 6, 1e-9) << "the square's outline and the left box's edge at x = 0";
    options.hiddenLevels = kAllLevels;
    EXPECT_NEAR(hiddenLengthByLevel(drawMesh(std::move(scene), above, options)).at(2), upToTwo.at(2), 1e-9);
}

// The points of the lines of one level (0: the visible ones), sorted: the same set drawn as other polylines
// compares equal.
std::vector<std::pair<double, double>> pointsOfLevel(const Drawing& drawing, int level) {
    std::vector<std::pair<double, double>> points;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        if ((line.kind == Hidden ? line.level : 0) == level)
            for (const ON_2dPoint& p : line.points)
                points.emplace_back(p.x, p.y);
    std::sort(points.begin(), points.end());
    return points;
}

// A square behind two others and, for x > 0, a third, so that counting up to level 3 cuts its edges at
// x = 0; beside that cut, within the distance at which line ends become one, a small square under the
// third only ends its level-1 lines. Counted deeper, the cut must not pull them (nor any visible line)
// onto itself: the lines of level 1 are the same whichever deepest level is asked.
TEST(DrawMesh, TheLinesOfALevelDoNotDependOnTheDeepestLevelAsked) {
    constexpr double kBeside = 2e-5;
    KvHLR::Polygon3D scene = KvHLRTest::square(-0.5, -0.5, 1, 0);
    KvHLRTest::append(scene, KvHLRTest::square(-1.5, -1.5, 3, 1));
    KvHLRTest::append(scene, KvHLRTest::square(-1, -1, 2, 2));
    KvHLRTest::append(scene, KvHLRTest::square(0, -1.2, 2.4, 3));
    KvHLRTest::append(scene, KvHLRTest::square(kBeside, -0.8 - kBeside, 0.3, 2.5));
    const KvHLR::ViewInfoCriteria above = KvHLRTest::fromAbove(ON_3dPoint(0, 0, 0));
    DrawOptions options;
    options.hiddenLevels = 1;
    const Drawing first = drawMesh(KvHLR::Polygon3D(scene), above, options);
    options.hiddenLevels = kAllLevels;
    const Drawing all = drawMesh(std::move(scene), above, options);
    ASSERT_EQ(hiddenLengthByLevel(all).size(), 3u);
    for (int level : {0, 1})
        EXPECT_EQ(pointsOfLevel(first, level), pointsOfLevel(all, level)) << "level " << level;
}

TEST(DrawMesh, OcclusionLevelsNeedTheExactHideTest) {
    DrawOptions options;
    options.hiddenLevels = 1;
    options.exact = false;
    try {
        drawMesh(KvHLRTest::square(0, 0, 1, 0), KvHLRTest::fromAbove(ON_3dPoint(0, 0, 0)), options);
        FAIL() << "drawn with the plain hide test";
    } catch (const InputError& error) {
        EXPECT_EQ(error.parameter(), "hidden_levels");
    }
}

// A mesh part of the soup's points and triangles, named.
MeshPart partOf(const KvHLR::Polygon3D& soup, const std::string& name) {
    MeshPart part;
    part.points.assign(soup.points.begin(), soup.points.end());
    Kv::KvTriangleList& face = part.faces.emplace_back();
    for (const auto& t : soup.triangles)
        face.emplace_back(t[0], t[1], t[2]);
    part.partName = name;
    return part;
}

// Checks that every segment with a model edge lies along that edge as the camera sees it, running from
// its first vertex towards its second; returns how many it checked.
int expectSegmentsOnTheirEdges(const Drawing& drawing, const std::vector<Kv::KvPointList>& pointsOfBody) {
    const ON_Xform toScreen = drawing.camera.projectionXform * drawing.camera.modelViewXform;
    const KvHLR::ScreenUnit unit = KvHLR::screenUnit(toScreen);
    const auto project = [&](const ON_3dPoint& p) {
        const ON_4dPoint s = toScreen * ON_4dPoint(p.x, p.y, p.z, 1.0);
        return ON_2dPoint(s.x / s.w * unit.x, s.y / s.w * unit.y);
    };
    int checked = 0;
    for (const KvHLR::StrokeLine& line : drawing.lines) {
        EXPECT_EQ(line.sources.size() + 1, line.points.size());
        for (std::size_t i = 0; i < line.sources.size() && i + 1 < line.points.size(); ++i) {
            const KvHLR::LineSource& source = line.sources[i];
            if (source.edge[0] == KvHLR::LineSource::kNone || source.otherBody != KvHLR::LineSource::kNone)
                continue;
            const ON_2dPoint a = project(pointsOfBody.at(source.body).at(source.edge[0]));
            const ON_2dPoint b = project(pointsOfBody.at(source.body).at(source.edge[1]));
            const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
            for (const ON_2dPoint& p : {line.points[i], line.points[i + 1]})
                EXPECT_LT(std::fabs(dx * (p.y - a.y) - dy * (p.x - a.x)), 1e-6 * length + 1e-9);
            const double along = dx * (line.points[i + 1].x - line.points[i].x) + dy * (line.points[i + 1].y - line.points[i].y);
            EXPECT_GE(along, 0.0) << "the segment runs from the edge's first vertex";
            ++checked;
        }
    }
    return checked;
}

// A soup (one body), then the sphere and the box as two parts with an empty part between them: the bodies
// are the parts, named as their layers, and provenance changes how lines join, not what is drawn.
TEST(DrawMesh, ProvenanceNamesEachSegmentsPartAndModelEdge) {
    DrawOptions options;
    options.hidden = options.provenance = true;
    const KvHLR::Polygon3D soup = model();
    const Drawing ofSoup = drawMesh(KvHLR::Polygon3D(soup), kCamera, options);
    EXPECT_GT(expectSegmentsOnTheirEdges(ofSoup, {Kv::KvPointList(soup.points.begin(), soup.points.end())}), 50);
    EXPECT_EQ(ofSoup.partNames, std::vector<std::string>{"part-1"});

    const KvHLR::Polygon3D ball = KvHLRTest::sphere(16, 32);
    const KvHLR::Polygon3D block = KvHLRTest::box(ON_3dPoint(0.5, -0.4, -0.4), ON_3dPoint(1.8, 0.4, 0.4));
    const auto parts = [&] {
        return std::vector<MeshPart>{partOf(ball, "ball"), partOf({}, "nothing"), partOf(block, "block")};
    };
    const Drawing drawing = drawParts(parts(), kCamera, options);
    ASSERT_EQ(drawing.partNames, (std::vector<std::string>{"ball", "nothing", "block"}));
    const Kv::KvPointList none;
    EXPECT_GT(expectSegmentsOnTheirEdges(drawing, {parts()[0].points, none, parts()[2].points}), 50);
    Drawing ordered = drawing; // plotter order turns lines round: their sources turn with them
    orderForPlotter(ordered.lines, ON_2dPoint(-10, 0));
    EXPECT_GT(expectSegmentsOnTheirEdges(ordered, {parts()[0].points, none, parts()[2].points}), 50);
    std::set<std::pair<std::uint32_t, std::uint32_t>> bodies;
    for (std::size_t l = 0; l < drawing.lines.size(); ++l) {
        const KvHLR::StrokeLine& line = drawing.lines[l];
        EXPECT_EQ(drawing.lineParts.at(l), bodyOf(line));
        for (const KvHLR::LineSource& source : line.sources) {
            EXPECT_EQ(source.body, line.sources.front().body) << "a line keeps to one body";
            if (line.kind == VisibleIntersection) {
                EXPECT_LT(source.edge[0], ball.triangles.size());
                EXPECT_LT(source.edge[1], block.triangles.size());
            }
        }
        bodies.insert({bodyOf(line), line.sources.front().otherBody});
    }
    EXPECT_EQ(bodies, (std::set<std::pair<std::uint32_t, std::uint32_t>>{
                          {0, KvHLR::LineSource::kNone}, {2, KvHLR::LineSource::kNone}, {0, 2}}));

    options.provenance = false;
    const Drawing without = drawParts(parts(), kCamera, options);
    EXPECT_FALSE(without.provenance);
    for (const KvHLR::StrokeLine& line : without.lines)
        EXPECT_TRUE(line.sources.empty());
    const auto with = KvHLRTest::lengthByKind(drawing.lines), plain = KvHLRTest::lengthByKind(without.lines);
    ASSERT_EQ(with.size(), plain.size());
    for (const auto& [kind, length] : plain)
        EXPECT_NEAR(with.at(kind), length, 1e-9 * length) << "kind " << kind;
}

} // namespace
