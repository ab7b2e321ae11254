#pragma once

#include "api/KvHLRExport.h"

namespace KvHLR {

// The modes of one run: exact hiding, intersection lines, occlusion levels and provenance, as
// HLRPolyAlgo's switches describe them, and frequent progress (HLRCancelPoll).
// A run takes them from the switches when it starts, unless its caller chose them for it alone
// (CalcSilhouette's overloads that take them, HLRPolyAlgo::setRunModes): a drawing kit can then draw in
// its own modes without changing what any other caller of the library gets.
struct KVHLR_API HLRRunModes {
    bool exactHiding = false;
    bool intersectionLines = false;
    bool frequentProgress = false;
    bool occlusionLevels = false; // only with exact hiding
    bool provenance = false;      // StrokeLine::sources
    // With occlusion levels, the deepest level told apart: deeper hidden pieces are all given the level
    // after it, and an edge covered that often all along leaves the hide pass. 0: every level.
    int deepestLevel = 0;
};

} // namespace KvHLR
