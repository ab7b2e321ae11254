// Section views: models cut by a plane stay closed and consistently wound once capped, hold the volume
// behind the plane, and draw the cut's outline and hatching (holes left empty, a hatching per body)
// with nothing in front of the caps; planes that cannot cut, and open meshes, are told.

#include "kit/drawing/Section.h"
#include "kit/InputError.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/mesh/DemoPart.h"

#include "MeshChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>

namespace {

using namespace kvhlr;

constexpr double kPi = 3.141592653589793;

// Corners numbered x + 2y + 4z, wound counter-clockwise seen from outside.
const std::uint64_t kBox[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                   {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};

MeshPart box(ON_3dPoint lo, ON_3dPoint hi) {
    MeshPart part;
    for (int i = 0; i < 8; ++i)
        part.points.emplace_back(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
    part.faces.emplace_back();
    for (const auto& t : kBox)
        part.faces[0].emplace_back(t[0], t[1], t[2]);
    return part;
}

// A surface of revolution about the z axis from z = -1 to 1: rings of `sectors` points at the radii
// given, closed by the first and last ring's fans (radius 0 there: a point) or by joining the last ring
// to the first (a tube's inner wall).
MeshPart revolved(const std::vector<std::pair<double, double>>& profile, int sectors, bool tube) {
    MeshPart part;
    part.faces.emplace_back();
    for (const auto& [radius, z] : profile)
        for (int s = 0; s < sectors; ++s) {
            const double a = 2 * kPi * s / sectors;
            part.points.emplace_back(radius * std::cos(a), radius * std::sin(a), z);
        }
    const auto at = [&](std::size_t ring, int s) { return ring % profile.size() * sectors + s % sectors; };
    const std::size_t bands = tube ? profile.size() : profile.size() - 1;
    for (std::size_t r = 0; r < bands; ++r)
        for (int s = 0; s < sectors; ++s) {
            part.faces[0].emplace_back(at(r, s), at(r, s + 1), at(r + 1, s + 1));
            part.faces[0].emplace_back(at(r, s), at(r + 1, s + 1), at(r + 1, s));
        }
    if (!tube)
        for (int s = 1; s + 1 < sectors; ++s) { // flat ends
            part.faces[0].emplace_back(at(0, 0), at(0, s + 1), at(0, s));
            const std::size_t last = profile.size() - 1;
            part.faces[0].emplace_back(at(last, 0), at(last, s), at(last, s + 1));
        }
    return part;
}

MeshPart sphere(int rings, int sectors) {
    std::vector<std::pair<double, double>> profile;
    for (int r = 1; r < rings; ++r)
        profile.emplace_back(std::sin(kPi * r / rings), -std::cos(kPi * r / rings));
    return revolved(profile, sectors, false);
}

// Two boxes in one mesh, overlapping where |x| <= 0.5.
MeshPart overlapping() {
    MeshPart part = box({-1.5, -1, -1}, {0.5, 1, 1});
    const MeshPart other = box({-0.5, -1, -1}, {1.5, 1, 1});
    for (const auto& t : other.faces[0])
        part.faces[0].emplace_back(t[0] + 8, t[1] + 8, t[2] + 8);
    part.points.insert(part.points.end(), other.points.begin(), other.points.end());
    return part;
}

KvHLR::ViewInfoCriteria facing(const SectionPlane& plane, const std::vector<MeshPart>& parts) {
    CameraRequest request;
    request.direction = sectionViewDirection(plane, UpAxis::Z);
    return fitCamera(request, parts);
}

double capArea(const MeshPart& part, const Kv::KvTriangleList& caps) {
    double area = 0.0;
    for (const auto& t : caps) {
        const ON_3dPoint &a = part.points[t[0]], &b = part.points[t[1]], &c = part.points[t[2]];
        const ON_3dVector u(b.x - a.x, b.y - a.y, b.z - a.z), v(c.x - a.x, c.y - a.y, c.z - a.z);
        area += 0.5 * std::sqrt(std::pow(u.y * v.z - u.z * v.y, 2) + std::pow(u.z * v.x - u.x * v.z, 2) +
                                std::pow(u.x * v.y - u.y * v.x, 2));
    }
    return area;
}

struct CutCase {
    const char* name;
    std::function<std::vector<MeshPart>()> model;
    SectionPlane plane;
    double keptVolume;  // behind the plane
    std::size_t loops;  // of each capped body
    bool holes;         // the loops after the first lie in it, else beside it
    double outlineArea; // of the caps, by the shoelace formula over the outline's loops (even-odd)
};

// The area of the polygons with holes, even-odd: each loop's area in the plane, the first (the outer
// one in these models) added, the others (its holes) taken away.
double loopsArea(const std::vector<std::vector<ON_3dPoint>>& loops, const ON_3dVector& normal, bool holes) {
    const double length = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
    double total = 0.0;
    for (std::size_t k = 0; k < loops.size(); ++k) {
        double area = 0.0;
        const auto& loop = loops[k];
        for (std::size_t i = 0; i < loop.size(); ++i) {
            const ON_3dPoint &p = loop[i], &q = loop[(i + 1) % loop.size()];
            area += ((p.y * q.z - p.z * q.y) * normal.x + (p.z * q.x - p.x * q.z) * normal.y +
                     (p.x * q.y - p.y * q.x) * normal.z) / length;
        }
        total += (k > 0 && holes ? -1 : 1) * std::fabs(area) / 2;
    }
    return total;
}

TEST(Section, CutModelsStayClosedHoldWhatLiesBehindAndAreCappedInThePlane) {
    const CutCase cases[] = {
        {"cube through its middle", [] { return std::vector<MeshPart>{box({-1, -1, -1}, {1, 1, 1})}; },
         {{0, 0, 0}, {0, 0, 1}}, 4.0, 1, false, 4.0},
        {"cube, slanted plane through a corner", [] { return std::vector<MeshPart>{box({0, 0, 0}, {1, 1, 1})}; },
         {{1, 0, 0}, {1, 1, 0}}, 0.5, 1, false, std::sqrt(2.0)},
        {"tube across its axis: an annulus",
         [] { return std::vector<MeshPart>{revolved({{2, -1}, {2, 1}, {1, 1}, {1, -1}}, 48, true)}; },
         {{0, 0, 0.25}, {0, 0, 1}}, 0.0, 2, true, 0.0},
        {"sphere: a disc", [] { return std::vector<MeshPart>{sphere(24, 48)}; }, {{0, 0, 0.3}, {0, 0, -1}}, 0.0,
         1, false, 0.0},
        {"demo part through its centre, where corners lie a rounding's width off the plane",
         [] { return demoPart(); }, {{0, 0, 0}, {0, 0, 1}}, 0.0, 2, false, 0.0},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<MeshPart> parts = c.model();
        const SectionPlane& plane = c.plane;
        const double wholeVolume = kvhlrtest::signedVolume6(parts[0].points, parts[0].faces[0]) / 6;
        const KvHLR::ViewInfoCriteria camera = facing(plane, parts);
        const std::size_t facesBefore = parts[0].faces.size();
        const SectionCut cut = cutSection(parts, plane, camera);
        const MeshPart& part = parts[0];
        ASSERT_EQ(cut.cappedBodies.size(), 1u);
        EXPECT_TRUE(cut.uncappedParts.empty());
        EXPECT_EQ(cut.cappedBodies[0].size(), c.loops);
        Kv::KvTriangleList all;
        for (const auto& face : part.faces)
            all.insert(all.end(), face.begin(), face.end());
        EXPECT_TRUE(kvhlrtest::closedAndConsistent(all)) << "the caps close the cut, wound as the mesh is";
        // The camera looks from the normal's side, which goes.
        for (const auto& t : all)
            for (int k = 0; k < 3; ++k) {
                const ON_3dPoint& p = part.points[t[k]];
                const ON_3dVector& n = plane.normal;
                EXPECT_LE(n.x * (p.x - plane.point.x) + n.y * (p.y - plane.point.y) + n.z * (p.z - plane.point.z), 1e-12);
            }
        const double kept = kvhlrtest::signedVolume6(part.points, all) / 6;
        EXPECT_GT(kept, 0.0);
        EXPECT_LT(kept, wholeVolume);
        if (c.keptVolume > 0.0) {
            EXPECT_NEAR(kept, c.keptVolume, 1e-12);
        }
        // A plain part gets its caps in its one face: those beyond its own triangles lie in the plane.
        ASSERT_EQ(part.faces.size(), facesBefore);
        const ON_3dVector n = plane.normal;
        double onPlane = 0.0;
        for (const auto& t : part.faces[0]) {
            bool inPlane = true;
            for (int k = 0; k < 3; ++k) {
                const ON_3dPoint& p = part.points[t[k]];
                inPlane = inPlane && std::fabs(n.x * (p.x - plane.point.x) + n.y * (p.y - plane.point.y) +
                                               n.z * (p.z - plane.point.z)) < 1e-12;
            }
            if (inPlane)
                onPlane += capArea(part, {t});
        }
        EXPECT_NEAR(onPlane, loopsArea(cut.cappedBodies[0], plane.normal, c.holes), 1e-9) << "the caps cover the outline's polygons";
        if (c.outlineArea > 0.0) {
            EXPECT_NEAR(onPlane, c.outlineArea, 1e-12);
        }
    }
}


// The drawing of a section seen square on: `inside(x, y)` holds for the drawing plane's points on the
// caps (drawing units are the model's, centred on the model).
struct DrawnCase {
    const char* name;
    std::function<std::vector<MeshPart>()> model;
    SectionPlane plane;
    std::function<bool(double, double)> onCaps;
    std::vector<double> hatchAngles; // degrees, 0 to 180
};

TEST(Section, DrawsTheOutlineAndHatchingOnTheCapsAloneAndNothingInFront) {
    const double tube = std::cos(kPi / 48); // the hole's 48-gon reaches in this far
    const double e = 1e-9;                  // rounding
    const DrawnCase cases[] = {
        {"cube", [] { return std::vector<MeshPart>{box({-1, -1, -1}, {1, 1, 1})}; }, {{0, 0, 0}, {0, 0, 1}},
         [=](double x, double y) { return std::fabs(x) <= 1 + e && std::fabs(y) <= 1 + e; }, {45}},
        {"tube: the hole stays empty",
         [] { return std::vector<MeshPart>{revolved({{2, -1}, {2, 1}, {1, 1}, {1, -1}}, 48, true)}; },
         {{0, 0, 0.25}, {0, 0, 1}},
         [=](double x, double y) { return std::hypot(x, y) >= tube - e && std::hypot(x, y) <= 2 + e; }, {45}},
        {"two touching boxes, told apart",
         [] { return std::vector<MeshPart>{box({-2, -1, -1}, {0, 1, 1}), box({0, -1, -1}, {2, 1, 1})}; },
         {{0, 0, 0}, {0, 0, 1}}, [=](double x, double y) { return std::fabs(x) <= 2 + e && std::fabs(y) <= 1 + e; },
         {45, 135}},
        {"sphere: a disc", [] { return std::vector<MeshPart>{sphere(24, 48)}; }, {{0, 0, 0}, {0, 0, 1}},
         [=](double x, double y) { return std::hypot(x, y) <= 1 + e; }, {45}},
        {"two boxes overlapping in one mesh: each hatched whole", [] { return std::vector<MeshPart>{overlapping()}; },
         {{0, 0, 0}, {0, 0, 1}},
         [=](double x, double y) {
             return (std::fabs(x + 0.5) <= 1 + e && std::fabs(y) <= 1 + e) || (std::fabs(x - 0.5) <= 1 + e && std::fabs(y) <= 1 + e);
         },
         {45, 135}},
    };
    for (const DrawnCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<MeshPart> parts = c.model();
        DrawOptions options;
        options.hidden = true;
        options.section = c.plane;
        const Drawing drawing = drawParts(std::move(parts), facing(c.plane, c.model()), options);
        std::vector<double> angles;
        std::size_t outlines = 0;
        for (const KvHLR::StrokeLine& line : drawing.lines) {
            // Seen square on, everything behind the caps lies within their outline and is hidden.
            EXPECT_TRUE(line.kind == SectionOutline || line.kind == Hatching || line.kind == Hidden) << line.kind;
            outlines += line.kind == SectionOutline;
            for (const ON_2dPoint& p : line.points)
                EXPECT_TRUE(c.onCaps(p.x, p.y) || line.kind == Hidden) << p.x << " " << p.y;
            if (line.kind != Hatching)
                continue;
            ASSERT_EQ(line.points.size(), 2u);
            const ON_2dPoint a = line.points[0], b = line.points[1];
            for (double t : {0.25, 0.5, 0.75})
                EXPECT_TRUE(c.onCaps(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)));
            const double angle = std::round(std::fmod(std::atan2(b.y - a.y, b.x - a.x) * 180 / kPi + 360, 180));
            if (std::find(angles.begin(), angles.end(), angle) == angles.end())
                angles.push_back(angle);
        }
        std::sort(angles.begin(), angles.end());
        EXPECT_EQ(angles, c.hatchAngles);
        EXPECT_EQ(outlines, c.hatchAngles.size() + (std::string(c.name).rfind("tube", 0) == 0 ? 1 : 0));
        EXPECT_TRUE(drawing.notes.empty());
    }
}

// The caps' borders are edges of the cut model too: the library's own lines along them are taken out,
// so that no stretch of the outline is drawn twice, square on or aslant.
TEST(Section, TheOutlineIsDrawnOnce) {
    const SectionPlane plane{{0, 0, 0}, {0, 0, 1}};
    for (const char* view : {"front", "iso"}) {
        SCOPED_TRACE(view);
        CameraRequest request;
        request.direction = namedViewDirection(view, UpAxis::Y);
        const KvHLR::ViewInfoCriteria camera = fitCamera(request, demoPart());
        DrawOptions options;
        options.section = plane;
        const Drawing drawing = drawParts(demoPart(), camera, options);
        std::vector<std::pair<ON_2dPoint, ON_2dPoint>> outline;
        for (const KvHLR::StrokeLine& line : drawing.lines)
            for (std::size_t i = 1; line.kind == SectionOutline && i < line.points.size(); ++i)
                outline.emplace_back(line.points[i - 1], line.points[i]);
        ASSERT_FALSE(outline.empty());
        const double near = 1e-6 * cameraFrame(camera).width();
        for (const KvHLR::StrokeLine& line : drawing.lines)
            for (std::size_t i = 1; line.kind != SectionOutline && line.kind != Hatching && i < line.points.size(); ++i) {
                const ON_2dPoint m((line.points[i - 1].x + line.points[i].x) / 2, (line.points[i - 1].y + line.points[i].y) / 2);
                for (const auto& [a, b] : outline) {
                    const double dx = b.x - a.x, dy = b.y - a.y, t = std::clamp(((m.x - a.x) * dx + (m.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
                    EXPECT_GT(std::hypot(a.x + t * dx - m.x, a.y + t * dy - m.y), near) << "kind " << line.kind;
                }
            }
    }
}

// A hatch line through a corner where the outline passes on (neither its top nor its bottom) meets the
// outline there once, from the side that leaves the corner upwards: counted from both sides, the line
// would pair with itself and go missing.
TEST(Section, AHatchLineThroughCornersIsDrawnWhole) {
    MeshPart diamond = box({-1, -1, -1}, {1, 1, 1}); // turned by 45 degrees: corners (+-1, 0) and (0, +-1)
    for (ON_3dPoint& p : diamond.points)
        p = ON_3dPoint((p.x - p.y) / 2, (p.x + p.y) / 2, p.z);
    const SectionPlane plane{{0, 0, 0}, {0, 0, 1}};
    DrawOptions options;
    options.section = plane;
    options.hatching = {0.25, 0.0};
    const Drawing drawing = drawParts({diamond}, facing(plane, {diamond}), options);
    std::vector<double> heights; // of the hatch lines, each whole: across the diamond at that height
    for (const KvHLR::StrokeLine& line : drawing.lines)
        if (line.kind == Hatching) {
            ASSERT_EQ(line.points.size(), 2u);
            heights.push_back(line.points[0].y);
            EXPECT_NEAR(std::fabs(line.points[1].x - line.points[0].x), 2 * (1 - std::fabs(line.points[0].y)), 1e-9);
        }
    std::sort(heights.begin(), heights.end());
    ASSERT_EQ(heights.size(), 7u) << "from -0.75 to 0.75, the one through the side corners among them";
    EXPECT_NEAR(heights[3], 0.0, 1e-12);
}

TEST(Section, CutPointsThatRoundToOnePositionBecomeOneCorner) {
    // A steep pyramid far from the origin whose apex lies a hair's width beyond the plane: its three
    // edges cross the plane at points that round to the apex's own x and y.
    MeshPart pyramid;
    pyramid.points = {{1000, 1000, 3e-12}, {1000, 1000, -1}, {1000.01, 1000, -1}, {1000, 1000.01, -1}};
    pyramid.faces = {{{0, 2, 1}, {0, 3, 2}, {0, 1, 3}, {1, 2, 3}}};
    std::vector<MeshPart> parts{pyramid};
    const SectionPlane plane{{0, 0, 0}, {0, 0, 1}};
    const SectionCut cut = cutSection(parts, plane, facing(plane, parts));
    EXPECT_TRUE(cut.uncappedParts.empty());
    EXPECT_TRUE(kvhlrtest::closedAndConsistent(parts[0].faces[0])) << "no crack where the corners met";
}

// Where a body's face lies in the plane but for rounding, the body is not cut there: it is neither
// capped nor hatched, while the body beside it that the plane does cut is.
TEST(Section, AFaceInThePlaneButForRoundingIsNotCut) {
    std::vector<MeshPart> parts{box({-3, -1, -1}, {-1, 1, 0.1 + 0.2}), box({1, -1, -1}, {3, 1, 1})};
    const SectionPlane plane{{0, 0, 0.3}, {0, 0, 1}};
    const SectionCut cut = cutSection(parts, plane, facing(plane, parts));
    ASSERT_EQ(cut.cappedBodies.size(), 1u);
    EXPECT_GT(cut.cappedBodies[0][0][0].x, 0.0) << "the cut body is the second";
}

TEST(Section, BodiesOfOnePartMeetingAlongAnEdgeAreCappedBoth) {
    // Two boxes touching along the vertical edge x = y = 1, welded: four cut segments end at its cut.
    MeshPart part = box({0, 0, -1}, {1, 1, 1});
    const MeshPart other = box({1, 1, -1}, {2, 2, 1});
    std::vector<std::uint64_t> index;
    for (const ON_3dPoint& p : other.points) {
        const auto same = std::find_if(part.points.begin(), part.points.end(),
                                       [&](const ON_3dPoint& q) { return q.x == p.x && q.y == p.y && q.z == p.z; });
        index.push_back(static_cast<std::uint64_t>(same - part.points.begin()));
        if (same == part.points.end())
            part.points.push_back(p);
    }
    for (const auto& t : other.faces[0])
        part.faces[0].emplace_back(index[t[0]], index[t[1]], index[t[2]]);
    std::vector<MeshPart> parts{part};
    const SectionPlane plane{{0, 0, 0}, {0, 0, 1}};
    const SectionCut cut = cutSection(parts, plane, facing(plane, parts));
    EXPECT_TRUE(cut.uncappedParts.empty());
    ASSERT_EQ(cut.cappedBodies.size(), 1u);
    double area = 0.0;
    for (const auto& t : parts[0].faces[0])
        if (parts[0].points[t[0]].z == 0 && parts[0].points[t[1]].z == 0 && parts[0].points[t[2]].z == 0)
            area += capArea(parts[0], {t});
    EXPECT_NEAR(area, 2.0, 1e-12);
}

TEST(Section, AnOpenMeshIsCutButNotCappedAndTheBodyIsNamed) {
    MeshPart open = box({-1, -1, -1}, {1, 1, 1});
    open.faces[0].erase(open.faces[0].begin() + 2, open.faces[0].begin() + 4); // no lid
    std::vector<MeshPart> parts{box({3, -1, -1}, {5, 1, 1}), open};
    const SectionPlane plane{{0, 0, 0}, {0, 1, 0}};
    const SectionCut cut = cutSection(parts, plane, facing(plane, parts));
    EXPECT_EQ(cut.uncappedParts, std::vector<std::size_t>{1});
    EXPECT_EQ(cut.cappedBodies.size(), 1u) << "the closed box is capped";
    Drawing drawing;
    drawing.camera = facing(plane, parts);
    const std::vector<std::string> notes = drawSection(drawing, cut, sectionImage(cut, drawing.camera), {});
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("body 2 is not closed"), std::string::npos) << notes[0];
}

// Tangent edges are cut at the plane: only the kept half's are drawn.
TEST(Section, TangentEdgesOfTheHalfTakenAwayGo) {
    std::vector<MeshPart> parts{box({-1, -1, -1}, {1, 1, 1})};
    parts[0].tangentEdges = {{{-1, -1, -0.5}, {-1, -1, 0.5}}, {{1, 1, 0.2}, {1, 1, 0.9}}, {{1, -1, -0.9}, {1, -1, -0.1}}};
    const SectionPlane plane{{0, 0, 0}, {0, 0, 1}};
    cutSection(parts, plane, facing(plane, parts));
    const std::vector<std::vector<ON_3dPoint>> kept{{{-1, -1, -0.5}, {-1, -1, 0}}, {{1, -1, -0.9}, {1, -1, -0.1}}};
    ASSERT_EQ(parts[0].tangentEdges.size(), kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i)
        for (std::size_t k = 0; k < 2; ++k)
            EXPECT_EQ(parts[0].tangentEdges[i][k], kept[i][k]) << i << " " << k;
}

// Tolerances follow the model: a cube at any scale the kit reads is cut as the unit cube is, and a plane
// between two bodies is told.
TEST(Section, ModelsAtAnyScaleAreCutAndAPlaneBetweenBodiesIsTold) {
    for (double scale : {1e-30, 1.0, 1e18, 1e60}) {
        SCOPED_TRACE(scale);
        std::vector<MeshPart> parts{box({-scale, -scale, -scale}, {scale, scale, scale})};
        const SectionPlane plane{{0, 0, 0}, {0, 1, 0}};
        DrawOptions options;
        options.section = plane;
        const Drawing drawing = drawParts(std::move(parts), facing(plane, {box({-scale, -scale, -scale}, {scale, scale, scale})}), options);
        EXPECT_GT(std::count_if(drawing.lines.begin(), drawing.lines.end(),
                                [](const KvHLR::StrokeLine& line) { return line.kind == Hatching; }), 30);
        EXPECT_TRUE(drawing.notes.empty());
    }
    std::vector<MeshPart> apart{box({-3, -1, -1}, {-1, 1, 1}), box({1, -1, -1}, {3, 1, 1})};
    const SectionPlane between{{0, 0, 0}, {1, 0, 0}};
    DrawOptions options;
    options.section = between;
    const Drawing drawing = drawParts(std::vector<MeshPart>(apart), facing(between, apart), options);
    ASSERT_EQ(drawing.notes.size(), 1u);
    EXPECT_NE(drawing.notes[0].find("cuts no body"), std::string::npos) << drawing.notes[0];
}

// Hatching near its bound still ends within a fraction of a second once the hook cancels: the hook is
// called from the section's own loops after the library's last report.
TEST(Section, ACancelEndsTheHatchingAtOnce) {
    std::vector<MeshPart> parts{box({-1, -1, -1}, {1, 1, 1})};
    const SectionPlane plane{{0, 0, 0}, {0, 0, 1}};
    const KvHLR::ViewInfoCriteria camera = facing(plane, parts);
    const SectionCut cut = cutSection(parts, plane, camera);
    Drawing drawing;
    drawing.camera = camera;
    HatchStyle dense;
    dense.spacing = 4.0 / 0.9 / kMostHatchLines * 2; // about 0.9 of the bound for the square's two sides
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    bool told = false;
    EXPECT_THROW(drawSection(drawing, cut, sectionImage(cut, camera), dense,
                             [&](double share) {
                                 told = share == 1.0;
                                 return false;
                             }),
                 DrawingCancelled);
    EXPECT_TRUE(told);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 0.5);
}

TEST(Section, RefusesPlanesThatCannotCutWithTheParameterAtFault) {
    const std::vector<MeshPart> cube{box({-1, -1, -1}, {1, 1, 1})};
    // Cuts the cube by `plane`, seen square on to `sight`.
    const auto cutCube = [&](SectionPlane plane, ON_3dVector sight) {
        return [=] {
            std::vector<MeshPart> parts = cube;
            cutSection(parts, plane, facing({{0, 0, 0}, sight}, cube));
        };
    };
    const struct {
        const char* name;
        std::function<void()> cut;
        const char* parameter;
    } cases[] = {
        {"a plane beside the model", cutCube({{0, 0, 5}, {0, 0, 1}}, {0, 0, 1}), "section"},
        {"a plane touching a face", cutCube({{0, 0, 1}, {0, 0, 1}}, {0, 0, 1}), "section"},
        {"a plane on a face but for rounding", cutCube({{0, 0, 1 - 1e-16}, {0, 0, 1}}, {0, 0, 1}), "section"},
        {"a plane seen edge-on", cutCube({{0, 0, 0}, {1, 0, 0}}, {0, 0, 1}), "section"},
        {"a zero normal",
         [&] {
             DrawOptions options;
             options.section = SectionPlane{{0, 0, 0}, {0, 0, 0}};
             checkDrawOptions(options);
         },
         "section_normal"},
        {"a negative hatch spacing",
         [&] {
             DrawOptions options;
             options.hatching.spacing = -1;
             checkDrawOptions(options);
         },
         "hatch_spacing"},
        {"an unknown named plane", [] { checkSectionChoice({"w=1", {}, {}, {}}); }, "section"},
        {"a plan height that is no number", [] { checkSectionChoice({"", {}, {}, std::nan("")}); }, "plan"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.cut();
            ADD_FAILURE() << "accepted";
        } catch (const InputError& error) {
            EXPECT_EQ(error.parameter(), c.parameter) << error.what();
        }
    }
}

TEST(Section, NamedPlanesAndPlansLieWhereTheirNamesSay) {
    const std::vector<MeshPart> model{box({0, 0, 2}, {4, 6, 10})};
    const struct {
        SectionChoice choice;
        UpAxis up;
        SectionPlane plane;
    } cases[] = {
        {{"x=1.5", {}, {}, {}}, UpAxis::Z, {{1.5, 0, 0}, {1, 0, 0}}},
        {{"z=-2", {}, {}, {}}, UpAxis::Y, {{0, 0, -2}, {0, 0, 1}}},
        {{"front", {}, {}, {}}, UpAxis::Y, {{2, 3, 6}, {0, 0, 1}}},
        {{"front", {}, {}, {}}, UpAxis::Z, {{2, 3, 6}, {0, -1, 0}}},
        {{"", {}, {}, 1.0}, UpAxis::Z, {{2, 3, 3}, {0, 0, 1}}},
        {{"", {}, {}, 1.0}, UpAxis::Y, {{2, 1, 6}, {0, 1, 0}}},
        {{"", ON_3dPoint(1, 2, 3), ON_3dVector(0, 2, 0), {}}, UpAxis::Y, {{1, 2, 3}, {0, 2, 0}}},
    };
    for (const auto& c : cases) {
        const SectionPlane plane = sectionPlane(c.choice, c.up, model);
        SCOPED_TRACE(c.choice.named);
        EXPECT_EQ(plane.point.x, c.plane.point.x);
        EXPECT_EQ(plane.point.y, c.plane.point.y);
        EXPECT_EQ(plane.point.z, c.plane.point.z);
        EXPECT_EQ(plane.normal.x, c.plane.normal.x);
        EXPECT_EQ(plane.normal.y, c.plane.normal.y);
        EXPECT_EQ(plane.normal.z, c.plane.normal.z);
    }
}

TEST(Section, TheCuttingPlaneLineCrossesOnlyViewsThatSeeThePlaneEdgeOnWhereItPassesThem) {
    const std::vector<MeshPart> model{box({-1, -1, -1}, {1, 1, 1})};
    const auto view = [&](const char* name) {
        CameraRequest request;
        request.direction = namedViewDirection(name, UpAxis::Z);
        Drawing drawing;
        drawing.camera = fitCamera(request, model);
        return drawing;
    };
    const Drawing front = view("front");
    const Box2 bounds = drawingBounds(front);
    // The front view's x is the model's: the line stands at x = 0.5 and spans the drawing, its arrows
    // looking from the side taken away (+x) towards -x.
    const auto line = cuttingPlaneLine({{0.5, 0, 0}, {1, 0, 0}}, front, "A");
    ASSERT_TRUE(line);
    EXPECT_NEAR(line->from.x, 0.5, 1e-9);
    EXPECT_NEAR(line->to.x, 0.5, 1e-9);
    EXPECT_NEAR(std::fabs(line->to.y - line->from.y), bounds.height(), 1e-9);
    EXPECT_NEAR(line->sight.x, -1.0, 1e-12);
    // Seen edge-on but beside the drawing, straight or slanting past a corner; or seen across.
    EXPECT_FALSE(cuttingPlaneLine({{5, 0, 0}, {1, 0, 0}}, front, "A"));
    EXPECT_FALSE(cuttingPlaneLine({{0, 0, 10}, {1, 0, 1}}, front, "A"));
    EXPECT_FALSE(cuttingPlaneLine({{0.5, 0, 0}, {1, 0, 0}}, view("iso"), "A"));
}

} // namespace
