#pragma once

// A camera from a fuzzer's bytes, drawn from families: a sane orthographic or perspective camera
// fitted to the model, one with a singular transform, one with NaN, infinite or huge entries, one
// that sees everything behind its near plane, and one made of arbitrary doubles.

#include "FuzzBytes.h"
#include "api/CalcSilhouette.h"

namespace KvHLRFuzz {

KvHLR::ViewInfoCriteria decodeCamera(const KvHLR::Polygon3D& model, FuzzBytes& bytes);

} // namespace KvHLRFuzz
