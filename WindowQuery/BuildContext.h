#pragma once

#include "WindowQuery/Event.h"
#include "WindowQuery/NodePool.h"
#include "WindowQuery/ThreadManager.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace WindowQuery {
namespace Imple {

template <class Traits, int Level> class Node;
template <class Traits, int Level> class SubTree;

// Below this many items or events a part of the build is not worth a thread of its own.
constexpr std::size_t PARALLEL_GRAIN = 2048;

// The node pools of one tree: level-1 nodes and level-0 subtrees. (A subtree keeps its own nodes.)
template <class Traits> struct NodePools {
    NodePool<Node<Traits, 1>> level1Nodes;
    NodePool<SubTree<Traits, 0>> subTrees;
};

// A build may be stopped from outside: traits with a static checkpoint() have it called now and then by
// every builder thread (between items, nodes and subtrees), and an exception it throws abandons the
// build, leaving the tree empty. Traits without one build to the end.
template <class Traits, class = void> struct HasCheckpoint : std::false_type {};
template <class Traits>
struct HasCheckpoint<Traits, std::void_t<decltype(Traits::checkpoint())>> : std::true_type {};

template <class Traits> void checkpoint() {
    if constexpr (HasCheckpoint<Traits>::value) {
        Traits::checkpoint();
    }
}

// Traits with a static forEachBlock(count, blockSize, body) run body(begin, end) for the blocks of
// [0, count) on threads of their own, each block once, and return when all are done: a grid's cells are
// then sorted on them. Traits without one have the blocks done in turn on the calling thread.
struct BlockBody {
    void operator()(std::size_t, std::size_t) const {}
};
template <class Traits, class = void> struct HasForEachBlock : std::false_type {};
template <class Traits>
struct HasForEachBlock<Traits, std::void_t<decltype(Traits::forEachBlock(std::size_t{}, std::size_t{}, BlockBody{}))>>
    : std::true_type {};

template <class Traits, class Body> void forEachBlock(std::size_t count, std::size_t blockSize, Body&& body) {
    if constexpr (HasForEachBlock<Traits>::value) {
        Traits::forEachBlock(count, blockSize, body);
    } else {
        for (std::size_t begin = 0; begin < count; begin += blockSize) {
            body(begin, std::min(count, begin + blockSize));
        }
    }
}

// What every builder of one tree shares: the items' grid boxes by index, the pools, the arena of the
// tree's arrays and the thread grants, and which items the tree lists (a flag per item; null: all).
template <class Traits> struct BuildContext {
    const QuantisedBox* boxes;
    NodePools<Traits>& pools;
    Arena& arena;
    ThreadManager& threads;
    const std::uint8_t* held;
};

} // namespace Imple
} // namespace WindowQuery
