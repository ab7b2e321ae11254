#pragma once

// The drawing file: {"format": "kvhlr-drawing-1", "modelView": [16], "projection": [16], "near": n,
// "far": f, "lines": [{"kind": k, "points": [[x, y], ...]}, ...]}: the camera in the layout of the camera
// file, then every line in output order, numbers written so that they read back exactly. A hidden line
// whose occlusion level was counted (DrawOptions::hiddenLevels) has "level": n after its kind.
// With provenance (Drawing::provenance) each line also has "body" (an index into the drawing's
// "bodies", its parts' names; -1 for a line the kit drew, such as a centre line), "edges" (per segment
// the model edge's two vertex indices in the body's mesh, -1 where a segment lies on none; on an
// intersection line the two triangles it lies on) and, on an intersection line, "otherBody"; "bodies"
// follows the lines. A drawing of parts read from CAD files (Drawing::brepEdges) gives each line
// "brepEdges" after "edges" too: per segment the number of the B-rep edge it lies on (kit/mesh/CadFile.h),
// -1 for none (a silhouette of a curved face, a line the kit drew).

#include "kit/drawing/Drawing.h"

#include <functional>
#include <ostream>

namespace kvhlr {

// `progress` is told the share of the lines written and may throw to stop (StepProgress).
void writeDrawingJson(std::ostream& out, const Drawing& drawing, const std::function<void(double)>& progress = {});

} // namespace kvhlr
