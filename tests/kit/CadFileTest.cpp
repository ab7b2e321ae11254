// CAD files read and drawn through the kit. The models are built with Open CASCADE at test time by
// write_cad (bench/write_cad.cpp) and read back as STEP and as IGES.

#include "TempDir.h"
#include "kit/InputError.h"
#include "kit/camera/CameraFit.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/drawing/Section.h"
#include "kit/mesh/CadProcess.h"
#include "kit/mesh/CadStream.h"
#include "kit/mesh/MeshFile.h"

#include <BRepAdaptor_Curve.hxx>
#include <STEPControl_Reader.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

namespace {

using namespace kvhlr;

class CadFileTest : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        s_dir = new kvhlrtest::TempDir();
        for (const char* model : {"filleted_block", "box_and_cylinder", "knob", "two_parts", "broken_face"})
            for (const char* type : {"step", "iges"}) {
                const std::string command = std::string(KVHLR_WRITE_CAD) + " " + model + " " +
                                            s_dir->path(std::string(model) + "." + type);
                ASSERT_EQ(std::system(command.c_str()), 0) << command;
            }
    }
    static void TearDownTestSuite() { delete s_dir; }

    static std::vector<MeshPart> read(const std::string& model, const CadReading& cad = {}) {
        return readMeshFile(
            s_dir->path(model + "." + GetParam()), false, [](double) {}, cad);
    }

    // The model drawn in a named view, z up.
    static Drawing draw(const std::string& model, const std::string& view, DrawOptions options,
                        const CadReading& cad = {}) {
        std::vector<MeshPart> parts = read(model, cad);
        CameraRequest request;
        request.direction = namedViewDirection(view, UpAxis::Z);
        const KvHLR::ViewInfoCriteria camera = fitCamera(request, parts);
        return drawParts(std::move(parts), camera, options);
    }

    static kvhlrtest::TempDir* s_dir;
};

kvhlrtest::TempDir* CadFileTest::s_dir = nullptr;

std::map<int, int> kindCounts(const Drawing& drawing) {
    std::map<int, int> counts;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        ++counts[line.kind];
    return counts;
}

double distance(const ON_2dPoint& a, const ON_2dPoint& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The length of the drawing's lines over the perimeter of their convex hull: 1 for a convex body's
// outline alone, more with any line inside it.
double lengthOverHull(const Drawing& drawing) {
    std::vector<ON_2dPoint> points;
    double length = 0.0;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        for (std::size_t i = 0; i < line.points.size(); ++i) {
            points.push_back(line.points[i]);
            if (i > 0)
                length += distance(line.points[i], line.points[i - 1]);
        }
    std::sort(points.begin(), points.end(),
              [](auto& a, auto& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    std::vector<ON_2dPoint> hull; // Andrew's monotone chain, lower then upper side
    for (int pass = 0; pass < 2; ++pass, std::reverse(points.begin(), points.end())) {
        const std::size_t start = hull.size();
        for (const ON_2dPoint& p : points) {
            while (hull.size() >= start + 2 &&
                   (hull.back().x - hull[hull.size() - 2].x) * (p.y - hull[hull.size() - 2].y) -
                           (hull.back().y - hull[hull.size() - 2].y) * (p.x - hull[hull.size() - 2].x) <=
                       0)
                hull.pop_back();
            hull.push_back(p);
        }
        hull.pop_back();
    }
    double perimeter = 0.0;
    for (std::size_t i = 0; i < hull.size(); ++i)
        perimeter += distance(hull[i], hull[(i + 1) % hull.size()]);
    return length / perimeter;
}

// The point where the camera draws `p` (the library's drawing plane).
ON_2dPoint onDrawing(const KvHLR::ViewInfoCriteria& camera, const ON_3dPoint& p) {
    const ON_Xform toScreen = camera.projectionXform * camera.modelViewXform;
    const Box2 frame = cameraFrame(camera);
    const ON_3dPoint s = toScreen * p;
    return {s.x * frame.maxX, s.y * frame.maxY};
}

// Every side of a closed solid's triangles is shared by exactly two of them once the faces are welded
// along their common edges and closed faces along their seams; a side used once is an open border that
// the drawing would show.
TEST_P(CadFileTest, SolidsAreClosedSurfacesWithTheirPartsNamesAndPlaces) {
    struct Case {
        std::string model;
        std::vector<std::string> names; // the part of each body
        std::vector<std::size_t> faces; // faces of each body, smooth ones merged
    };
    const Case cases[] = {
        {"filleted_block", {"filleted_block"}, {1}},     // every face meets its neighbours smoothly
        {"box_and_cylinder", {"box_and_cylinder"}, {8}}, // six of the box, the mantle and the top
        {"knob", {"knob"}, {3}}, // the ball, the mantle, the bottom: seams along curves, a pole
        {"two_parts", {"base", "pin", "pin"}, {6, 3, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        const std::vector<MeshPart> parts = read(c.model);
        ASSERT_EQ(parts.size(), c.names.size());
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const MeshPart& part = parts[i];
            EXPECT_TRUE(part.body && part.brepFaces);
            EXPECT_EQ(part.faces.size(), c.faces[i]);
            if (GetParam() == "step") { // IGES keeps no assembly structure
                EXPECT_EQ(part.partName, c.names[i]);
            }
            std::map<std::pair<std::uint32_t, std::uint32_t>, int> sides;
            for (const Kv::KvTriangleList& face : part.faces)
                for (const auto& t : face)
                    for (int k = 0; k < 3; ++k)
                        ++sides[std::minmax<std::uint32_t>(t[k], t[(k + 1) % 3])];
            for (const auto& [side, count] : sides)
                ASSERT_EQ(count, 2) << "points " << side.first << ", " << side.second;
        }
    }
    // The pins stand on the base, where the assembly places them.
    const std::vector<MeshPart> parts = read("two_parts");
    double lowest = INFINITY;
    for (const ON_3dPoint& p : parts.back().points)
        lowest = std::min(lowest, p.z);
    EXPECT_NEAR(lowest, 10.0, 1e-6);
}

// Seen from the front or the side, a line along the middle of the cylinder would be its seam (or an
// edge between its facets): none may be drawn there. The block's fillets show no facet edges however
// coarsely they are tessellated, and their tangent edges only when asked.
// What the model's edges alone draw: no centre lines.
DrawOptions edgesOnly() {
    DrawOptions options;
    options.centreLines = false;
    return options;
}

TEST_P(CadFileTest, DrawsTheTrueEdgesOnly) {
    for (const char* view : {"front", "right"}) {
        SCOPED_TRACE(view);
        const Drawing drawing = draw("box_and_cylinder", view, edgesOnly());
        const ON_2dPoint low = onDrawing(drawing.camera, {30, 20, 13}),
                         high = onDrawing(drawing.camera, {30, 20, 32});
        // 80 % of the radius: the mantle's outlines stay outside.
        const double halfWidth = 0.8 * 12 * std::hypot(high.x - low.x, high.y - low.y) / 19;
        for (const KvHLR::StrokeLine& line : drawing.lines)
            for (std::size_t i = 1; i < line.points.size(); ++i) {
                const ON_2dPoint m((line.points[i - 1].x + line.points[i].x) / 2,
                                   (line.points[i - 1].y + line.points[i].y) / 2);
                const bool inStrip = std::abs(m.x - low.x) < halfWidth && m.y > std::min(low.y, high.y) &&
                                     m.y < std::max(low.y, high.y);
                EXPECT_FALSE(inStrip) << "a line across the cylinder at " << m.x << ", " << m.y;
            }
    }
    // Seen from above, the box's edges and the cylinder's rim are convex; the ring where the cylinder
    // stands on the box, a shorter line, is concave.
    std::map<int, double> lengths;
    for (const KvHLR::StrokeLine& line : draw("box_and_cylinder", "iso", {}).lines)
        for (std::size_t i = 1; i < line.points.size(); ++i)
            lengths[line.kind] += distance(line.points[i - 1], line.points[i]);
    EXPECT_GT(lengths[VisibleConcaveSharp], 0.0);
    EXPECT_LT(lengths[VisibleConcaveSharp], lengths[VisibleConvexSharp] / 2);
    struct Case {
        CadReading cad;
        bool tangent;
    };
    CadReading coarse;
    coarse.deflection = 0.05;
    coarse.angularDeflection = 40;
    for (const Case& c : {Case{{}, false}, Case{coarse, false}, Case{{}, true}, Case{coarse, true}}) {
        DrawOptions options;
        options.tangentEdges = c.tangent;
        const Drawing drawing = draw("filleted_block", "iso", options, c.cad);
        const std::map<int, int> kinds = kindCounts(drawing);
        EXPECT_EQ(kinds.count(VisibleTangent), c.tangent ? 1u : 0u);
        EXPECT_EQ(kinds.size(), c.tangent ? 2u : 1u) << "only outlines, and tangent edges when asked";
        if (c.tangent)
            EXPECT_GT(lengthOverHull(drawing), 2.0);
        else
            EXPECT_NEAR(lengthOverHull(drawing), 1.0, 0.01);
    }
}

// The knob from the front: the cylinder's outline, the ring where the ball sits on it (seen edge-on) and
// the ball's outline down to that ring, 112.0 long in all. Facets that bend against the ball (as the
// mesher leaves them near a pole and along a seam, most of all on a surface of revolution from IGES) turn
// from the viewer and back along the outline, which then runs to and fro in short pieces.
TEST_P(CadFileTest, BallOutlineRunsOnce) {
    const double ballArc = 2 * M_PI * 12 - 2 * std::asin(8.0 / 12) * 12, cylinder = 2 * (20 - std::sqrt(80.0)) + 16;
    double length = 0.0;
    for (const KvHLR::StrokeLine& line : draw("knob", "front", edgesOnly()).lines)
        for (std::size_t i = 1; i < line.points.size(); ++i)
            length += distance(line.points[i - 1], line.points[i]);
    EXPECT_NEAR(length, ballArc + cylinder + 16, 0.003 * length);
}

// A face that cannot be tessellated (its border runs out along a line and back) is left out with one
// warning naming the file, the part and the face; the block beside it is read and drawn whole.
TEST_P(CadFileTest, FaceThatCannotBeTessellatedIsNamedAndLeftOut) {
    std::vector<std::string> warnings;
    CadReading cad;
    cad.warning = [&](const std::string& message) { warnings.push_back(message); };
    const std::vector<MeshPart> parts = read("broken_face", cad);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], s_dir->path("broken_face." + GetParam()) +
                               ": part broken_face: face 1 could not be tessellated; the drawing leaves it out");
    std::size_t faces = 0;
    for (const MeshPart& part : parts)
        for (const Kv::KvTriangleList& face : part.faces)
            faces += !face.empty();
    EXPECT_EQ(faces, 6u);
    EXPECT_EQ(kindCounts(draw("broken_face", "iso", {})), (std::map<int, int>{{0, 1}, {3, 2}}));
}

TEST_P(CadFileTest, AssemblyLinesGoToTheirParts) {
    DrawOptions options;
    options.partLayers = true;
    options.hidden = true;
    const Drawing drawing = draw("two_parts", "iso", options);
    // IGES keeps no assembly structure: its solids share the file's one name, numbered.
    const std::vector<std::string> names =
        GetParam() == "step" ? std::vector<std::string>{"base", "pin.pin-left", "pin.pin-right"}
                             : std::vector<std::string>{"assembly", "assembly-2", "assembly-3"};
    EXPECT_EQ(drawing.partNames, names);
    ASSERT_EQ(drawing.lineParts.size(), drawing.lines.size());
    std::map<std::uint32_t, double> xOfPart; // the pins stand apart along x: their lines too
    for (std::size_t i = 0; i < drawing.lines.size(); ++i)
        for (const ON_2dPoint& p : drawing.lines[i].points)
            xOfPart[drawing.lineParts[i]] += p.x;
    ASSERT_EQ(xOfPart.size(), 3u);
}

// Each B-rep edge of a STEP file's first solid, numbered as Open CASCADE maps them (from 1), as points
// along its curve where the camera draws them.
std::map<std::uint32_t, std::vector<ON_2dPoint>> projectedEdges(const std::string& path,
                                                                const KvHLR::ViewInfoCriteria& camera) {
    STEPControl_Reader reader;
    EXPECT_EQ(reader.ReadFile(path.c_str()), IFSelect_RetDone);
    reader.TransferRoots();
    TopTools_IndexedMapOfShape edges;
    TopExp::MapShapes(TopExp_Explorer(reader.OneShape(), TopAbs_SOLID).Current(), TopAbs_EDGE, edges);
    std::map<std::uint32_t, std::vector<ON_2dPoint>> projected;
    for (int e = 1; e <= edges.Extent(); ++e) {
        const BRepAdaptor_Curve curve(TopoDS::Edge(edges(e)));
        constexpr int kSamples = 200;
        for (int i = 0; i <= kSamples; ++i) {
            const gp_Pnt p = curve.Value(curve.FirstParameter() +
                                         (curve.LastParameter() - curve.FirstParameter()) * i / kSamples);
            projected[static_cast<std::uint32_t>(e)].push_back(onDrawing(camera, {p.X(), p.Y(), p.Z()}));
        }
    }
    return projected;
}

double distanceToPolyline(const ON_2dPoint& p, const std::vector<ON_2dPoint>& line) {
    double nearest = INFINITY;
    for (std::size_t i = 1; i < line.size(); ++i) {
        const double dx = line[i].x - line[i - 1].x, dy = line[i].y - line[i - 1].y;
        const double length = dx * dx + dy * dy;
        const double t = length > 0 ? std::clamp(((p.x - line[i - 1].x) * dx + (p.y - line[i - 1].y) * dy) / length, 0.0, 1.0) : 0.0;
        nearest = std::min(nearest, distance(p, {line[i - 1].x + t * dx, line[i - 1].y + t * dy}));
    }
    return nearest;
}

// With provenance every sharp line and tangent edge names the B-rep edge it is drawn along (for STEP:
// the edge Open CASCADE numbers so, whose curve the line follows), the cylinder's outlines none. Seen
// from the corner with hidden lines, every edge of the box and cylinder is drawn: each is named; cut in
// half, the edges the plane shortened too. From above, the block's tangent edges along its sides lie on
// its outline, and still name theirs.
TEST_P(CadFileTest, ProvenanceNamesTheBrepEdges) {
    struct Case {
        std::string model;
        const char* view;
        bool cut;
    };
    for (const auto& [model, view, cut] : {Case{"box_and_cylinder", "iso", false}, Case{"box_and_cylinder", "iso", true},
                                           Case{"filleted_block", "iso", false}, Case{"filleted_block", "top", false}}) {
        SCOPED_TRACE(model + " " + view + (cut ? " cut" : ""));
        DrawOptions options = edgesOnly();
        options.provenance = options.hidden = options.tangentEdges = true;
        if (cut)
            options.section = SectionPlane{{30, 20, 0}, {0, 1, 0}};
        const Drawing drawing = draw(model, view, options);
        ASSERT_TRUE(drawing.brepEdges);
        const std::map<std::uint32_t, std::vector<ON_2dPoint>> edges =
            GetParam() == "step" ? projectedEdges(s_dir->path(model + ".step"), drawing.camera)
                                 : std::map<std::uint32_t, std::vector<ON_2dPoint>>{};
        std::set<std::uint32_t> named;
        std::size_t none = 0;
        for (const KvHLR::StrokeLine& line : drawing.lines)
            for (std::size_t k = 0; k < line.sources.size(); ++k) {
                const std::uint32_t edge = line.sources[k].brepEdge;
                const bool sharp = line.kind == VisibleConvexSharp || line.kind == VisibleConcaveSharp ||
                                   line.kind == VisibleTangent;
                EXPECT_TRUE(edge != KvHLR::LineSource::kNone || !sharp) << "kind " << line.kind;
                if (edge == KvHLR::LineSource::kNone) {
                    ++none;
                    continue;
                }
                named.insert(edge);
                if (edges.empty())
                    continue;
                const ON_2dPoint middle((line.points[k].x + line.points[k + 1].x) / 2,
                                        (line.points[k].y + line.points[k + 1].y) / 2);
                ASSERT_EQ(edges.count(edge), 1u) << edge;
                EXPECT_LT(distanceToPolyline(middle, edges.at(edge)), 0.05) << "a segment off B-rep edge " << edge;
            }
        // The box's 12 edges and the cylinder's two rims; its seam makes no line, its outlines name none.
        if (model == "box_and_cylinder" && !cut) {
            EXPECT_EQ(named.size(), 14u);
            EXPECT_GT(none, 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CadFileTest, ::testing::Values("step", "iges"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// The reader's answer carries each part's B-rep edges; one that counts more points than it sends, or
// names a point or a number that cannot be, is refused as broken.
TEST(CadFile, BrepEdgesCrossTheAnswerChecked) {
    MeshPart part;
    part.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    part.faces = {{{0, 1, 2}}};
    part.tangentEdges = {{{0, 0, 0}, {0, 1, 0}}};
    part.tangentBrepEdges = {3};
    part.brepEdges = {{1, {0, 1}}, {2, {1, 2, 0}}};
    const auto answer = [](const MeshPart& sent) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        CadStreamWriter writer(ends[1]);
        writer.part(sent);
        writer.done();
        close(ends[1]);
        std::string bytes;
        char buffer[4096];
        for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<std::size_t>(n));
        close(ends[0]);
        return bytes;
    };
    const auto decode = [](const std::string& bytes) {
        std::size_t at = 0;
        return readCadStream(
            [&](void* to, std::size_t size) {
                if (size > bytes.size() - at)
                    return false;
                std::memcpy(to, bytes.data() + at, size);
                at += size;
                return true;
            },
            "a.step", [](double) {}, {});
    };
    const std::vector<MeshPart> read = decode(answer(part));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].tangentBrepEdges, part.tangentBrepEdges);
    ASSERT_EQ(read[0].brepEdges.size(), 2u);
    EXPECT_EQ(read[0].brepEdges[1].index, 2u);
    EXPECT_EQ(read[0].brepEdges[1].points, part.brepEdges[1].points);

    const auto refused = [&](const std::string& bytes, const std::string& why) {
        try {
            decode(bytes);
            ADD_FAILURE() << why;
        } catch (const InputError& error) {
            EXPECT_EQ(error.reason(), "the CAD reader sent a broken answer (" + why + ")");
        }
    };
    // The last edge's count of points: before its three points and the end.
    std::string counted = answer(part);
    const std::size_t count = counted.size() - 1 - 3 * sizeof(std::uint32_t) - sizeof(std::uint64_t);
    for (const auto& [points, why] : {std::pair<std::uint64_t, std::string>{1000, "it ends early"},
                                      {std::uint64_t{1} << 40, "too many points along a B-rep edge"}}) {
        std::memcpy(counted.data() + count, &points, sizeof points);
        refused(counted, why);
    }
    MeshPart beyond = part;
    beyond.brepEdges[0].points[1] = 3;
    refused(answer(beyond), "a B-rep edge runs through a point that does not exist");
    MeshPart unnumbered = part;
    unnumbered.tangentBrepEdges[0] = 0;
    refused(answer(unnumbered), "a B-rep edge numbered 0");
}

TEST(CadFile, BadFilesAreRefusedNamingThem) {
    const kvhlrtest::TempDir dir;
    const std::string step = "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('x'),'2;1');\nENDSEC;\nDATA;\n";
    struct Case {
        std::string name, content, reason;
    };
    const Case cases[] = {
        {"a.step", "solid cube\n", "not a STEP file"},
        {"a.igs", "solid cube\n", "not an IGES file"},
        {"a.stp", "", "the file is empty"},
        {"b.step", step + "#1=CARTESIAN_POINT('',(0.,0.,0.));\nENDSEC;\nEND-ISO-10303-21;\n",
         "no solids or faces"},
        {"c.step", step + "#1=ADVANCED_FACE('',(#2),#3,.T.);\n#2=(", "broken STEP file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write(c.name, c.content);
        try {
            readMeshFile(path, false, [](double) {});
            ADD_FAILURE() << "read";
        } catch (const InputError& error) {
            EXPECT_EQ(error.subject(), path);
            EXPECT_NE(error.reason().find(c.reason), std::string::npos) << error.reason();
        }
    }
}

TEST(CadFile, TessellationsThatCannotBeMadeAreRefused) {
    struct Case {
        double deflection;
        bool relative;
        double angle;
        std::string parameter; // empty: accepted
    };
    const Case cases[] = {{0.0005, true, 15, ""},
                          {0.2, false, 90, ""},
                          {0, false, 15, "deflection"},
                          {1.0, true, 15, "deflection"},
                          {NAN, false, 15, "deflection"},
                          {0.1, false, 0, "angular_deflection"},
                          {0.1, false, 91, "angular_deflection"}};
    for (const Case& c : cases) {
        CadReading cad;
        cad.deflection = c.deflection;
        cad.relativeDeflection = c.relative;
        cad.angularDeflection = c.angle;
        try {
            checkCadReading(cad);
            EXPECT_EQ(c.parameter, "");
        } catch (const InputError& error) {
            EXPECT_EQ(error.parameter(), c.parameter);
        }
    }
}


// Whatever happens in the reader's process comes back as one InputError naming the file, and leaves no
// process behind; KVHLR_CAD_READER_FAULT makes the reader fail on purpose.
TEST(CadFile, ReaderFailuresAreErrorsNamingTheFile) {
    const std::string bracket = std::string(KVHLR_MODELS) + "/bracket.step";
    struct Case {
        const char* fault;
        std::size_t memoryMb, seconds;
        std::string parameter, reason;
    };
    const Case cases[] = {
        {"crash", 0, 0, "", "the CAD reader stopped with signal 6; the file is damaged or not supported"},
        {"garbage", 0, 0, "", "the CAD reader sent a broken answer (too many points)"},
        {"memory", 300, 0, "cad_memory_limit", "took more than the 300 MB the CAD reader may take"},
        {"loop", 0, 1, "cad_time_limit", "took more than the 1 s of processor time the CAD reader may take"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        if (c.memoryMb > 0 && !kCadMemoryLimited)
            continue;
        setenv("KVHLR_CAD_READER_FAULT", c.fault, 1);
        CadReading cad;
        cad.memoryLimitMb = c.memoryMb;
        cad.timeLimitSeconds = c.seconds;
        try {
            readMeshFile(bracket, false, [](double) {}, cad);
            ADD_FAILURE() << "read";
        } catch (const InputError& error) {
            EXPECT_EQ(error.parameter(), c.parameter);
            EXPECT_EQ(error.subject(), c.parameter.empty() ? bracket : c.parameter);
            EXPECT_NE(error.reason().find(c.reason), std::string::npos) << error.reason();
        }
        unsetenv("KVHLR_CAD_READER_FAULT");
    }
    // A hook that throws (a cancel, Ctrl-C in Python) ends a reader that loops at once: it is called
    // while the reader says nothing, and the reader is killed.
    setenv("KVHLR_CAD_READER_FAULT", "loop", 1);
    const auto start = std::chrono::steady_clock::now();
    const auto cancel = [&](double) {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300))
            throw std::runtime_error("cancelled");
    };
    EXPECT_THROW(readMeshFile(bracket, false, cancel), std::runtime_error);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(800));
    unsetenv("KVHLR_CAD_READER_FAULT");
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a reader left behind";
}

// Sizes that cannot be drawn and tessellations too fine for the machine are refused before the mesher
// runs, naming what is at fault; two threads read at once, each with its own reader.
TEST(CadFile, TooLargeOrTooFineIsRefusedBeforeTessellation) {
    const kvhlrtest::TempDir dir;
    std::ifstream in(std::string(KVHLR_MODELS) + "/bracket.step");
    const std::string bracket((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Every circle's radius made 1e200.
    const std::string circle = "CIRCLE('',#";
    std::string circles = bracket;
    for (std::size_t at = circles.find(circle); at != std::string::npos; at = circles.find(circle, at)) {
        const std::size_t radius = circles.find(',', at + circle.size()) + 1;
        circles.replace(radius, circles.find(')', radius) - radius, "1.E200");
        at = radius;
    }
    const std::string huge = dir.write("huge.step", circles);
    EXPECT_THROW(readMeshFile(huge, false, [](double) {}), InputError);
    struct Case {
        double deflection, angle;
        std::string parameter;
    };
    for (const Case& c : {Case{1e-6, 15, "deflection"}, Case{0.01, 0.01, "angular_deflection"}}) {
        CadReading cad;
        cad.deflection = c.deflection;
        cad.relativeDeflection = false;
        cad.angularDeflection = c.angle;
        try {
            readMeshFile(std::string(KVHLR_MODELS) + "/bracket.step", false, [](double) {}, cad);
            ADD_FAILURE() << "read";
        } catch (const InputError& error) {
            EXPECT_EQ(error.parameter(), c.parameter);
            EXPECT_NE(error.reason().find("or more would do"), std::string::npos) << error.reason();
        }
    }
    std::vector<MeshPart> first, second;
    std::thread other([&] { first = readMeshFile(std::string(KVHLR_MODELS) + "/bracket.step", false, [](double) {}); });
    second = readMeshFile(std::string(KVHLR_MODELS) + "/bracket.step", false, [](double) {});
    other.join();
    EXPECT_EQ(triangleCount(first), triangleCount(second));
    EXPECT_GT(triangleCount(first), 0u);
}

} // namespace

// The bracket's holes and boss: true circles of the B-rep's radii, each with a centre mark crossing at
// its centre, as wide as the largest circle about it; a hole seen from the side gets a centre line; the
// plate's rounded corners are arcs, seen from above as from below (where the circles run the other way
// round). Every curve keeps its line within the deflection of it, whatever the view, the hidden
// ellipses too.
TEST(CadFile, CirclesAndEllipsesAreTrueCurvesWithCentreMarks) {
    const auto drawBracket = [](const char* view) {
        std::vector<MeshPart> parts = readMeshFile(std::string(KVHLR_MODELS) + "/bracket.step", false, [](double) {});
        const double deflection = parts.at(0).deflection;
        CameraRequest request;
        request.direction = namedViewDirection(view, UpAxis::Z);
        const KvHLR::ViewInfoCriteria camera = fitCamera(request, parts);
        DrawOptions options;
        options.hidden = true;
        Drawing drawing = drawParts(std::move(parts), camera, options);
        for (const DrawingCurve& curve : drawing.curves)
            for (const ON_2dPoint& p : drawing.lines.at(curve.line).points) {
                // The point's distance from the curve: from the nearest of many points along it.
                double nearest = INFINITY;
                for (int i = 0; i <= 20000; ++i)
                    nearest = std::min(nearest, distance(p, curve.at(curve.start + (curve.end - curve.start) * i / 20000)));
                EXPECT_LE(nearest, 1.05 * deflection) << view;
            }
        return drawing;
    };
    // The radii of the circles and arcs, whole circles' or all.
    const auto radii = [](const Drawing& drawing, bool whole) {
        std::set<double> rounded;
        for (const DrawingCurve& c : drawing.curves)
            if (std::fabs(c.majorRadius - c.minorRadius) < 1e-9 && (c.closed() || !whole))
                rounded.insert(std::round(c.majorRadius * 100) / 100);
        return rounded;
    };
    const Drawing top = drawBracket("top");
    EXPECT_EQ(radii(top, true), (std::set<double>{5, 6.5}));
    EXPECT_EQ(radii(top, false), (std::set<double>{5, 6.5, 8}));
    EXPECT_EQ(radii(drawBracket("bottom"), false), (std::set<double>{5, 6.5, 8}));
    std::vector<const KvHLR::StrokeLine*> centreLines;
    for (const KvHLR::StrokeLine& line : top.lines)
        if (line.kind == CentreLine)
            centreLines.push_back(&line);
    for (const DrawingCurve& circle : top.curves) {
        if (!circle.closed())
            continue;
        int crossing = 0;
        for (const KvHLR::StrokeLine* line : centreLines) {
            const ON_2dPoint& a = line->points.front();
            const ON_2dPoint& b = line->points.back();
            if (distance(ON_2dPoint((a.x + b.x) / 2, (a.y + b.y) / 2), circle.centre) < 1e-6) {
                EXPECT_NEAR(distance(a, b), 2 * 6.5, 1e-6);
                ++crossing;
            }
        }
        EXPECT_EQ(crossing, 2) << "at " << circle.centre.x << ", " << circle.centre.y;
    }
    EXPECT_EQ(centreLines.size(), 5u) << "two marks, and the boss's axis seen from the side";
    EXPECT_EQ(radii(drawBracket("front"), true), (std::set<double>{6, 12}));
    const Drawing iso = drawBracket("iso");
    EXPECT_TRUE(std::any_of(iso.curves.begin(), iso.curves.end(), [&](const DrawingCurve& c) {
        return iso.lines[c.line].kind == Hidden && c.minorRadius < 0.9 * c.majorRadius;
    })) << "hidden ellipses";
    EXPECT_TRUE(std::none_of(iso.lines.begin(), iso.lines.end(),
                             [](const KvHLR::StrokeLine& line) { return line.kind == CentreLine; }))
        << "no axis lies square to an isometric view, nor along it";
}

// Cut through the boss from the left, the bracket keeps the boss's axis, which runs through the cut hole,
// and loses the axis of the plate's hole behind the cut face, which would cross the hatching.
TEST(CadFile, SectionKeepsOnlyTheCentreLinesOfWhatItShows) {
    std::vector<MeshPart> parts = readMeshFile(std::string(KVHLR_MODELS) + "/bracket.step", false, [](double) {});
    DrawOptions options;
    options.section = sectionPlane(SectionChoice{"left", {}, {}, {}}, UpAxis::Z, parts);
    options.partLayers = true;
    CameraRequest request;
    request.direction = sectionViewDirection(*options.section, UpAxis::Z);
    const KvHLR::ViewInfoCriteria camera = fitCamera(request, parts);
    const Drawing drawing = drawParts(std::move(parts), camera, options);
    EXPECT_EQ(drawing.lineParts.size(), drawing.lines.size()) << "a part for each line, after the removal";
    std::vector<double> heights;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        if (line.kind == CentreLine)
            heights.push_back(line.points.front().y - line.points.back().y);
    ASSERT_EQ(heights.size(), 1u);
    EXPECT_NEAR(heights[0], 0.0, 1e-9) << "the boss's axis, level";
}
