#pragma once

// The camera file: {"modelView": [16 numbers], "projection": [16 numbers], "near": n, "far": f}, the
// matrices row-major (entry 4r + c is row r, column c), acting on column vectors (x, y, z, 1), the eye
// looking along -z in view coordinates. A drawing file carries its camera in the same keys, so it is
// accepted as a camera file too (other keys are ignored).

#include "api/KvHLRRecords.h"
#include "kit/mesh/MeshPart.h"

#include <string>
#include <vector>

namespace kvhlr {

// Reads the camera exactly as given. Throws InputError naming `path` when the file cannot be opened, is
// not JSON, lacks a key, has the wrong number of entries or a non-finite number.
KvHLR::ViewInfoCriteria readCameraFile(const std::string& path);

// Throws InputError naming `subject` when a transform is singular, the near and far depths are not
// positive and finite with near below far, a point of the model projects to infinity, or, for an orthographic
// camera, a point lies on or behind the near plane: the drawing would be meaningless. A perspective
// camera may have points there: the kit cuts the model at its near plane (kit/drawing/NearPlaneCut.h).
void checkCamera(const KvHLR::ViewInfoCriteria& camera, const std::vector<MeshPart>& parts,
                 const std::string& subject);

} // namespace kvhlr
