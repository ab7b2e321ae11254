#pragma once

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRShortStroke.h"
#include "Hlr/HLRShortStrokeEnd.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <deque>
#include <set>

namespace KvHLR {

class HLRPolyAlgo;
class HLRProjectedFreeEdgeData;
class HLRProjectedTriangleData;
class HLRProjectedTriangleEdge;
struct HLRProjectedTriangleVertex;

// Orders ends as HLRShortStrokeEnd::precedes does, and finds the end made from a vertex without
// making one first.
struct HLRShortStrokeEndOrder {
    using is_transparent = void;
    bool operator()(const HLRShortStrokeEnd& a, const HLRShortStrokeEnd& b) const { return a.precedes(b); }
    bool operator()(const HLRShortStrokeEnd& a, const HLRProjectedTriangleVertex* vertex) const;
    bool operator()(const HLRProjectedTriangleVertex* vertex, const HLRShortStrokeEnd& b) const;
};

using HLRShortStrokeEndSet = std::set<HLRShortStrokeEnd, HLRShortStrokeEndOrder>;

// The short strokes cut from the edges of one source (a projected triangle data or the free-edge
// set of a shell), filed by kind, and the ends they share. Strokes and ends point at each other by
// address, so a group is filled in place and never copied.
class HLRShortStrokeGroup {
public:
    // Positions of the stroke lists; HLRPolyAlgo keeps its result lists in the same order.
    enum StrokeKind {
        HIDDEN_STROKES,
        SILHOUETTE_STROKES,
        CONVEX_SHARP_EDGE_STROKES,
        CONCAVE_SHARP_EDGE_STROKES,
        FREE_EDGE_STROKES,
        DIMENSION_STROKES,
        FREE_EDGE_HIDDEN_STROKES,
        DIMENSION_HIDDEN_STROKES,
        STROKE_KIND_COUNT
    };
    // A deque: strokes stay in place as more are appended, and millions of them take few allocations.
    using StrokeList = std::deque<HLRShortStroke>;

    // The group's ends in set order, open for change in place: the order rests on what no change
    // can touch (the vertex an end was made from, or the order in which it was made).
    class EndRange {
    public:
        class iterator {
        public:
            using iterator_category = std::bidirectional_iterator_tag;
            using value_type = HLRShortStrokeEnd;
            using difference_type = std::ptrdiff_t;
            using pointer = HLRShortStrokeEnd*;
            using reference = HLRShortStrokeEnd&;

            iterator() = default;
            explicit iterator(HLRShortStrokeEndSet::iterator it) : m_it(it) {}
            reference operator*() const { return const_cast<HLRShortStrokeEnd&>(*m_it); }
            pointer operator->() const { return &**this; }
            iterator& operator++() {
                ++m_it;
                return *this;
            }
            iterator operator++(int) { return iterator(m_it++); }
            iterator& operator--() {
                --m_it;
                return *this;
            }
            iterator operator--(int) { return iterator(m_it--); }
            bool operator==(const iterator& other) const { return m_it == other.m_it; }
            bool operator!=(const iterator& other) const { return m_it != other.m_it; }

        private:
            HLRShortStrokeEndSet::iterator m_it;
        };

        explicit EndRange(HLRShortStrokeEndSet& ends) : m_ends(&ends) {}
        iterator begin() const { return iterator(m_ends->begin()); }
        iterator end() const { return iterator(m_ends->end()); }
        std::size_t size() const { return m_ends->size(); }
        bool empty() const { return m_ends->empty(); }

    private:
        HLRShortStrokeEndSet* m_ends;
    };

    explicit HLRShortStrokeGroup(const HLRProjectedTriangleData& triangleData);
    explicit HLRShortStrokeGroup(const HLRProjectedFreeEdgeData& freeEdgeData);
    HLRShortStrokeGroup(const HLRShortStrokeGroup&) = delete;
    HLRShortStrokeGroup& operator=(const HLRShortStrokeGroup&) = delete;

    // Appends a copy of the stroke to the list of its kind and registers it with the algorithm.
    HLRShortStroke* newShortStroke(const HLRShortStroke& stroke, HLRPolyAlgo& algo);
    // The group's end at the vertex, made and registered with the algorithm on first request.
    HLRShortStrokeEnd* newShortStrokeEnd(const HLRProjectedTriangleVertex* vertex, HLRPolyAlgo& algo);
    // A new end at the point; ends made from points are never shared.
    HLRShortStrokeEnd* newShortStrokeEnd(const HLRVector2D& point, HLRPolyAlgo& algo);
    // Cuts the edge at the ends of its hidden intervals into alternately visible and hidden
    // strokes, in order along the edge.
    void addEdge(const HLRProjectedTriangleEdge& edge, HLRPolyAlgo& algo);
    void clearTerminalFlags();

    // The list position for a stroke type, or -1 for a type of no kind. With convexityReversed,
    // convex sharp strokes are filed as concave ones and the other way round.
    static int strokeKindOf(int type, bool convexityReversed);

    StrokeList& strokes(StrokeKind kind) { return m_strokes[kind]; }
    const StrokeList& strokes(StrokeKind kind) const { return m_strokes[kind]; }
    StrokeList& hiddenStrokes() { return m_strokes[HIDDEN_STROKES]; }
    const StrokeList& hiddenStrokes() const { return m_strokes[HIDDEN_STROKES]; }
    StrokeList& silhouetteStrokes() { return m_strokes[SILHOUETTE_STROKES]; }
    const StrokeList& silhouetteStrokes() const { return m_strokes[SILHOUETTE_STROKES]; }
    StrokeList& convexSharpEdgeStrokes() { return m_strokes[CONVEX_SHARP_EDGE_STROKES]; }
    const StrokeList& convexSharpEdgeStrokes() const { return m_strokes[CONVEX_SHARP_EDGE_STROKES]; }
    StrokeList& concaveSharpEdgeStrokes() { return m_strokes[CONCAVE_SHARP_EDGE_STROKES]; }
    const StrokeList& concaveSharpEdgeStrokes() const { return m_strokes[CONCAVE_SHARP_EDGE_STROKES]; }
    StrokeList& freeEdgeStrokes() { return m_strokes[FREE_EDGE_STROKES]; }
    const StrokeList& freeEdgeStrokes() const { return m_strokes[FREE_EDGE_STROKES]; }
    StrokeList& dimensionStrokes() { return m_strokes[DIMENSION_STROKES]; }
    const StrokeList& dimensionStrokes() const { return m_strokes[DIMENSION_STROKES]; }
    StrokeList& freeEdgeHiddenStrokes() { return m_strokes[FREE_EDGE_HIDDEN_STROKES]; }
    const StrokeList& freeEdgeHiddenStrokes() const { return m_strokes[FREE_EDGE_HIDDEN_STROKES]; }
    StrokeList& dimensionHiddenStrokes() { return m_strokes[DIMENSION_HIDDEN_STROKES]; }
    const StrokeList& dimensionHiddenStrokes() const { return m_strokes[DIMENSION_HIDDEN_STROKES]; }

    EndRange ends() { return EndRange(m_ends); }
    const HLRShortStrokeEndSet& ends() const { return m_ends; }
    const HLRProjectedTriangleData* triangleData() const { return m_triangleData; }
    const HLRProjectedFreeEdgeData* freeEdgeData() const { return m_freeEdgeData; }
    const HLRBox2D& bounds() const { return m_bounds; }
    // Set by HLRPolyAlgo when its orientation vote finds the model inside out. The strokes filed
    // before keep their lists while their kinds are corrected, so the convex list then holds
    // concave strokes and the other way round; strokes filed later (split halves) join them there.
    bool convexityReversed() const { return m_convexityReversed; }
    void setConvexityReversed(bool reversed) { m_convexityReversed = reversed; }

private:
    HLRShortStroke* linkNewStroke(HLRShortStrokeEnd* from, HLRShortStrokeEnd* to, int type,
                                  HLRPolyAlgo& algo);

    const HLRProjectedTriangleData* m_triangleData;
    const HLRProjectedFreeEdgeData* m_freeEdgeData;
    bool m_convexityReversed = false;
    std::array<StrokeList, STROKE_KIND_COUNT> m_strokes;
    HLRShortStrokeEndSet m_ends;
    HLRBox2D m_bounds;
};

} // namespace KvHLR
