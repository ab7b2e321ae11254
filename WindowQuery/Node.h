#pragma once

#include "WindowQuery/BuildContext.h"
#include "WindowQuery/NodeBase.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace WindowQuery {
namespace Imple {

template <class Traits, int Level> class SubTree;

// A node of level 0 (x). These nodes serve the stab search alone (the range search bisects the event
// list), so a child is only made where items go on down.
template <class Traits> class Node<Traits, 0> : public NodeBase<Traits, 0> {
public:
    using NodeBase<Traits, 0>::NodeBase;

    // Builds the node for the distinct coordinates i to j and files the items below it.
    void build(BuildContext<Traits>& context, const Event* const* distinct, std::size_t i, std::size_t j,
               std::vector<Interval> items);
    // Reports the items whose x-interval, of positive length, contains c.
    bool stab(Traverser<Traits>& traverser, std::int16_t c) const;
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

    const SubTree<Traits, 0>* endpointSubTree() const { return m_endpointSubTree; }
    const SubTree<Traits, 0>* spanningSubTree() const { return m_spanningSubTree; }

private:
    void buildSubTrees(BuildContext<Traits>& context);
    std::vector<std::uint32_t> endpointItems(const QuantisedBox* boxes) const;

    SubTree<Traits, 0>* m_endpointSubTree = nullptr;
    SubTree<Traits, 0>* m_spanningSubTree = nullptr;
};

template <class Traits>
void Node<Traits, 0>::build(BuildContext<Traits>& context, const Event* const* distinct, std::size_t i,
                            std::size_t j, std::vector<Interval> items) {
    std::vector<Interval> toLeft;
    std::vector<Interval> toRight;
    const std::size_t k = i + (j - i) / 2;
    this->distribute(std::move(items), distinct[k]->coordinate, toLeft, toRight);
    NodePool<Node>& pool = context.pools.level0Nodes;
    Node* left = toLeft.empty() ? nullptr : pool.create(distinct[i], distinct[k]);
    Node* right = toRight.empty() ? nullptr : pool.create(distinct[k], distinct[j]);
    this->setChildren(left, right);
    context.threads.runBoth(
        std::min(toLeft.size(), toRight.size()) >= PARALLEL_GRAIN,
        [&] {
            if (left) {
                left->build(context, distinct, i, k, std::move(toLeft));
            }
        },
        [&] {
            if (right) {
                right->build(context, distinct, k, j, std::move(toRight));
            }
        });
}

template <class Traits> bool Node<Traits, 0>::stab(Traverser<Traits>& traverser, std::int16_t c) const {
    auto report = [&traverser](const Node& node) {
        for (std::uint32_t index : node.spanningItems()) {
            if (!traverser.offer(index)) {
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
    this->distribute(std::move(items), distinct[k]->coordinate, toLeft, toRight);
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
