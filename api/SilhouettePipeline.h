#pragma once

// The one pipeline behind every CalcSilhouette overload: projector, hidden-line algorithm, stroke
// joining, and conversion of the result into the caller's drawing frame. Internal to the library.

#include "api/CalcSilhouette.h"

namespace KvHLR {

class HLRModel;
class HLRProjector;

// The projector for the camera of `view` (transforms and depths).
HLRProjector projectorFor(ViewInfoCriteria const& view);

// The line kinds the post processor joins for these options; a set visible bit leaves hidden lines out.
int postProcessingMask(ProjectorCriteria const& criteria);

// Appends the user polylines and the drawing of `model` seen through `projector`, made from `view`, to
// strokeLines and removes every empty entry. A point whose drawing position is not finite is left out
// of its line, in the run's `modes`. Returns false, with strokeLines unchanged, when the progress
// callback cancelled the run.
bool calcSilhouetteCore(ProjectorCriteria const& criteria, ViewInfoCriteria const& view,
                        HLRProjector const& projector, HLRModel const& model,
                        std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                        ProgressFunction progress, HLRRunModes const& modes);

} // namespace KvHLR
