#pragma once

// The drawing file: {"format": "kvhlr-drawing-1", "modelView": [16], "projection": [16], "near": n,
// "far": f, "lines": [{"kind": k, "points": [[x, y], ...]}, ...]}: the camera in the layout of the camera
// file, then every line in output order, numbers written so that they read back exactly. A hidden line
// whose occlusion level was counted (DrawOptions::hiddenLevels) has "level": n after its kind.

#include "kit/drawing/Drawing.h"

#include <functional>
#include <ostream>

namespace kvhlr {

// `progress` is told the share of the lines written and may throw to stop (StepProgress).
void writeDrawingJson(std::ostream& out, const Drawing& drawing, const std::function<void(double)>& progress = {});

} // namespace kvhlr
