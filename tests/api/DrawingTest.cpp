// Whole drawings through the public entry points: which lines of a cube come out as which kind and
// length, whole or face by face, and how cancellation leaves the output. (Larger scenes are judged by
// the checker's cases.)

#include "Scenes.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <filesystem>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

const double kEdge = std::sqrt(2.0 / 3.0); // a unit edge seen isometrically
const ViewInfoCriteria kCubeView = isometric(ON_3dPoint(0.5, 0.5, 0.5));

Polygon3D unitCube() {
    return box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1));
}

TEST(Drawing, CubeSeenIsometricallyHasOutlineInnerAndBackEdges) {
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "wound inside out" : "wound outward");
        const Polygon3D model = reversed ? insideOut(unitCube()) : unitCube();
        const std::map<int, double> visible = {{0, 6 * kEdge}, {3, 3 * kEdge}};
        const std::map<int, double> all = {{0, 6 * kEdge}, {1, 3 * kEdge}, {3, 3 * kEdge}};
        for (auto const& [hidden, expected] : {std::pair{false, visible}, std::pair{true, all}}) {
            const auto drawn = lengthByKind(draw(model, kCubeView, everything(hidden)));
            ASSERT_EQ(drawn.size(), expected.size()) << "hidden lines " << hidden;
            for (auto const& [kind, length] : expected)
                EXPECT_NEAR(drawn.at(kind), length, 1e-9) << "kind " << kind << ", hidden lines " << hidden;
        }
    }
    EXPECT_TRUE(draw(unitCube(), kCubeView, ProjectorCriteria()).empty()) << "the default criteria draw nothing";
}

// 1,600 small cubes at staggered heights, hiding each other's edges: more vertices, triangles and edges
// than the build and the hide pass hand a thread at a time, so that both run with a team.
Polygon3D cubeField() {
    Polygon3D field;
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 40; ++j) {
            const ON_3dPoint corner(0.15 * i, 0.15 * j, 0.05 * ((i + j) % 3));
            append(field, box(corner, corner + ON_3dVector(0.1, 0.1, 0.1)));
        }
    return field;
}

TEST(Drawing, AnAbsurdThreadCountDrawsAsOneThreadDoes) {
    const ViewInfoCriteria seen = view(ON_3dPoint(8, 8, 5.1), ON_3dPoint(3, 3, 0.1), ON_3dVector(0, 0, 1),
                                       orthographic(-6, 6, -6, 6, 1, 20), 1, 20);
    const Polygon3D field = cubeField();
    for (bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact hiding" : "plain hide test");
        const Modes modes(exact);
        const int before = omp_get_max_threads();
        omp_set_num_threads(1);
        const std::vector<StrokeLine> reference = draw(field, seen);
        omp_set_num_threads(100000);
        const std::vector<StrokeLine> drawn = draw(field, seen);
        omp_set_num_threads(before);
        EXPECT_GT(reference.size(), 1600u);
        EXPECT_TRUE(sameDrawing(drawn, reference));
    }
}

std::size_t threadsOfProcess() {
    std::size_t count = 0;
    for ([[maybe_unused]] auto const& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

std::size_t g_mostThreads = 0;

int countThreads(long, long) {
    g_mostThreads = std::max(g_mostThreads, threadsOfProcess());
    return 0;
}

// Threads cost more to wake or start than a small drawing takes: none runs beside the caller's, during
// the call (its progress reports) or after it.
TEST(Drawing, ASmallDrawingRunsOnTheCallingThreadAlone) {
    for (bool exact : {false, true}) {
        const Modes modes(exact, exact);
        draw(unitCube(), kCubeView); // whatever a process starts once is there before the count
        const std::size_t before = threadsOfProcess();
        g_mostThreads = 0;
        Polygon3D cube = unitCube();
        std::vector<StrokeLine> lines;
        ASSERT_TRUE(CalcSilhouette(everything(), kCubeView, cube, {}, lines, countThreads));
        EXPECT_LE(std::max(g_mostThreads, threadsOfProcess()), before) << "exact hiding " << exact;
    }
}

TEST(Drawing, MeshBodyReadWholeOrFaceByFace) {
    ProjectorCriteria criteria = everything(false);
    std::vector<StrokeLine> whole;
    ASSERT_TRUE(CalcSilhouette(criteria, kCubeView, {hostMesh(unitCube(), 2)}, {}, whole));
    auto wholeKinds = lengthByKind(whole);
    EXPECT_NEAR(wholeKinds[0], 6 * kEdge, 1e-9);
    EXPECT_NEAR(wholeKinds[3], 3 * kEdge, 1e-9);

    // Face by face every cube edge borders one face only: the inner edges become outlines too.
    criteria.separateBodyFaces = true;
    std::vector<StrokeLine> separate;
    ASSERT_TRUE(CalcSilhouette(criteria, kCubeView, {hostMesh(unitCube(), 2)}, {}, separate));
    auto separateKinds = lengthByKind(separate);
    EXPECT_EQ(separateKinds.count(3), 0u);
    EXPECT_GE(separateKinds[0], 9 * kEdge - 1e-9);
}

// Cancels on the n-th report and counts the reports it saw.
struct CancelAt {
    static inline int calls = 0;
    static inline int cancelOn = 0;
    static int callback(long, long) { return ++calls == cancelOn ? 1 : 0; }
};

TEST(Drawing, CancellingAtAnyReportLeavesTheOutputAndTheNextRunIntact) {
    CancelAt::calls = 0;
    CancelAt::cancelOn = -1;
    std::vector<StrokeLine> reference;
    Polygon3D cube = unitCube();
    ASSERT_TRUE(CalcSilhouette(everything(), kCubeView, cube, {}, reference, CancelAt::callback));
    const int reports = CancelAt::calls;
    ASSERT_GT(reports, 5);

    for (int cancelOn = 1; cancelOn <= reports; ++cancelOn) {
        std::vector<StrokeLine> lines(2);
        lines[1].kind = 11;
        lines[1].points = {ON_2dPoint(1, 2)};
        CancelAt::calls = 0;
        CancelAt::cancelOn = cancelOn;
        cube = unitCube();
        EXPECT_FALSE(CalcSilhouette(everything(), kCubeView, cube, {}, lines, CancelAt::callback)) << cancelOn;
        ASSERT_EQ(lines.size(), 2u) << cancelOn; // not even the empty entry was compacted away
        EXPECT_TRUE(lines[0].points.empty());
        EXPECT_EQ(lines[1].kind, 11);
        EXPECT_TRUE(cube.triangles.empty()) << "the soup is taken once its model is built";

        // The run after a cancelled one reports the same progress and draws the same lines.
        CancelAt::calls = 0;
        CancelAt::cancelOn = -1;
        std::vector<StrokeLine> again;
        cube = unitCube();
        ASSERT_TRUE(CalcSilhouette(everything(), kCubeView, cube, {}, again, CancelAt::callback));
        EXPECT_EQ(CancelAt::calls, reports);
        EXPECT_EQ(again.size(), reference.size());
    }
}

} // namespace
