#pragma once

#include "Hlr/HLRSequentExecutable.h"
#include "kdtree/KvaKdTree.h"

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace KvHLR {

class HLRPolyAlgo;
class HLRShortStroke;
class HLRShortStrokeEnd;
class HLRShortStrokeGroup;
class HLRStrokeEnd;
struct HLRShortStrokeEndHolder; // the kd-tree element, private to the renewer's source

// Repairs the short-stroke network of one group before joining: ends that nearly coincide with an
// end of a stroke are merged into it, a stroke with another end lying on its interior is split
// there, and finally every end of the group is numbered in set order.
class HLRStrokeNetworkRenewer : public HLRSequentExecutable, private boost::noncopyable {
public:
    HLRStrokeNetworkRenewer(HLRPolyAlgo& polyAlgo, HLRShortStrokeGroup& shortStrokeGroup, int mask,
                            double tolerance);

    // Builds the kd-tree over the ends that carry a stroke of a kind selected by the mask.
    void preProcess() override;
    // Merges and splits, kind by kind.
    void mainProcess() override;
    // Numbers every end of the group 0, 1, 2, ... in set order, merged ones included.
    void postProcess() override;
    ~HLRStrokeNetworkRenewer() override;

    // Whether the end holds an entry (valid or not) in one of the link lists the mask selects.
    static bool hasLinksOfKinds(const HLRShortStrokeEnd& end, int mask);

private:
    using Tree = Kv::KvaKdTree<HLRShortStrokeEndHolder, 2>;
    using Candidates = std::vector<std::size_t>; // slots in the tree's element array

    void renewStrokes(std::deque<HLRShortStroke>& strokes, int kind);
    void renewStroke(HLRShortStroke* stroke, int kind, const Candidates& candidates);
    HLRShortStroke* splitStrokeAt(HLRShortStroke& stroke, HLRShortStrokeEnd& end, int kind);
    // Writes an end's point, moved by a merge, into the tree's copy of it.
    void updatePoint(HLRStrokeEnd* end);

    HLRPolyAlgo* m_polyAlgo;
    HLRShortStrokeGroup* m_shortStrokeGroup;
    int m_mask;
    double m_tolerance;
    std::shared_ptr<Tree> m_tree;
    // Each end in the tree with its slot in the tree's element array, sorted by end.
    std::vector<std::pair<const HLRStrokeEnd*, std::size_t>> m_treeSlots;
};

} // namespace KvHLR
