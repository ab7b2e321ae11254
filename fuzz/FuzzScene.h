#pragma once

// Turns a fuzzer's bytes into one call of CalcSilhouette: options, camera, geometry for one of the
// three entry points, user polylines and when the progress callback cancels. Geometry stays at a
// few hundred triangles so that a run takes milliseconds.

#include "FuzzBytes.h"
#include "api/CalcSilhouette.h"

#include <array>
#include <cstdint>
#include <vector>

namespace KvHLRFuzz {

enum class EntryPoint { Polygon, MeshesWithRecords, MeshesWithView };

struct Scene {
    KvHLR::ProjectorCriteria criteria;
    KvHLR::ViewInfoCriteria view;
    EntryPoint entryPoint = EntryPoint::Polygon;
    KvHLR::Polygon3D polygon; // the geometry, also when it goes in as host meshes
    KvHLR::MeshList meshes;   // filled for the two mesh entry points
    std::int32_t windowWidth; // the host view's window; negative for a view without one
    std::int32_t windowHeight;
    std::vector<KvHLR::UserPolyline> userPolylines;
    long cancelAtCall = 0; // the progress call that cancels, counted from 1; 0 never cancels
};

Scene decodeScene(FuzzBytes& bytes);

} // namespace KvHLRFuzz
