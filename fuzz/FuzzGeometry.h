#pragma once

// Geometry from a fuzzer's bytes: a triangle soup, either loose or shaped (closed lathe, height
// field, overlapping boxes) and then partly corrupted with extreme coordinates. Every index is in
// range; at most a few hundred triangles.

#include "FuzzBytes.h"
#include "api/CalcSilhouette.h"

namespace KvHLRFuzz {

KvHLR::Polygon3D decodeGeometry(FuzzBytes& bytes);

// The same triangles as one to four host meshes over the soup's points, each either a plain mesh
// or a body split into faces; some meshes may be empty.
KvHLR::MeshList decodeMeshes(const KvHLR::Polygon3D& polygon, FuzzBytes& bytes);

} // namespace KvHLRFuzz
