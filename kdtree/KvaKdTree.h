#pragma once

#include "kdtree/KvaKdTreeNode.h"

#include <boost/noncopyable.hpp>

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <numeric>
#include <vector>

namespace Kv {

// A static kd-tree over a copy of its elements, answering open-window queries.
// Element must offer `double coordinate(int axis) const` for axis 0 .. Dim-1.
// Building and querying walk the tree with explicit stacks, so neither uses the call stack in
// proportion to the tree's depth.
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
        m_elements = elements;
        m_root.reset();
        if (m_elements.empty())
            return;
        std::vector<std::size_t> index(m_elements.size());
        std::iota(index.begin(), index.end(), std::size_t(0));

        struct Range {
            Node* parent;
            bool high;
            std::size_t first, last;
            int axis;
        };
        std::vector<Range> pending{{nullptr, false, 0, index.size(), 0}};
        while (!pending.empty()) {
            const Range range = pending.back();
            pending.pop_back();
            Node* node = makeNode(range.parent, range.high, index, range.first, range.last, range.axis);
            const std::size_t mid = range.first + (range.last - range.first) / 2;
            const int childAxis = (range.axis + 1) % Dim;
            if (range.first < mid)
                pending.push_back({node, false, range.first, mid, childAxis});
            if (mid + 1 < range.last)
                pending.push_back({node, true, mid + 1, range.last, childAxis});
        }
    }

    // Appends the elements strictly inside the window, each node before its low subtree and the
    // low subtree before the high one.
    void windowQuery(const Window& window, std::vector<Element>& result) const {
        std::vector<const Node*> pending;
        if (m_root)
            pending.push_back(m_root.get());
        while (!pending.empty()) {
            const Node* node = pending.back();
            pending.pop_back();
            const Element& element = m_elements[node->element()];
            if (isInside(element, window))
                result.push_back(element);
            const double split = element.coordinate(node->axis());
            if (node->highChild() && window.max[node->axis()] >= split)
                pending.push_back(node->highChild());
            if (node->lowChild() && split >= window.min[node->axis()])
                pending.push_back(node->lowChild());
        }
    }

    std::vector<Element> windowQuery(const Window& window) const {
        std::vector<Element> result;
        windowQuery(window, result);
        return result;
    }

    const std::vector<Element>& elements() const { return m_elements; }
    // Replaces the element in the given slot of the element array; the tree keeps its shape, and
    // later queries see the new element where the old one was.
    void replaceElement(std::size_t slot, const Element& element) { m_elements[slot] = element; }
    const Node* root() const { return m_root.get(); }

private:
    // Selects the median of [first, last) on the axis into the middle slot and hangs a node for
    // it below its parent (or makes it the root).
    Node* makeNode(Node* parent, bool high, std::vector<std::size_t>& index, std::size_t first,
                   std::size_t last, int axis) {
        const std::size_t mid = first + (last - first) / 2;
        if (last - first > 1) {
            const auto begin = index.begin();
            std::nth_element(begin + first, begin + mid, begin + last, [&](std::size_t a, std::size_t b) {
                return m_elements[a].coordinate(axis) < m_elements[b].coordinate(axis);
            });
        }
        auto node = std::make_unique<Node>(axis, index[mid]);
        if (!parent) {
            m_root = std::move(node);
            return m_root.get();
        }
        return high ? parent->setHighChild(std::move(node)) : parent->setLowChild(std::move(node));
    }

    static bool isInside(const Element& element, const Window& window) {
        for (int axis = 0; axis < Dim; ++axis) {
            const double c = element.coordinate(axis);
            if (!(window.min[axis] < c && c < window.max[axis]))
                return false;
        }
        return true;
    }

    std::vector<Element> m_elements;
    std::unique_ptr<Node> m_root;
};

} // namespace Kv
