#pragma once

// Exact hiding's last step on a drawing: what a pen would draw for nothing, or draw twice, goes.
//
// In:  lines of the drawing (kind 1 hidden, any other kind visible), in drawing units.
// Out: the same lines, less those shorter than the tolerance (an edge seen end-on draws a dot), with
//      every hidden stretch that lies on a visible line cut out (a back edge right behind a front edge
//      in a principal view). A hidden line may come back as several pieces; visible lines keep their
//      points.
// The tolerance is a millionth of the drawing's diagonal. Candidate visible segments come from a grid,
// so the work grows with the number of segments, not with its square.

#include "api/KvHLRRecords.h"

#include <vector>

namespace KvHLR {

void cleanUpDrawing(std::vector<StrokeLine>& lines);

} // namespace KvHLR
