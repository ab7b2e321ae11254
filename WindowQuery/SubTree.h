#pragma once

#include "WindowQuery/Tree.h"

#include <cstdint>
#include <vector>

namespace WindowQuery {
namespace Imple {

template <class Traits, int Level> class SubTree;

// A level-0 tree owned by a level-1 node, over a subset of the items.
template <class Traits> class SubTree<Traits, 0> : public Tree<Traits, 0> {
public:
    // Over the items (those held, where the build holds only some) on the coordinates of `whole`, the
    // x-coordinates of the whole set where some are left out.
    void build(BuildContext<Traits>& context, const std::vector<std::uint32_t>& items,
               const CoordinateSet* whole) {
        this->buildLevel(context, items, whole);
    }

    // The items of the subset that meet the window on x, between the traverser's subtree hooks.
    bool query(Traverser<Traits>& traverser) const {
        traverser.enterSubTree();
        const bool going = (!traverser.stab() || this->stabQuery(traverser)) &&
                           (!traverser.range() || this->rangeQuery(traverser));
        traverser.leaveSubTree();
        return going;
    }
};

} // namespace Imple
} // namespace WindowQuery
