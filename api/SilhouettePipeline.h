#pragma once

// The one pipeline behind every CalcSilhouette overload: projector, hidden-line algorithm, stroke
// joining, and conversion of the result into the caller's drawing frame. Internal to the library.

#include "api/CalcSilhouette.h"

namespace KvHLR {

class HLRModel;

// Appends the user polylines and the drawing of `model` to strokeLines and removes every empty entry.
// Returns false, with strokeLines unchanged, when the progress callback cancelled the run.
bool calcSilhouetteCore(ProjectorCriteria const& criteria, ON_Xform const& modelView,
                        ON_Xform const& projection, double nearDepth, double farDepth,
                        CRect const& clientRect, HLRModel const& model,
                        std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                        ProgressFunction progress);

} // namespace KvHLR
