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
    // For one view drawn in parts (screen tiles on several machines): the run hands back exact hiding's
    // pieces unjoined, each a StrokeLine of its two ends in screen coordinates (the drawing frame before
    // its scale) whose kind is the piece's edge type before the inside-out vote and whose one source's
    // edge holds the numbers of its two end nodes in the run, for JoinLinePieces to join with the other
    // parts' (api/CalcSilhouette.h), and whose second source is its place in the run's order of edges
    // (HLRExactStrokeJoiner::LoosePiece::place), by which the parts' pieces are put in one run's order.
    // Only with exact hiding, without occlusion levels and provenance.
    bool unjoinedPieces = false;
};

} // namespace KvHLR
