#include "Hlr/HLRExactStrokeJoiner.h"

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRCheckedSort.h"
#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLRIntervals.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLROccluder.h"
#include "Hlr/HLROutlineExtremes.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRShortStrokeGroup.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <stdexcept>
#include <utility>

namespace KvHLR {

namespace {

using Edge = HLRProjectedTriangleEdge;

constexpr std::uint32_t NONE = UINT32_MAX;
// Where more pieces of one kind meet, they end there: pairing them is quadratic in their number.
constexpr std::size_t MOST_PIECES_PAIRED = 16;
// Ends this close, as a part of the drawing's smaller extent, are one: the stroke network's distance.
constexpr double MERGE_DISTANCE = 20e-6;

bool isVisible(int type) {
    return (type & Edge::VISIBLE_MASK) != 0;
}

bool isVisibleSilhouette(int type) {
    return Edge::lineKindOf(type, false) == Edge::LineKind::SILHOUETTE;
}

// For each node, the pieces (as piece * 2 + side, side 0 the piece's from-end) that end there and pass
// `takes`, in piece order; endsOf(p) gives piece p's from- and to-node.
template <class EndsOf, class Takes>
void incidence(std::size_t nodeCount, std::size_t pieceCount, EndsOf&& endsOf, Takes&& takes,
               std::vector<std::uint32_t>& start, std::vector<std::uint32_t>& ends) {
    start.assign(nodeCount + 1, 0);
    for (std::size_t p = 0; p < pieceCount; ++p) {
        HLRCancelPoll::check();
        if (takes(p)) {
            const auto [from, to] = endsOf(p);
            ++start[from + 1];
            ++start[to + 1];
        }
    }
    std::partial_sum(start.begin(), start.end(), start.begin());
    ends.resize(start.back());
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (std::size_t p = 0; p < pieceCount; ++p) {
        HLRCancelPoll::check();
        if (takes(p)) {
            const auto [from, to] = endsOf(p);
            ends[next[from]++] = static_cast<std::uint32_t>(2 * p);
            ends[next[to]++] = static_cast<std::uint32_t>(2 * p + 1);
        }
    }
}

// Ends closer than `distance` become one, the earliest of them: a cut of one edge beside a vertex or
// beside a cut of another edge; ends of different `classes` (0 past its end) never. Found through a hash
// of cells `distance` wide, each end compared with the ends of the nine cells around its own (at most a
// few dozen of each: more ends than that within a few tolerances of one another are merged through
// their neighbours anyway).
std::vector<std::uint32_t> mergedNodes(const std::vector<HLRVector2D>& nodes, double distance,
                                       const std::vector<std::int32_t>& classes) {
    // The arrays below take hundreds of megabytes for the millions of ends of a model that passes through
    // itself everywhere: filled with cancel checks (their page faults alone take most of a second).
    std::vector<std::uint32_t> root = filledChecked(nodes.size(), 0u);
    std::iota(root.begin(), root.end(), 0u);
    if (!(distance > 0.0) || nodes.empty())
        return root;
    const auto find = [&root](std::uint32_t node) {
        while (root[node] != node)
            node = root[node] = root[root[node]];
        return node;
    };
    // Open addressing on the cell: a slot holds the last end filed in its cell, whose point tells the
    // cell, and the ends of a cell are chained through nextInCell.
    std::size_t size = 1;
    while (size < 2 * nodes.size())
        size *= 2;
    std::vector<std::uint32_t> slots = filledChecked(size, NONE);
    std::vector<std::uint32_t> nextInCell = filledChecked(nodes.size(), NONE);
    // A point far beyond the drawing (a camera's degenerate corner) is left alone: its cell would not
    // fit the cells' integers.
    const auto usable = [distance](const HLRVector2D& p) {
        return std::fabs(p.x() / distance) < 1e15 && std::fabs(p.y() / distance) < 1e15;
    };
    const auto classOf = [&classes](std::uint32_t node) { return node < classes.size() ? classes[node] : 0; };
    // Each end's cell, worked out once: the probes of the hash compare cells, and two divisions for every
    // probe were most of the joining's time.
    using Cell = std::pair<std::int64_t, std::int64_t>;
    std::vector<Cell> cells = filledChecked(nodes.size(), Cell());
    forEachBlock(nodes.size(), kItemsPerBlock, [&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t node = begin; node < end; ++node)
            if (usable(nodes[node]))
                cells[node] = Cell(static_cast<std::int64_t>(std::floor(nodes[node].x() / distance)),
                                   static_cast<std::int64_t>(std::floor(nodes[node].y() / distance)));
    });
    const auto hashOf = [](Cell cell) {
        return (static_cast<std::uint64_t>(cell.first) * 0x9E3779B97F4A7C15ull) ^
               (static_cast<std::uint64_t>(cell.second) * 0xC2B2AE3D27D4EB4Full);
    };
    const auto slotOf = [&](Cell cell) -> std::uint32_t& {
        for (std::size_t h = hashOf(cell) & (size - 1);; h = (h + 1) & (size - 1))
            if (slots[h] == NONE || cells[slots[h]] == cell)
                return slots[h];
    };
    // A bit per hash of a cell, set where an end lies in a cell of that hash: at least eight bits an end,
    // an eighth of the slots' bytes, which stays in the cache. The cells around an end are nearly always
    // empty, and their probes mostly end at a clear bit rather than at a slot far out in memory.
    std::vector<std::uint64_t> occupied =
        filledChecked(std::max<std::size_t>(1, size / 16), std::uint64_t{0});
    const std::size_t bits = occupied.size() * 64;
    const auto bitOf = [&](Cell cell) { return hashOf(cell) & (bits - 1); };
    const auto isOccupied = [&](Cell cell) {
        const std::size_t bit = bitOf(cell);
        return (occupied[bit / 64] >> (bit % 64) & 1u) != 0;
    };
    for (std::uint32_t node = 0; node < nodes.size(); ++node) {
        HLRCancelPoll::check();
        if (!usable(nodes[node]))
            continue;
        std::uint32_t& head = slotOf(cells[node]);
        nextInCell[node] = head;
        head = node;
        const std::size_t bit = bitOf(cells[node]);
        occupied[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    // The comparisons, most of the time, go to the team, a block of ends each, and the pairs found are
    // joined after in the blocks' order. A set takes its earliest end as root whatever the order in which
    // its pairs are joined, so the result does not depend on the threads.
    constexpr int MOST_COMPARED = 32;
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> near(blockCount(nodes.size(), kItemsPerBlock));
    forEachBlock(nodes.size(), kItemsPerBlock, [&](std::size_t block, std::size_t begin, std::size_t end) {
        for (auto node = static_cast<std::uint32_t>(begin); node < end; ++node) {
            if (!usable(nodes[node]))
                continue;
            const auto [x, y] = cells[node];
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                for (std::int64_t dx = -1; dx <= 1; ++dx) {
                    if (!isOccupied({x + dx, y + dy}))
                        continue;
                    int compared = 0;
                    for (std::uint32_t other = slotOf({x + dx, y + dy}); other != NONE && compared < MOST_COMPARED;
                         other = nextInCell[other], ++compared) {
                        if (other != node && classOf(other) == classOf(node) &&
                            nodes[other].distanceTo(nodes[node]) <= distance)
                            near[block].emplace_back(node, other);
                    }
                }
            }
        }
    });
    for (const auto& pairs : near) {
        HLRCancelPoll::check();
        for (const auto& [node, other] : pairs) {
            const std::uint32_t a = find(node), b = find(other);
            root[std::max(a, b)] = std::min(a, b);
        }
    }
    for (std::uint32_t node = 0; node < nodes.size(); ++node) {
        HLRCancelPoll::check();
        root[node] = find(node);
    }
    return root;
}

// A piece's source as a line runs it: a model edge's vertices swapped when the line runs the piece
// from its to-end.
LineSource sourceAlong(LineSource source, bool reversed) {
    if (reversed && source.otherBody == LineSource::kNone)
        std::swap(source.edge[0], source.edge[1]);
    return source;
}

// The kinds joinKindOf gives.
constexpr int JOIN_KINDS = HLRShortStrokeGroup::STROKE_KIND_COUNT * 3;

// Which body the store position `index` lies in, given the first position of each body.
std::uint32_t bodyOf(const std::vector<std::uint32_t>& firsts, std::uint32_t index) {
    const auto after = std::upper_bound(firsts.begin(), firsts.end(), index);
    return after == firsts.begin() ? LineSource::kNone : static_cast<std::uint32_t>(after - firsts.begin() - 1);
}

// The position in its store of the triangle whose image is `image`, one of `occluders`' images.
std::uint32_t triangleOf(const std::vector<HLROccluder>& occluders, const HLRTriangleImage* image) {
    const auto offset =
        reinterpret_cast<const char*>(image) - reinterpret_cast<const char*>(&occluders[0].image);
    return static_cast<std::uint32_t>(offset / static_cast<std::ptrdiff_t>(sizeof(HLROccluder)));
}

// The sources of the model edges of store `store`: the body and the host indices of the edge's two
// vertices. Only the first store has an origin (the model builds one); another's edges have none.
HLRExactStrokeJoiner::SourceOf modelEdgeSources(const HLRProjectedModel& model, std::size_t store) {
    const HLRModel::Origin& origin = model.model()->origin();
    const HLRProjectedTriangleVertex* vertices = model.triangleData()[store].vertices().data();
    return [&origin, vertices, store](const HLRExactEdge& edge) {
        LineSource source;
        if (store != 0)
            return source;
        const auto a = static_cast<std::uint32_t>(edge.startVertex() - vertices);
        const auto b = static_cast<std::uint32_t>(edge.endVertex() - vertices);
        source.body = bodyOf(origin.firstVertex, a);
        const auto host = [&origin](std::uint32_t v) { return origin.hostVertex.empty() ? v : origin.hostVertex[v]; };
        source.edge = {host(a), host(b)};
        return source;
    };
}

// The places of the model edges of store `store` (LoosePiece::place): the triangle that made the edge,
// which runs it from start to end (its left one), and the side of it that the edge is.
HLRExactStrokeJoiner::SourceOf modelEdgePlaces(const HLRProjectedModel& model, std::size_t store) {
    const HLRModel::Origin& origin = model.model()->origin();
    const HLRProjectedTriangleData& data = model.triangleData()[store];
    return [&origin, &data, store](const HLRExactEdge& edge) {
        LineSource place;
        if (store != 0 || edge.leftTriangle() == nullptr)
            return place;
        const std::uint32_t triangle = triangleOf(data.occluders(), edge.leftTriangle());
        const std::int32_t* corners = data.source()->triangles()[triangle].vertices;
        const auto start = static_cast<std::int32_t>(edge.startVertex() - data.vertices().data());
        const auto end = static_cast<std::int32_t>(edge.endVertex() - data.vertices().data());
        for (std::uint32_t side = 0; side < 3; ++side)
            if (corners[side] == start && corners[(side + 1) % 3] == end)
                place.edge = {triangle, side};
        place.body = bodyOf(origin.firstTriangle, triangle);
        if (place.body != LineSource::kNone)
            place.edge[0] -= origin.firstTriangle[place.body];
        return place;
    };
}

// The sources of the intersection lines: the two triangles each lies on, found from their occluders in
// the first store, in their bodies.
HLRExactStrokeJoiner::SourceOf intersectionSources(const HLRProjectedModel& model) {
    const HLRModel::Origin& origin = model.model()->origin();
    const std::vector<HLROccluder>& occluders = model.triangleData().front().occluders();
    return [&origin, &occluders](const HLRExactEdge& edge) {
        LineSource source;
        const std::uint32_t first = triangleOf(occluders, edge.leftTriangle());
        const std::uint32_t second = triangleOf(occluders, edge.rightTriangle());
        source.body = bodyOf(origin.firstTriangle, first);
        source.otherBody = bodyOf(origin.firstTriangle, second);
        if (source.body == LineSource::kNone || source.otherBody == LineSource::kNone)
            return LineSource();
        source.edge = {first - origin.firstTriangle[source.body], second - origin.firstTriangle[source.otherBody]};
        return source;
    };
}

} // namespace

HLRExactStrokeJoiner::HLRExactStrokeJoiner(const HLRProjectedModel& model, bool provenance, bool places) {
    // The order of the stroke network's groups, so that the vote meets ties as the network does.
    const std::vector<HLRProjectedTriangleData>& stores = model.triangleData();
    // Room for a piece per edge, and a node per vertex and one more per edge (where hidden ranges cut
    // it), which most models do not exceed, so that millions of pieces and nodes are not copied again
    // and again as they come. Room reserved and not written takes no memory.
    std::size_t edges = model.intersectionLines().exactEdges().size(), vertices = model.intersectionLines().vertices().size();
    for (const HLRProjectedTriangleData& store : stores) {
        edges += store.exactEdges().size();
        vertices += store.vertices().size();
    }
    m_pieces.reserve(edges);
    m_nodes.reserve(vertices + edges);
    const bool sources = provenance || places;
    for (std::size_t s = 0; s < stores.size(); ++s)
        addEdgesOf(stores[s].exactEdges(), stores[s].vertices(),
                   provenance ? modelEdgeSources(model, s)
                   : places   ? modelEdgePlaces(model, s)
                              : SourceOf());
    std::uint32_t body = 0;
    for (const HLRProjectedShell& shell : model.shells()) {
        // A shell's free edges (its tangent edges) lie on its body but on no edge of its mesh.
        const LineSource onBody{body++, {LineSource::kNone, LineSource::kNone}, LineSource::kNone};
        addEdgesOf(shell.freeEdges().exactEdges(), shell.freeEdges().vertices(),
                   sources ? SourceOf([onBody](const HLRExactEdge&) { return onBody; }) : SourceOf());
    }
    const std::vector<HLRExactEdge>& intersections = model.intersectionLines().exactEdges();
    addEdgesOf(intersections, model.intersectionLines().vertices(),
               sources && !intersections.empty() ? intersectionSources(model) : SourceOf());
}

void HLRExactStrokeJoiner::addSource(const LineSource& source) {
    m_sources.push_back(source);
    std::uint32_t group = source.body;
    if (source.otherBody != LineSource::kNone) {
        const std::uint64_t pair = std::uint64_t{source.body} << 32 | source.otherBody;
        group = m_pairGroups.emplace(pair, static_cast<std::uint32_t>(m_pairGroups.size())).first->second;
    }
    m_groups.push_back(group);
}

std::int64_t HLRExactStrokeJoiner::joinKeyOfPiece(std::size_t p) const {
    const int kind = joinKindOf(m_pieces[p].type);
    if (kind < 0)
        return kind;
    const std::int64_t level = m_levels.empty() ? 0 : std::min(m_levels[p], kMostLevels);
    const std::int64_t group = m_groups.empty() ? 0 : m_groups[p];
    return kind + JOIN_KINDS * (level + (std::int64_t{kMostLevels} + 1) * group);
}

std::uint32_t HLRExactStrokeJoiner::newNode(const HLRVector2D& point) {
    if (m_nodes.size() >= NONE / 2)
        throw std::length_error("HLRExactStrokeJoiner: Too many line ends.");
    m_nodes.push_back(point);
    return static_cast<std::uint32_t>(m_nodes.size() - 1);
}

// Each edge as the network's extraction cuts it: interval ends of exactly 0 and 1 are the vertices,
// any other one a node of its own; the ends of one edge's pieces shared.
void HLRExactStrokeJoiner::addEdgesOf(const std::vector<HLRExactEdge>& edges,
                                      const std::vector<HLRProjectedTriangleVertex>& vertices,
                                      const SourceOf& sourceOf) {
    std::vector<std::uint32_t> nodeOfVertex; // sized on the first drawn edge
    const auto vertexNode = [&](const HLRProjectedTriangleVertex* vertex) {
        const std::ptrdiff_t index = vertex - vertices.data();
        if (index < 0 || static_cast<std::size_t>(index) >= vertices.size())
            throw std::logic_error("HLRExactStrokeJoiner: an edge's vertex lies outside its vertices.");
        if (nodeOfVertex.empty())
            nodeOfVertex.assign(vertices.size(), NONE);
        std::uint32_t& node = nodeOfVertex[static_cast<std::size_t>(index)];
        if (node == NONE)
            node = newNode(vertex->screenPosition);
        return node;
    };
    LineSource source; // the current edge's, with provenance
    const auto addPiece = [&](std::uint32_t from, std::uint32_t to, int type) {
        m_pieces.push_back(Piece{from, to, type});
        if (HLRProjectedModel::sm_bOcclusionLevels)
            m_levels.push_back(0);
        if (sourceOf)
            addSource(source);
    };
    for (const HLRExactEdge& edge : edges) {
        HLRCancelPoll::check();
        if (!edge.isValid() || (edge.type() & Edge::ALL_MASK) == 0)
            continue;
        if (sourceOf)
            source = sourceOf(edge);
        const std::uint32_t start = vertexNode(edge.startVertex());
        const std::uint32_t end = vertexNode(edge.endVertex());
        const int visible = edge.type() | Edge::VISIBLE_EDGE;
        const HLRIntervals& intervals = edge.hiddenIntervals();
        const int count = intervals.size();
        if (edge.isAllHidden()) {
            addHiddenPieces(edge, 0.0, 1.0, start, end, sourceOf ? &source : nullptr);
            continue;
        }
        if (count == 0) {
            addPiece(start, end, visible);
            continue;
        }
        std::uint32_t previous = intervals.intervalAt(1).from > 0.0 ? start : NONE;
        for (int i = 1; i <= count; ++i) {
            const HLRInterval& interval = intervals.intervalAt(i);
            const std::uint32_t hideFrom =
                interval.from == 0.0 ? start : newNode(edge.coordinate2DAt(interval.from));
            const std::uint32_t hideTo = interval.to == 1.0 ? end : newNode(edge.coordinate2DAt(interval.to));
            if (previous != NONE)
                addPiece(previous, hideFrom, visible);
            addHiddenPieces(edge, interval.from, interval.to, hideFrom, hideTo, sourceOf ? &source : nullptr);
            previous = hideTo;
        }
        if (intervals.intervalAt(count).to < 1.0)
            addPiece(previous, end, visible);
    }
}

void HLRExactStrokeJoiner::addHiddenPieces(const HLRExactEdge& edge, double a, double b, std::uint32_t from,
                                           std::uint32_t to, const LineSource* source) {
    if (!HLRProjectedModel::sm_bOcclusionLevels) {
        m_pieces.push_back(Piece{from, to, edge.type()});
        if (source)
            addSource(*source);
        return;
    }
    const std::vector<HLRCoverCounts::Stretch> stretches = edge.levelsWithin(a, b);
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        const bool last = i + 1 == stretches.size();
        const std::uint32_t next = last ? to : newNode(edge.coordinate2DAt(stretches[i].to));
        if (!last) {
            m_cutLevels.resize(m_nodes.size(), 0);
            m_cutLevels.back() = std::min(stretches[i].count, stretches[i + 1].count);
        }
        m_pieces.push_back(Piece{from, next, edge.type()});
        m_levels.push_back(stretches[i].count);
        if (source)
            addSource(*source);
        from = next;
    }
}

bool HLRExactStrokeJoiner::correctConvexity() {
    std::vector<std::uint32_t> start, ends;
    incidence(
        m_nodes.size(), m_pieces.size(), [this](std::size_t p) { return std::pair(m_pieces[p].from, m_pieces[p].to); },
        [this](std::size_t p) { return isVisibleSilhouette(m_pieces[p].type); }, start, ends);

    // The ends where the visible outline passes (two of its pieces or more) of least and greatest x and y.
    HLROutlineExtremes<std::uint32_t> extremes(NONE);
    for (std::uint32_t node = 0; node < m_nodes.size(); ++node) {
        HLRCancelPoll::check();
        if (start[node + 1] - start[node] >= 2)
            extremes.offer(m_nodes[node], node);
    }
    int vote = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t node = extremes.at(i);
        if (node == NONE)
            continue;
        double best = 0.0;
        int chosen = -1;
        for (std::uint32_t k = start[node]; k < start[node + 1]; ++k) {
            const Piece& piece = m_pieces[ends[k] / 2];
            const std::uint32_t far = ends[k] % 2 == 0 ? piece.to : piece.from;
            const double turn =
                HLRPolyAlgo::turnLeftOf(HLRPolyAlgo::outlineDirectionAt(i), m_nodes[far] - m_nodes[node]);
            if (chosen < 0 || turn > best) {
                best = turn;
                chosen = piece.type;
            }
        }
        if (chosen >= 0)
            vote += HLRPolyAlgo::convexityVoteOf(chosen);
    }
    if (vote <= 0)
        return false;
    for (Piece& piece : m_pieces) {
        HLRCancelPoll::check();
        piece.type = withConvexityReversed(piece.type);
    }
    return true;
}

int HLRExactStrokeJoiner::withConvexityReversed(int type) {
    const int convex = Edge::CONVEX_TEND_EDGE_MASK;
    const int concave = Edge::CONCAVE_TEND_EDGE_MASK;
    const Edge::LineKind kind = Edge::lineKindOf(type, false);
    if (kind == Edge::LineKind::CONVEX_SHARP)
        return (type & ~convex) | concave;
    if (kind == Edge::LineKind::CONCAVE_SHARP)
        return (type & ~concave) | convex;
    return type;
}

HLRExactStrokeJoiner::HLRExactStrokeJoiner(const std::vector<LoosePiece>& pieces) {
    std::vector<std::uint32_t> numbers;
    numbers.reserve(2 * pieces.size());
    for (const LoosePiece& piece : pieces) {
        numbers.push_back(piece.fromNode);
        numbers.push_back(piece.toNode);
    }
    sortChecked(numbers, std::less<std::uint32_t>());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    m_nodes = filledChecked(numbers.size(), HLRVector2D());
    const auto nodeOf = [&numbers, this](std::uint32_t number, const HLRVector2D& point) {
        const auto node = static_cast<std::uint32_t>(
            std::lower_bound(numbers.begin(), numbers.end(), number) - numbers.begin());
        m_nodes[node] = point;
        return node;
    };
    m_pieces.reserve(pieces.size());
    for (const LoosePiece& piece : pieces) {
        HLRCancelPoll::check();
        const std::uint32_t from = nodeOf(piece.fromNode, piece.from);
        m_pieces.push_back(Piece{from, nodeOf(piece.toNode, piece.to), piece.type});
    }
}

std::vector<HLRExactStrokeJoiner::LoosePiece>
HLRExactStrokeJoiner::loosePieces(bool convexityReversed) const {
    std::vector<LoosePiece> pieces;
    pieces.reserve(m_pieces.size());
    for (std::size_t p = 0; p < m_pieces.size(); ++p) {
        const Piece& piece = m_pieces[p];
        pieces.push_back(LoosePiece{m_nodes[piece.from], m_nodes[piece.to],
                                    convexityReversed ? withConvexityReversed(piece.type) : piece.type,
                                    piece.from, piece.to, m_sources.empty() ? LineSource() : m_sources[p]});
    }
    return pieces;
}

int HLRExactStrokeJoiner::joinKindOf(int type) {
    const int kind = HLRShortStrokeGroup::strokeKindOf(type, false);
    if (kind < 0)
        return -1;
    const int apart = (type & Edge::INTERSECTION_EDGE) ? 1 : (type & Edge::TANGENT_EDGE) ? 2 : 0;
    return kind * 3 + apart;
}

std::vector<HLRExactStrokeJoiner::Polyline> HLRExactStrokeJoiner::join(bool withHidden) const {
    // Every step but the tracing of the chains goes to the team: each works on pieces or on ends of its
    // own and reads only what the steps before it made, so the lines are the same on any number of threads.
    const std::size_t pieceCount = m_pieces.size();
    std::vector<std::int64_t> kinds(pieceCount);
    std::vector<std::uint32_t> from(pieceCount), to(pieceCount);
    const HLRBox2D& world = HLRBoundingBox2D::world();
    const std::vector<std::uint32_t> merged =
        mergedNodes(m_nodes, MERGE_DISTANCE * std::min(world.width(), world.height()), m_cutLevels);
    forEachBlock(pieceCount, kItemsPerBlock, [&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t p = begin; p < end; ++p) {
            const Piece& piece = m_pieces[p];
            from[p] = merged[piece.from];
            to[p] = merged[piece.to];
            const bool wanted = from[p] != to[p] && (withHidden || isVisible(piece.type));
            kinds[p] = wanted ? joinKeyOfPiece(p) : -1;
        }
    });
    std::vector<std::uint32_t> start, ends;
    incidence(
        m_nodes.size(), pieceCount, [&](std::size_t p) { return std::pair(from[p], to[p]); },
        [&kinds](std::size_t p) { return kinds[p] >= 0; }, start, ends);
    const auto farNode = [&](std::uint32_t pieceEnd) { return pieceEnd % 2 == 0 ? to[pieceEnd / 2] : from[pieceEnd / 2]; };

    // A piece of the same kind as an earlier one between the same two ends draws nothing new. It is looked
    // for at each end of the piece where no more than MOST_PIECES_PAIRED pieces meet; an end lists its
    // pieces in their order, so the earlier ones come first.
    const auto repeatsAt = [&](std::uint32_t node, std::uint32_t pieceEnd) {
        if (start[node + 1] - start[node] > MOST_PIECES_PAIRED)
            return false;
        for (std::uint32_t k = start[node]; k < start[node + 1] && ends[k] / 2 < pieceEnd / 2; ++k)
            if (kinds[ends[k] / 2] == kinds[pieceEnd / 2] && farNode(ends[k]) == farNode(pieceEnd))
                return true;
        return false;
    };
    std::vector<char> repeated(pieceCount, 0);
    forEachBlock(pieceCount, kItemsPerBlock, [&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t p = begin; p < end; ++p) {
            const auto first = static_cast<std::uint32_t>(2 * p);
            repeated[p] = kinds[p] >= 0 && (repeatsAt(from[p], first) || repeatsAt(to[p], first + 1));
        }
    });
    for (std::size_t p = 0; p < pieceCount; ++p)
        if (repeated[p])
            kinds[p] = -1;

    // At every node, the pieces of each kind paired: two simply; more by the straightest pairs first.
    struct Scratch {
        std::vector<std::uint32_t> group;
        std::vector<std::pair<double, std::pair<std::uint32_t, std::uint32_t>>> pairs;
    };
    std::vector<std::uint32_t> partner(2 * pieceCount, NONE);
    constexpr std::ptrdiff_t kNodesPerBlock = 16384;
    runInParallel(
        static_cast<std::ptrdiff_t>(m_nodes.size()), kNodesPerBlock, [] { return Scratch(); },
        [&](Scratch& scratch, std::ptrdiff_t at) {
            HLRCancelPoll::check();
            const auto node = static_cast<std::uint32_t>(at);
            std::vector<std::uint32_t>& group = scratch.group;
            group.clear();
            for (std::uint32_t k = start[node]; k < start[node + 1]; ++k)
                if (kinds[ends[k] / 2] >= 0)
                    group.push_back(ends[k]);
            if (group.size() < 2)
                return;
            std::stable_sort(group.begin(), group.end(),
                             [&kinds](std::uint32_t a, std::uint32_t b) { return kinds[a / 2] < kinds[b / 2]; });
            for (std::size_t begin = 0; begin < group.size();) {
                std::size_t stop = begin + 1;
                while (stop < group.size() && kinds[group[stop] / 2] == kinds[group[begin] / 2])
                    ++stop;
                if (stop - begin == 2) {
                    partner[group[begin]] = group[begin + 1];
                    partner[group[begin + 1]] = group[begin];
                } else if (stop - begin <= MOST_PIECES_PAIRED) {
                    auto& pairs = scratch.pairs;
                    pairs.clear();
                    const auto leaving = [&](std::uint32_t pieceEnd) {
                        HLRVector2D direction = m_nodes[farNode(pieceEnd)] - m_nodes[node];
                        const double length = direction.length();
                        return length > 0.0 ? direction /= length : direction;
                    };
                    for (std::size_t i = begin; i < stop; ++i) {
                        const HLRVector2D a = leaving(group[i]);
                        for (std::size_t j = i + 1; j < stop; ++j) {
                            const HLRVector2D b = leaving(group[j]);
                            pairs.push_back({a.x() * b.x() + a.y() * b.y(), {group[i], group[j]}});
                        }
                    }
                    // Most nearly opposite directions first; ties in the order the pieces came.
                    std::stable_sort(pairs.begin(), pairs.end(),
                                     [](const auto& x, const auto& y) { return x.first < y.first; });
                    for (const auto& [cosine, ab] : pairs) {
                        if (partner[ab.first] == NONE && partner[ab.second] == NONE) {
                            partner[ab.first] = ab.second;
                            partner[ab.second] = ab.first;
                        }
                    }
                }
                begin = stop;
            }
        });

    // Open chains from their unpaired ends first, then the closed ones that are left. The chains are
    // found in that order on this thread (each by its first piece end and its number of pieces), and
    // their polylines are filled on the team.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> chains;
    std::vector<bool> used(pieceCount, false);
    const auto walk = [&](std::uint32_t pieceEnd) {
        std::uint32_t count = 0;
        for (std::uint32_t current = pieceEnd; current != NONE && !used[current / 2]; current = partner[current ^ 1u]) {
            used[current / 2] = true; // current ^ 1 is the piece's other end, where the chain goes on
            ++count;
        }
        chains.emplace_back(pieceEnd, count);
    };
    for (std::uint32_t p = 0; p < pieceCount; ++p) {
        HLRCancelPoll::check();
        if (kinds[p] < 0 || used[p])
            continue;
        if (partner[2 * p] == NONE)
            walk(2 * p);
        else if (partner[2 * p + 1] == NONE)
            walk(2 * p + 1);
    }
    for (std::uint32_t p = 0; p < pieceCount; ++p) {
        HLRCancelPoll::check();
        if (kinds[p] >= 0 && !used[p])
            walk(2 * p);
    }
    std::vector<Polyline> polylines(chains.size());
    constexpr std::ptrdiff_t kChainsPerBlock = 4096;
    runInParallel(
        static_cast<std::ptrdiff_t>(chains.size()), kChainsPerBlock, [] { return 0; },
        [&](int, std::ptrdiff_t c) {
            HLRCancelPoll::check();
            const auto [pieceEnd, count] = chains[static_cast<std::size_t>(c)];
            Polyline& line = polylines[static_cast<std::size_t>(c)];
            line.type = m_pieces[pieceEnd / 2].type;
            line.level = m_levels.empty() ? 0 : m_levels[pieceEnd / 2];
            line.points.reserve(count + 1);
            line.points.push_back(m_nodes[pieceEnd % 2 == 0 ? from[pieceEnd / 2] : to[pieceEnd / 2]]);
            if (!m_sources.empty())
                line.sources.reserve(count);
            std::uint32_t current = pieceEnd;
            for (std::uint32_t k = 0; k < count; ++k, current = partner[current ^ 1u]) {
                line.points.push_back(m_nodes[farNode(current)]);
                if (!m_sources.empty())
                    line.sources.push_back(sourceAlong(m_sources[current / 2], current % 2 == 1));
            }
        });
    return polylines;
}

} // namespace KvHLR
