#pragma once

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <memory>

namespace Kv {

// One node of a KvaKdTree: it splits its subtree at the coordinate of its own element on its axis.
// Children are owned; the depth of a built tree is logarithmic in its size, so the recursive
// destruction through the owning pointers stays shallow.
template <class Element, int Dim> class KvaKdTreeNode : private boost::noncopyable {
public:
    KvaKdTreeNode(int axis, std::size_t element) : m_axis(axis), m_element(element) {}
    virtual ~KvaKdTreeNode() = default;

    int axis() const { return m_axis; }
    // Index of this node's element in the tree's element array.
    std::size_t element() const { return m_element; }
    const KvaKdTreeNode* lowChild() const { return m_lowChild.get(); }
    const KvaKdTreeNode* highChild() const { return m_highChild.get(); }

    KvaKdTreeNode* setLowChild(std::unique_ptr<KvaKdTreeNode> child) {
        m_lowChild = std::move(child);
        return m_lowChild.get();
    }
    KvaKdTreeNode* setHighChild(std::unique_ptr<KvaKdTreeNode> child) {
        m_highChild = std::move(child);
        return m_highChild.get();
    }

private:
    int m_axis;
    std::unique_ptr<KvaKdTreeNode> m_lowChild;
    std::unique_ptr<KvaKdTreeNode> m_highChild;
    std::size_t m_element;
};

} // namespace Kv
