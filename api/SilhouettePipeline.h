#pragma once

// The one pipeline behind every CalcSilhouette overload: projector, hidden-line algorithm, stroke
// joining, and conversion of the result into the caller's drawing frame. Internal to the library.

#include "api/CalcSilhouette.h"

#include <memory>
#include <vector>

namespace KvHLR {

class HLRBox2D;
class HLRModel;
class HLRProjector;

// What a run leaves behind to free: its model, projected model, stroke network and long strokes. On a
// large model these are millions of small objects that take up to a second to free, which the entry
// points do on a thread of their own (also after a cancel), so that a call returns without that wait.
using Leftovers = std::vector<std::shared_ptr<void>>;

// Waits until the leftovers of the last run of an entry point are freed. Their destructors touch the
// stages' process-wide state, so code that runs the stages itself (a benchmark timing them one by one)
// waits for them first, as the entry points do.
void waitForLeftoversOfLastRun();

// The projector for the camera of `view` (transforms and depths).
HLRProjector projectorFor(ViewInfoCriteria const& view);

// The line kinds the post processor joins for these options; a set visible bit leaves hidden lines out.
int postProcessingMask(ProjectorCriteria const& criteria);

// Appends the user polylines and the drawing of `model` seen through `projector`, made from `view`, to
// strokeLines and removes every empty entry. A point whose drawing position is not finite is left out
// of its line, in the run's `modes`. Returns false, with strokeLines unchanged, when the progress
// callback cancelled the run. The stages' objects go to `leftovers` as soon as they are made, whether the
// run ends, is cancelled or fails.
bool calcSilhouetteCore(ProjectorCriteria const& criteria, ViewInfoCriteria const& view,
                        HLRProjector const& projector, HLRModel const& model,
                        std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                        ProgressFunction progress, HLRRunModes const& modes, Leftovers& leftovers);

// The loose pieces of several runs (HLRRunModes::unjoinedPieces) joined as one run joins its own, within
// the model's box on the screen (`screenBox`, which the joiner's merge distance follows), voted inside
// out or not on all of them, converted to the drawing frame of `view` and cleaned up; appended to lines.
void joinLoosePieces(ProjectorCriteria const& criteria, ViewInfoCriteria const& view,
                     HLRBox2D const& screenBox, std::vector<StrokeLine> const& pieces,
                     std::vector<StrokeLine>& lines);

} // namespace KvHLR
