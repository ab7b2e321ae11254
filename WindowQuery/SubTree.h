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
    void build(BuildContext<Traits>& context, const std::vector<std::uint32_t>& items) {
        this->buildLevel(context, items);
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
