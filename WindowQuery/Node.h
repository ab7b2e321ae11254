#pragma once

#include "WindowQuery/BuildContext.h"
#include "WindowQuery/NodeBase.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace WindowQuery {
namespace Imple {

template <class Traits, int Level> class SubTree;

// A position in a subtree's item store, which a node keeps in 32 bits.
inline std::uint32_t itemPosition(const std::vector<std::uint32_t>& store) {
    if (store.size() > UINT32_MAX) {
        throw std::length_error("WindowQuery: too many items in one subtree");
    }
    return static_cast<std::uint32_t>(store.size());
}

// A node of level 0 (x). These nodes serve the stab search alone (the range search bisects the event
// list), so a child is only made where items go on down. A subtree has millions of these nodes for a
// large model, so their spanning items live in one array of the subtree, each node holding its range
// of it, and a subtree is built by one thread: the level-1 builders share the threads out.
template <class Traits> class Node<Traits, 0> : public NodeBase<Traits, 0> {
public:
    using NodeBase<Traits, 0>::NodeBase;

    // Builds the node for the distinct coordinates i to j over the intervals lists[begin, end), filing
    // the spanning items of it and of the nodes below it at the end of `store`. The lists handed to
    // the children go on the end of `lists`, used as a stack, so that building allocates nothing.
    void build(BuildContext<Traits>& context, const Event* const* distinct, std::size_t i, std::size_t j,
               std::vector<Interval>& lists, std::size_t begin, std::size_t end,
               std::vector<std::uint32_t>& store);
    // Reports the items whose x-interval, of positive length, contains c; `store` is the subtree's.
    bool stab(Traverser<Traits>& traverser, std::int16_t c, const std::uint32_t* store) const;

private:
    std::uint32_t m_itemsBegin = 0;
    std::uint32_t m_itemsEnd = 0;
};

// A node of level 1 (y). Besides its spanning items it owns two level-0 subtrees: over the items with
// an endpoint in its span and over its spanning items. All nodes are made, since the range phase
// reaches items through the endpoint subtrees of whole spans.
template <class Traits> class Node<Traits, 1> : public NodeBase<Traits, 1> {
public:
    using NodeBase<Traits, 1>::NodeBase;

    void build(BuildContext<Traits>& context, const Event* const* distinct, std::size_t i, std::size_t j,
               std::vector<Interval> items);
    // Stab phase: the items whose y-interval contains the window's centre y, narrowed on x.
    bool stab(Traverser<Traits>& traverser) const;
    // Range phase: the items with a y-endpoint in the window's y-range, narrowed on x.
    bool range(Traverser<Traits>& traverser) const;

    const std::vector<std::uint32_t>& spanningItems() const { return m_spanningItems; }
    const SubTree<Traits, 0>* endpointSubTree() const { return m_endpointSubTree; }
    const SubTree<Traits, 0>* spanningSubTree() const { return m_spanningSubTree; }

private:
    void buildSubTrees(BuildContext<Traits>& context);
    std::vector<std::uint32_t> endpointItems(const QuantisedBox* boxes) const;

    std::vector<std::uint32_t> m_spanningItems;
    SubTree<Traits, 0>* m_endpointSubTree = nullptr;
    SubTree<Traits, 0>* m_spanningSubTree = nullptr;
};

template <class Traits>
void Node<Traits, 0>::build(BuildContext<Traits>& context, const Event* const* distinct, std::size_t i,
                            std::size_t j, std::vector<Interval>& lists, std::size_t begin, std::size_t end,
                            std::vector<std::uint32_t>& store) {
    const std::size_t k = i + (j - i) / 2;
    const std::int16_t split = distinct[k]->coordinate;
    // Copies, not references: pushing onto the lists may move them.
    const std::size_t leftBegin = lists.size();
    m_itemsBegin = itemPosition(store);
    for (std::size_t n = begin; n < end; ++n) {
        const Interval interval = lists[n];
        if (this->spans(interval)) {
            store.push_back(interval.index);
        } else if (interval.low < split) {
            lists.push_back(interval);
        }
    }
    m_itemsEnd = itemPosition(store);
    const std::size_t rightBegin = lists.size();
    for (std::size_t n = begin; n < end; ++n) {
        const Interval interval = lists[n];
        if (!this->spans(interval) && interval.high > split) {
            lists.push_back(interval);
        }
    }
    const std::size_t rightEnd = lists.size();
    NodePool<Node>& pool = context.pools.level0Nodes;
    Node* left = rightBegin == leftBegin ? nullptr : pool.create(distinct[i], distinct[k]);
    Node* right = rightEnd == rightBegin ? nullptr : pool.create(distinct[k], distinct[j]);
    this->setChildren(left, right);
    // The depth is that of a segment tree over at most 2048 coordinates.
    if (left) {
        left->build(context, distinct, i, k, lists, leftBegin, rightBegin, store);
    }
    if (right) {
        right->build(context, distinct, k, j, lists, rightBegin, rightEnd, store);
    }
    lists.resize(leftBegin);
}

template <class Traits>
bool Node<Traits, 0>::stab(Traverser<Traits>& traverser, std::int16_t c, const std::uint32_t* store) const {
    auto report = [&traverser, store](const Node& node) {
        for (const std::uint32_t* item = store + node.m_itemsBegin; item != store + node.m_itemsEnd; ++item) {
            if (!traverser.offer(*item)) {
                return false;
            }
        }
        return true;
    };
    return this->stabPath(traverser, c, report);
}

template <class Traits>
void Node<Traits, 1>::build(BuildContext<Traits>& context, const Event* const* distinct, std::size_t i,
                            std::size_t j, std::vector<Interval> items) {
    std::vector<Interval> toLeft;
    std::vector<Interval> toRight;
    const std::size_t k = i + (j - i) / 2;
    this->distribute(std::move(items), distinct[k]->coordinate, toLeft, toRight, m_spanningItems);
    m_spanningItems.shrink_to_fit();
    if (j > i + 1) {
        NodePool<Node>& pool = context.pools.level1Nodes;
        this->setChildren(pool.create(distinct[i], distinct[k]), pool.create(distinct[k], distinct[j]));
    }
    Node* left = this->leftChild();
    Node* right = this->rightChild();
    auto children = [&] {
        if (!left) {
            return;
        }
        const auto smaller = std::min(left->hi() - left->lo(), right->hi() - right->lo());
        context.threads.runBoth(
            static_cast<std::size_t>(smaller) >= PARALLEL_GRAIN,
            [&] { left->build(context, distinct, i, k, std::move(toLeft)); },
            [&] { right->build(context, distinct, k, j, std::move(toRight)); });
    };
    // The node's spanning items are final now, so its subtrees can be built beside its children.
    const auto span = this->hi() - this->lo();
    context.threads.runBoth(
        static_cast<std::size_t>(span) >= PARALLEL_GRAIN, [&] { buildSubTrees(context); }, children);
}

template <class Traits> void Node<Traits, 1>::buildSubTrees(BuildContext<Traits>& context) {
    const std::vector<std::uint32_t> endpoints = endpointItems(context.boxes);
    const std::vector<std::uint32_t>& spanning = this->spanningItems();
    if (!endpoints.empty()) {
        m_endpointSubTree = context.pools.subTrees.create();
    }
    if (!spanning.empty()) {
        m_spanningSubTree = context.pools.subTrees.create();
    }
    context.threads.runBoth(
        std::min(endpoints.size(), spanning.size()) >= PARALLEL_GRAIN,
        [&] {
            if (m_endpointSubTree) {
                m_endpointSubTree->build(context, endpoints);
            }
        },
        [&] {
            if (m_spanningSubTree) {
                m_spanningSubTree->build(context, spanning);
            }
        });
}

// Each item once, although both its events may lie in the span: through its minimum event, or through
// its maximum event when the minimum lies before the span. The two events of an item of a single
// coordinate are equal and so adjacent in the sorted list; the first of them counts.
template <class Traits>
std::vector<std::uint32_t> Node<Traits, 1>::endpointItems(const QuantisedBox* boxes) const {
    std::vector<std::uint32_t> items;
    items.reserve(static_cast<std::size_t>(this->hi() - this->lo()));
    const std::int16_t first = this->first();
    for (const Event* event = this->lo(); event != this->hi(); ++event) {
        if (event->index == NO_ITEM) {
            continue;
        }
        const std::int16_t low = boxes[event->index].template low<1>();
        const bool takes = event->coordinate == low
                               ? event == this->lo() || (event - 1)->index != event->index
                               : low < first;
        if (takes) {
            items.push_back(event->index);
        }
    }
    return items;
}

template <class Traits> bool Node<Traits, 1>::stab(Traverser<Traits>& traverser) const {
    auto intoSubTree = [&traverser](const Node& node) {
        return !node.m_spanningSubTree || node.m_spanningSubTree->query(traverser);
    };
    return this->stabPath(traverser, traverser.window().template centre<1>(), intoSubTree);
}

template <class Traits> bool Node<Traits, 1>::range(Traverser<Traits>& traverser) const {
    if (!traverser.acceptRange(this->first(), this->last(), 1)) {
        return true;
    }
    const QuantisedBox& window = traverser.window();
    if (window.y0 <= this->first() && window.y1 >= this->last()) {
        return !m_endpointSubTree || m_endpointSubTree->query(traverser);
    }
    const Node* left = this->left();
    const Node* right = this->right();
    if (left && window.y0 <= left->last() && !left->range(traverser)) {
        return false;
    }
    return !(right && window.y1 >= right->first() && !right->range(traverser));
}

} // namespace Imple
} // namespace WindowQuery
