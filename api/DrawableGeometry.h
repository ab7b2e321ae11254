#pragma once

// The part of a model that a camera can draw. A triangle with a corner that is not finite, or whose
// view position or screen image is not finite, is left out as if the caller had not given it: it
// neither draws nor hides. The entry points build the model from the caller's geometry as given (so
// that host meshes are read once, and before a host view is asked for its camera) and then hand the
// pipeline this part of it.

#include "Hlr/HLRModel.h"
#include "Hlr/HLRProjector.h"

#include <memory>

namespace KvHLR {

// A model of the drawable triangles of `model`, with the same shells and faces, the vertices of each
// face shared as before; nothing when every triangle is drawable, so that the model serves as it is.
std::unique_ptr<HLRModel> drawablePart(HLRModel const& model, HLRProjector const& projector);

} // namespace KvHLR
