#pragma once

#include "Hlr/HLRWindowQueryTraits.h"
#include "WindowQuery/RootTree.h"
#include "WindowQuery/Traverser.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KvHLR {

class HLRProjectedTriangle;
class HLRProjectedTriangleEdge;

// Offers one edge at a time to the triangles that the window-query tree finds around it. One
// traverser serves one thread: it holds that thread's per-query stamps.
class HLRWindowQueryTraverser : public WindowQuery::Traverser<HLRWindowQueryTraits> {
public:
    using Tree = WindowQuery::RootTree<HLRWindowQueryTraits>;

    // The nearest depths of the tree's items, as nearestDepthsOf gives them, kept by reference.
    explicit HLRWindowQueryTraverser(const std::vector<std::int16_t>* nearestDepths)
        : m_nearestDepths(nearestDepths) {}
    ~HLRWindowQueryTraverser() override;

    // The depth field of each triangle's packed 3D box maximum (its nearest depth cell), in the
    // order of the tree's items. The traverser reads these from one small array, where reading them
    // from the triangles would fetch a triangle from memory for every item a query reports, and most
    // of them are then found to lie beyond the edge.
    static std::vector<std::int16_t> nearestDepthsOf(const std::vector<HLRProjectedTriangle*>& triangles);

    HLRProjectedTriangleEdge* hiddenObject() const { return m_hiddenObject; }
    // Makes the edge the object of the next queries; its packed screen box is their window.
    void setHiddenObject(HLRProjectedTriangleEdge* edge);

    // Runs the edge's hide test against a triangle the query reports, unless the packed depths show
    // the triangle wholly beyond the edge. False, ending the query, once the edge is all hidden.
    bool visit(HLRProjectedTriangle* const& triangle, std::size_t index) override;

    // Offers the edge to every triangle of the tree whose screen box meets the edge's.
    void hide(const Tree& tree, HLRProjectedTriangleEdge& edge);

    // Builds the tree over the hiders for the queries of the hide pass over these edges, with
    // threadCount builder threads besides the calling one.
    static void buildTree(Tree& tree, std::vector<HLRProjectedTriangle*> hiders,
                          const std::vector<HLRProjectedTriangleEdge*>& edges, unsigned threadCount);

    // The hide pass over a tree that buildTree made for these edges (with any number of builder
    // threads), or a whole tree over the hiders: one parallel loop, each edge on one thread. The hidden
    // state of every edge comes out the same whatever the numbers of threads.
    static void hideEdges(const Tree& tree, const std::vector<HLRProjectedTriangleEdge*>& edges);

private:
    const std::vector<std::int16_t>* m_nearestDepths;
    HLRProjectedTriangleEdge* m_hiddenObject = nullptr;
    std::int16_t m_farthestDepth = 0; // the depth field of the edge's packed 3D box minimum
    std::uint32_t m_tests = 0;        // hide tests run, for a cancel check every few hundred
};

} // namespace KvHLR
