#pragma once

// The library's entry points: a model and a camera in, the line drawing out.

#include "Hlr/HLRRunModes.h"
#include "api/KvHLRExport.h"
#include "api/KvHLRRecords.h"
#include "host/KvMesh.h"
#include "host/KvvView.h"

#include <boost/intrusive_ptr.hpp>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace KvHLR {

using MeshList = std::vector<boost::intrusive_ptr<Kv::KvmMesh>>;

// Non-finite input: a triangle with a corner that is not finite, or that the camera sends to a
// non-finite view or screen position, is left out (it neither draws nor hides), and a point of the
// drawing that comes out non-finite is dropped from its line, so the drawing holds finite numbers only.

// Progress and cancellation: called as progress(percent, 100) while the work proceeds; a non-zero
// result cancels the run, which then returns false with strokeLines unchanged. By default it is called
// at the stages' reports only, which on a large model may be seconds apart (the search tree, the hide
// pass, the renewal and joining of the strokes). HLRCancelPoll::setFrequentProgress(true), or
// HLRRunModes::frequentProgress for one call, has it called all through a run instead, whenever the
// percentage grows and otherwise about every 20 ms, never with a smaller percentage than before, so
// that a cancel ends the call within a fraction of a second whatever the stage (Hlr/HLRCancelPoll.h). What a
// run of 10,000 triangles or more leaves behind is freed on a thread of the library's own after the call
// returns; the next call waits for it.
//
// Threads: calls from several threads are safe; they run one after another, since the library keeps
// process-wide state. The callback runs while the library is held, so it must not call CalcSilhouette.
// A call uses OpenMP worker threads only where its work pays for them (a hide pass of more than 1,024
// edges, a search for intersection lines among many triangles), and after such a call lets the OpenMP
// runtime's idle threads go (omp_pause_resource_all), so that none spins between calls; a host that
// runs OpenMP loops of its own on the calling thread finds its team started anew at its next loop.
using ProgressFunction = int (*)(long, long);

// What every overload does with the caller's lines: new lines are appended to strokeLines, and a call
// that completes also removes every line without points from it, the caller's own empty lines
// included. A cancelled call returns false and leaves strokeLines as it was.
//
// Exceptions, from every overload: std::out_of_range (a triangle index beyond its point list),
// std::invalid_argument (a null mesh, or a mesh without its vertex or triangle list),
// std::length_error (more than 2^31 - 1 points or triangles, or a result too large to hold),
// std::bad_alloc (out of memory) and HLRError (an internal inconsistency, with its source and line).
// strokeLines is left as it was when one is thrown.

// The std::length_error thrown when, with intersection lines on, the model's triangles cross each
// other along more than kMaxSegments segments (a soup of large triangles all passing through each
// other): more than a drawing can show, and than the hide pass could hold. It is thrown while the
// crossings are found, before memory grows; the same model draws without intersection lines.
class KVHLR_API HLRTooManyIntersectionLines : public std::length_error {
public:
    // Real models with intersection lines have at most some hundreds of thousands of segments; 3.5
    // million (5,000 large triangles in a cube, all crossing) take a run about 1 GB and half a minute.
    static constexpr std::size_t kMaxSegments = 4000000;
    // Without exact hiding the budget is lower, and checked once the crossings are found: there every
    // piece of a line is joined by reading the ends near it, and long lines crossed by many others
    // make that work grow with the square of the segments (a soup of 700 large triangles, about 70,000
    // segments, takes a minute; 1,000 triangles ran for many minutes).
    static constexpr std::size_t kMaxSegmentsPlainHiding = 50000;
    HLRTooManyIntersectionLines();
    // The plain hide test's refusal, naming the limit passed and exact hiding as the way out.
    explicit HLRTooManyIntersectionLines(std::size_t plainHidingLimit);
    ~HLRTooManyIntersectionLines() override;
};

// The std::length_error thrown when, with occlusion levels on, the hide pass would read more than
// kMaxCoverReads occluders in front of edges already hidden all along, to count their levels (a deep
// stack of parts seen from the side puts each edge behind most of them): more time and memory than the
// levels are worth. It is thrown while the levels are counted, before memory grows past the covers
// counted so far; the same model draws with fewer levels told apart (HLRRunModes::deepestLevel), whose
// edges stop reading once covered that often, or without levels.
class KVHLR_API HLRTooManyOcclusionLevels : public std::length_error {
public:
    // 100,000 triangles of boxes stacked 50 deep read about 5 million, every level told apart.
    static constexpr std::size_t kMaxCoverReads = std::size_t{1} << 25;
    HLRTooManyOcclusionLevels();
    ~HLRTooManyOcclusionLevels() override;
};

// Triangle soup. Returns true at once when the polygon has no triangles; otherwise the caller's polygon
// is emptied once the model is built (its memory is released before the heavy work starts), also when
// the call is then cancelled: to draw it again, pass it again.
KVHLR_API bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                              Polygon3D& polygon, std::vector<UserPolyline> const& userPolylines,
                              std::vector<StrokeLine>& strokeLines, ProgressFunction progress = nullptr);

// Host meshes, one shell per mesh, with the camera given as records.
KVHLR_API bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                              MeshList const& meshes, std::vector<UserPolyline> const& userPolylines,
                              std::vector<StrokeLine>& strokeLines, ProgressFunction progress = nullptr);

// The same two, drawn in `modes` chosen for this call alone: the process-wide switches
// (HLRPolyAlgo::setExactHiding, setIntersectionLines) are neither read nor changed, so other callers
// keep getting what they set, whatever this call draws with.
KVHLR_API bool CalcSilhouette(HLRRunModes const& modes, ProjectorCriteria const& criteria,
                              ViewInfoCriteria const& viewInfo, Polygon3D& polygon,
                              std::vector<UserPolyline> const& userPolylines,
                              std::vector<StrokeLine>& strokeLines, ProgressFunction progress = nullptr);
KVHLR_API bool CalcSilhouette(HLRRunModes const& modes, ProjectorCriteria const& criteria,
                              ViewInfoCriteria const& viewInfo, MeshList const& meshes,
                              std::vector<UserPolyline> const& userPolylines,
                              std::vector<StrokeLine>& strokeLines, ProgressFunction progress = nullptr);

// For one view drawn in parts, an addition for distributed drawing (each part a screen tile drawn on a
// machine of its own from the triangles that meet it): the parts' pieces, drawn with
// HLRRunModes::unjoinedPieces and cut to their tiles, with a piece that a tile's border cut in two made
// whole again, joined at once into the drawing's lines as one run over the whole model joins them (the
// same straightest pairs, the same inside-out vote and cleanup). screenMin and screenMax are the whole
// model's box on the screen, which the joiner's distances follow; the pieces are StrokeLines of two
// screen points whose kind is the edge type a part gave and whose one source's edge numbers their end
// nodes across all parts. The joiner's near ties follow the pieces' order, direction and node numbers:
// given in one run's order of edges (each piece's place, HLRRunModes::unjoinedPieces), each edge's pieces
// along it, and numbered as that run numbers its nodes, they join into that run's lines. Appends the
// lines to strokeLines, in the drawing frame of viewInfo, and removes every line without points. Throws
// std::invalid_argument for a piece without exactly two points and one source, or a box without area.
// `progress` is called as for a drawing (frequent progress); returns false, appending nothing, when it
// cancels.
KVHLR_API bool JoinLinePieces(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                              ON_2dPoint const& screenMin, ON_2dPoint const& screenMax,
                              std::vector<StrokeLine> const& pieces, std::vector<StrokeLine>& strokeLines,
                              ProgressFunction progress = nullptr);

// Host meshes seen through a host view. Returns false, appending nothing, when the view is null or
// has no camera.
KVHLR_API bool CalcSilhouette(ProjectorCriteria const& criteria, Kv::KvvView* view, MeshList const& meshes,
                              std::vector<UserPolyline> const& userPolylines,
                              std::vector<StrokeLine>& strokeLines, ProgressFunction progress = nullptr);

} // namespace KvHLR
