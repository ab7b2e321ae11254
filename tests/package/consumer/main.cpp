// A host program built against the installed package: it sees only the public headers and the
// exported symbols, exactly as a CAD host would.
#include <Kelvar_HLR.h>

#include <cmath>
#include <cstdio>

namespace {

int failures = 0;

void expect(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "consumer check failed: %s\n", what);
        ++failures;
    }
}

} // namespace

int main() {
    KvHLR::ProjectorCriteria criteria;
    KvHLR::ViewInfoCriteria view;
    view.nearPlaneDepth = 0.1;
    view.farPlaneDepth = 100.0;
    view.modelViewXform[2][3] = -10.0; // eye ten units in front of the model, looking down -z

    // Points but no triangles: nothing to draw, nothing touched.
    KvHLR::Polygon3D pointsOnly;
    pointsOnly.points = {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0)};
    std::vector<KvHLR::StrokeLine> lines;
    expect(KvHLR::CalcSilhouette(criteria, view, pointsOnly, {}, lines), "points-only polygon returns true");
    expect(pointsOnly.points.size() == 2, "points-only polygon untouched");
    expect(lines.empty(), "points-only polygon draws nothing");

    // One triangle with every line kind off: only the caller's own polylines come back, first and in order.
    KvHLR::Polygon3D triangle;
    triangle.points = {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 0, 0), ON_3dPoint(0, 1, 0)};
    triangle.triangles = {{0, 1, 2}};
    KvHLR::UserPolyline first;
    first.kind = 7;
    first.points = {ON_3dPoint(0, 0, 0), ON_3dPoint(2, 3, 4)};
    KvHLR::UserPolyline second;
    second.kind = 9;
    second.points = {ON_3dPoint(-1, 5, 0)};
    expect(KvHLR::CalcSilhouette(criteria, view, triangle, {first, second}, lines), "triangle returns true");
    expect(triangle.points.empty() && triangle.triangles.empty(), "caller's polygon emptied");
    expect(lines.size() == 2, "exactly the two user polylines come back");
    if (lines.size() == 2) {
        expect(lines[0].kind == 7 && lines[1].kind == 9, "user kinds kept in order");
        // An orthographic camera with identity projection maps world x, y straight to the drawing.
        expect(lines[0].points.size() == 2 && std::fabs(lines[0].points[1].x - 2.0) < 1e-12 &&
                   std::fabs(lines[0].points[1].y - 3.0) < 1e-12,
               "user polyline in drawing coordinates");
        expect(lines[1].points.size() == 1 && std::fabs(lines[1].points[0].x + 1.0) < 1e-12, "second polyline");
    }
    if (failures == 0)
        std::printf("consumer: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
