#pragma once

#include "kdtree/KvaKdTreeNode.h"

#include <boost/container/small_vector.hpp>
#include <boost/noncopyable.hpp>

#include <algorithm>
#include <array>
#include <cstddef>
#include <numeric>
#include <vector>

namespace Kv {

// A static kd-tree over a copy of its elements, answering open-window queries.
// Element must offer `double coordinate(int axis) const` for axis 0 .. Dim-1.
// The nodes lie in one array in the order a query visits them (each node, then its low subtree, then
// its high subtree), so a query walks mostly forward through memory. Building and querying use
// explicit stacks, so neither uses the call stack in proportion to the tree's depth.
template <class Element, int Dim> class KvaKdTree : private boost::noncopyable {
    static_assert(Dim >= 1, "a kd-tree needs at least one axis");

public:
    using Node = KvaKdTreeNode<Element, Dim>;

    // Minimum and maximum per axis; the window is open, so elements on its border are outside.
    struct Window {
        std::array<double, Dim> min;
        std::array<double, Dim> max;
    };

    KvaKdTree() = default;
    virtual ~KvaKdTree() = default;

    // Replaces any earlier content. Each node holds the median of its index range on its axis,
    // which keeps the tree balanced whatever the order of the elements.
    void build(const std::vector<Element>& elements) {
        build(elements, [](std::size_t) {});
    }

    // The same, calling checkpoint(n) before each node, n the number of elements the node's subtree
    // holds (the work that node's step does); an exception it throws abandons the build and leaves the
    // tree to be built again before use.
    template <class Checkpoint> void build(const std::vector<Element>& elements, Checkpoint&& checkpoint) {
        m_elements = elements;
        m_nodes = std::vector<Node>(m_elements.size());
        m_nodeOfElement.assign(m_elements.size(), 0);
        if (m_elements.empty())
            return;
        std::vector<std::size_t> index(m_elements.size());
        std::iota(index.begin(), index.end(), std::size_t(0));

        // A range of `index` and the slot of its node; its low subtree takes the slots right after
        // that, its high subtree the slots after the low one.
        struct Range {
            std::size_t slot, first, last;
            int axis;
        };
        std::vector<Range> pending{{0, 0, index.size(), 0}};
        while (!pending.empty()) {
            const Range range = pending.back();
            checkpoint(range.last - range.first);
            pending.pop_back();
            const std::size_t mid = range.first + (range.last - range.first) / 2;
            selectMedian(index, range.first, mid, range.last, range.axis);
            Node& node = m_nodes[range.slot];
            node.m_axis = range.axis;
            node.m_element = index[mid];
            node.setCoordinates(m_elements[index[mid]]);
            m_nodeOfElement[index[mid]] = range.slot;
            const int childAxis = (range.axis + 1) % Dim;
            const std::size_t highSlot = range.slot + 1 + (mid - range.first);
            if (range.first < mid) {
                node.m_lowChild = &m_nodes[range.slot + 1];
                pending.push_back({range.slot + 1, range.first, mid, childAxis});
            }
            if (mid + 1 < range.last) {
                node.m_highChild = &m_nodes[highSlot];
                pending.push_back({highSlot, mid + 1, range.last, childAxis});
            }
        }
    }

    // Calls visit(slot) for the slot in the element array of every element strictly inside the
    // window, each node before its low subtree and the low subtree before the high one.
    template <class Visit> void forEachInside(const Window& window, Visit&& visit) const {
        if (m_nodes.empty())
            return;
        // Each step takes one node and leaves at most two, so the stack holds at most one node per
        // level: a balanced tree deeper than 64 levels would need more elements than memory holds,
        // and the stack stays off the heap on every query.
        boost::container::small_vector<const Node*, 64> pending{root()};
        while (!pending.empty()) {
            const Node* node = pending.back();
            pending.pop_back();
            if (isInside(*node, window))
                visit(node->element());
            const int axis = node->axis();
            const double split = node->coordinate(axis);
            if (node->highChild() && window.max[axis] >= split)
                pending.push_back(node->highChild());
            if (node->lowChild() && split >= window.min[axis])
                pending.push_back(node->lowChild());
        }
    }

    // The elements strictly inside the window, in the order of forEachInside.
    std::vector<Element> windowQuery(const Window& window) const {
        std::vector<Element> result;
        forEachInside(window, [&](std::size_t slot) { result.push_back(m_elements[slot]); });
        return result;
    }

    const std::vector<Element>& elements() const { return m_elements; }
    const Node* root() const { return m_nodes.empty() ? nullptr : &m_nodes.front(); }

    // Replaces the element in the given slot of the element array; the tree keeps its shape, and
    // later queries see the new element, and its coordinates, where the old one was.
    void replaceElement(std::size_t slot, const Element& element) {
        m_elements[slot] = element;
        m_nodes[m_nodeOfElement[slot]].setCoordinates(element);
    }

private:
    // Moves the median of [first, last) on the axis into slot mid of the index.
    void selectMedian(std::vector<std::size_t>& index, std::size_t first, std::size_t mid, std::size_t last,
                      int axis) const {
        if (last - first < 2)
            return;
        const auto begin = index.begin();
        std::nth_element(begin + first, begin + mid, begin + last, [&](std::size_t a, std::size_t b) {
            return m_elements[a].coordinate(axis) < m_elements[b].coordinate(axis);
        });
    }

    static bool isInside(const Node& node, const Window& window) {
        for (int axis = 0; axis < Dim; ++axis) {
            const double c = node.coordinate(axis);
            if (!(window.min[axis] < c && c < window.max[axis]))
                return false;
        }
        return true;
    }

    std::vector<Element> m_elements;
    std::vector<Node> m_nodes;                // in query order; the root first
    std::vector<std::size_t> m_nodeOfElement; // slot in m_nodes of each element's node
};

} // namespace Kv
