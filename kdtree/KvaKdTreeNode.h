#pragma once

#include <boost/noncopyable.hpp>

#include <array>
#include <cstddef>

namespace Kv {

// One node of a KvaKdTree: it splits its subtree at the coordinate of its own element on its axis.
// Nodes live in their tree's node array, which owns them all; a node keeps a copy of its element's
// coordinates so that a query walking the tree reads the node array alone.
template <class Element, int Dim> class KvaKdTreeNode : private boost::noncopyable {
public:
    KvaKdTreeNode() = default;
    virtual ~KvaKdTreeNode() = default;

    int axis() const { return m_axis; }
    // Index of this node's element in the tree's element array.
    std::size_t element() const { return m_element; }
    const KvaKdTreeNode* lowChild() const { return m_lowChild; }
    const KvaKdTreeNode* highChild() const { return m_highChild; }
    double coordinate(int axis) const { return m_coordinates[axis]; }

private:
    template <class, int> friend class KvaKdTree;

    void setCoordinates(const Element& element) {
        for (int axis = 0; axis < Dim; ++axis)
            m_coordinates[axis] = element.coordinate(axis);
    }

    std::array<double, Dim> m_coordinates{};
    std::size_t m_element = 0;
    const KvaKdTreeNode* m_lowChild = nullptr;
    const KvaKdTreeNode* m_highChild = nullptr;
    int m_axis = 0;
};

} // namespace Kv
