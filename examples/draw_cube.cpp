// Draws a unit cube seen isometrically, hidden lines included, and prints the drawing's polylines.
// The smallest complete use of the library: a triangle soup, an orthographic camera, one call.

#include <Kelvar_HLR.h>

#include <cmath>
#include <cstdio>

namespace {

KvHLR::Polygon3D unitCube() {
    KvHLR::Polygon3D cube;
    for (int i = 0; i < 8; ++i)
        cube.points.emplace_back(i & 1, (i >> 1) & 1, (i >> 2) & 1);
    // Two triangles per face, wound counter-clockwise seen from outside.
    cube.triangles = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                      {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    return cube;
}

// Isometric view of the cube's centre from the direction (1, 1, 1), z up, eye 5 units away.
KvHLR::ViewInfoCriteria isometricView() {
    const double s2 = std::sqrt(2.0), s3 = std::sqrt(3.0), s6 = std::sqrt(6.0);
    const double rows[3][3] = {{-1 / s2, 1 / s2, 0}, {-1 / s6, -1 / s6, 2 / s6}, {1 / s3, 1 / s3, 1 / s3}};
    KvHLR::ViewInfoCriteria view;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            view.modelViewXform[r][c] = rows[r][c];
        view.modelViewXform[r][3] = -(rows[r][0] + rows[r][1] + rows[r][2]) * 0.5;
    }
    view.modelViewXform[2][3] -= 5.0;
    // Orthographic projection of a 2 x 2 window between depths 1 and 10.
    view.projectionXform[0][0] = view.projectionXform[1][1] = 1.0;
    view.projectionXform[2][2] = -2.0 / 9.0;
    view.projectionXform[2][3] = -11.0 / 9.0;
    view.nearPlaneDepth = 1.0;
    view.farPlaneDepth = 10.0;
    return view;
}

} // namespace

int main() {
    KvHLR::ProjectorCriteria criteria;
    criteria.showSilhouette = criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = true;
    criteria.showHiddenLine = true;
    KvHLR::Polygon3D cube = unitCube();
    std::vector<KvHLR::StrokeLine> lines;
    if (!KvHLR::CalcSilhouette(criteria, isometricView(), cube, {}, lines)) {
        std::fprintf(stderr, "draw_cube: the run was cancelled\n");
        return 1;
    }
    std::printf("%zu polylines (kind: 0 silhouette, 1 hidden, 2 concave, 3 convex, 5 other)\n", lines.size());
    for (const KvHLR::StrokeLine& line : lines) {
        std::printf("kind %d:", line.kind);
        for (const ON_2dPoint& p : line.points)
            std::printf(" (%.4f, %.4f)", p.x, p.y);
        std::printf("\n");
    }
    return 0;
}
