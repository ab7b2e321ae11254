#pragma once

#include "WindowQuery/Event.h"
#include "WindowQuery/NodePool.h"
#include "WindowQuery/ThreadManager.h"

#include <cstddef>

namespace WindowQuery {
namespace Imple {

template <class Traits, int Level> class Node;
template <class Traits, int Level> class SubTree;

// Below this many items or events a part of the build is not worth a thread of its own.
constexpr std::size_t PARALLEL_GRAIN = 2048;

// The three node pools of one tree.
template <class Traits> struct NodePools {
    NodePool<Node<Traits, 1>> level1Nodes;
    NodePool<Node<Traits, 0>> level0Nodes;
    NodePool<SubTree<Traits, 0>> subTrees;

    template <int Level> NodePool<Node<Traits, Level>>& nodes() {
        if constexpr (Level == 1) {
            return level1Nodes;
        } else {
            return level0Nodes;
        }
    }
};

// What every builder of one tree shares: the items' grid boxes by index, the pools and the thread grants.
template <class Traits> struct BuildContext {
    const QuantisedBox* boxes;
    NodePools<Traits>& pools;
    ThreadManager& threads;
};

} // namespace Imple
} // namespace WindowQuery
