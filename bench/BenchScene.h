#pragma once

// The synthetic meshes as the library takes them, and the camera the benchmarks look through.

#include "bench/BenchMeshes.h"

#include "Hlr/HLRProjector.h"
#include "api/KvHLRRecords.h"

namespace KvHLRBench {

inline KvHLR::Polygon3D soupOf(const Mesh& mesh) {
    KvHLR::Polygon3D soup;
    soup.points.reserve(mesh.points.size());
    for (const Point3& p : mesh.points)
        soup.points.emplace_back(p.x, p.y, p.z);
    soup.triangles = mesh.triangles;
    return soup;
}

// Orthographic, looking down -z from 10 units above the models; the arrays are read column by column.
inline KvHLR::HLRProjector camera() {
    double modelView[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, -10, 1}};
    double projection[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    return KvHLR::HLRProjector(modelView, projection, 1.0, 1000.0);
}

} // namespace KvHLRBench
