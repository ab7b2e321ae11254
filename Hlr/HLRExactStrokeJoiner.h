#pragma once

#include "Hlr/HLRVector2D.h"
#include "api/KvHLRExport.h"
#include "api/KvHLRRecords.h"

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

namespace KvHLR {

class HLRProjectedModel;
class HLRExactEdge;
struct HLRProjectedTriangleVertex;

// Exact hiding's joining, in place of the stroke network: every drawn edge cut at the ends of its
// hidden ranges into visible and hidden pieces, and pieces of one kind that meet end to end joined into
// polylines. The network merges near ends and splits strokes at ends lying on them, which costs a
// search per stroke and a few hundred bytes per piece. Exact hiding already takes the ends of hidden
// ranges within its tolerance of a vertex to the vertex, so pieces meet where they should; the joiner
// makes ends within the network's merge distance one (through a hash of small cells) and drops a
// piece that repeats another, and draws the same lines in about half as many polylines. Where a
// hidden stretch lies along another one, which the network's splits dropped, both are drawn.
//
// In: the projected model after the hide pass. Out: polylines in screen coordinates, each with the edge
// type of its pieces (VISIBLE_EDGE set on visible ones), after the inside-out vote. With occlusion levels
// (HLRProjectedModel::sm_bOcclusionLevels) hidden pieces are cut where their level changes, and only
// pieces of one level join. With provenance, each piece also keeps its source (its body and model edge),
// pieces join only with pieces of their own body (intersection lines of their own pair of bodies), and
// each polyline has a source per segment.
class KVHLR_API HLRExactStrokeJoiner {
public:
    struct Polyline {
        int type = 0;
        std::vector<HLRVector2D> points; // a closed polyline repeats its first point
        int level = 0; // with occlusion levels, a hidden line's level (1 and up); 0 otherwise
        std::vector<LineSource> sources; // with provenance, one per segment
    };
    // Levels above this join as this one (they stay apart from the kinds they join by).
    static constexpr int kMostLevels = 1 << 20;

    // With provenance, gives each edge's source, which its pieces keep; empty without.
    using SourceOf = std::function<LineSource(const HLRExactEdge&)>;

    // Cuts the drawn edges into pieces, recording their sources when `provenance` is set, or else their
    // places when `places` is (LoosePiece::place).
    explicit HLRExactStrokeJoiner(const HLRProjectedModel& model, bool provenance = false,
                                  bool places = false);

    // For one view drawn in parts (screen tiles, api/CalcSilhouette.h's JoinLinePieces): a piece by its
    // ends, edge type and the numbers of its end nodes, as a part hands it back; and the joiner of the
    // parts' pieces. Ends of one number are one node; nodes are numbered in the order of their numbers,
    // since where ends merge the earliest node gives their point: in a run's order, the parts' pieces
    // join into the lines one run would draw.
    struct LoosePiece {
        HLRVector2D from;
        HLRVector2D to;
        int type = 0;
        std::uint32_t fromNode = 0;
        std::uint32_t toNode = 0;
        // Where the piece lies in the run's order of edges, which parts of one model share: a model edge
        // as the triangle that first has it and its side there (edge {triangle, side}, the triangle's
        // position in its body, and body); an intersection line as its two triangles (edge,
        // body and otherBody as provenance gives them); a free edge by its body alone. Recorded only with
        // places (kNone throughout otherwise); the pieces of one edge run from its start to its end.
        LineSource place;
    };
    explicit HLRExactStrokeJoiner(const std::vector<LoosePiece>& pieces);
    // The pieces, each with its type as the hide pass gave it: before the inside-out vote, which
    // reversed them when `convexityReversed`.
    std::vector<LoosePiece> loosePieces(bool convexityReversed) const;

    // The inside-out vote, as the stroke network takes it: at the visible outline's ends of least and
    // greatest x and y, the outline piece turning most to the left votes by whether it tends concave or
    // convex. When the concave votes win, the model is wound inside out, and the visible convex and
    // concave pieces trade kinds. True then.
    bool correctConvexity();

    // Joins the pieces, the hidden ones only when asked for. At an end where more than two pieces of one
    // kind meet, the straightest pairs go on.
    std::vector<Polyline> join(bool withHidden) const;

private:
    struct Piece {
        std::uint32_t from;
        std::uint32_t to;
        int type;
    };

    void addEdgesOf(const std::vector<HLRExactEdge>& edges,
                    const std::vector<HLRProjectedTriangleVertex>& vertices, const SourceOf& sourceOf);
    // Files a piece's source and the group it joins within.
    void addSource(const LineSource& source);
    // The key piece p joins by: joinKindOf(type), apart for each occlusion level and, with provenance,
    // for each group; -1 for a piece that draws nothing.
    std::int64_t joinKeyOfPiece(std::size_t p) const;
    std::uint32_t newNode(const HLRVector2D& point);
    // The hidden stretch [a, b] of an edge from node `from` to node `to`: one piece, or with occlusion
    // levels a piece per level; with provenance each keeps `source`.
    void addHiddenPieces(const HLRExactEdge& edge, double a, double b, std::uint32_t from, std::uint32_t to,
                         const LineSource* source);
    // The kind pieces join by: the network's stroke kinds, with intersection lines and tangent edges
    // apart from the other free edges (they draw as lines of their own); -1 for a piece that draws nothing.
    static int joinKindOf(int type);
    // The type with convex and concave sharp edges traded, as the vote trades them.
    static int withConvexityReversed(int type);

    std::vector<HLRVector2D> m_nodes; // the points where pieces end: vertices, then cuts as they come
    // With occlusion levels, for each node a cut where a hidden stretch's level changes, the lower of
    // the two levels; 0 for other nodes and past the last cut (empty without levels). Which cuts there
    // are depends on how many levels are counted, but not those below a level: a cut merges only with
    // near cuts below the same level, so that it moves no other end, and the visible lines and the
    // pieces of each level counted are the same whichever deepest level is asked.
    std::vector<std::int32_t> m_cutLevels;
    std::vector<Piece> m_pieces;
    std::vector<std::int32_t> m_levels; // with occlusion levels, each piece's (0 for visible ones)
    // With provenance, for each piece: its source, and the group it joins within (a body, or a pair of
    // bodies numbered as met); both empty otherwise.
    std::vector<LineSource> m_sources;
    std::vector<std::uint32_t> m_groups;
    std::unordered_map<std::uint64_t, std::uint32_t> m_pairGroups;
};

} // namespace KvHLR
