#pragma once

#include "WindowQuery/BuildContext.h"
#include "WindowQuery/Event.h"
#include "WindowQuery/Traverser.h"

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace WindowQuery {
namespace Imple {

template <class Traits, int Level> class Node;

// A node of a segment tree over the distinct coordinates of one level. Its span is the events from lo
// up to, not including, hi; its children split the span at the middle distinct coordinate. Spanning
// items are those whose interval covers the node's closed range [first, next] but not the parent's;
// each level keeps them in its own way.
template <class Traits, int Level> class NodeBase : private boost::noncopyable {
public:
    using NodeType = Node<Traits, Level>;

    NodeBase(const Event* lo, const Event* hi)
        : m_first(lo->coordinate), m_next(hi->coordinate), m_last((hi - 1)->coordinate) {}
    NodeBase(std::int16_t first, std::int16_t next, std::int16_t last)
        : m_first(first), m_next(next), m_last(last) {}

    std::int16_t first() const { return m_first; }
    std::int16_t next() const { return m_next; }
    // The largest coordinate within the span.
    std::int16_t last() const { return m_last; }
    const NodeType* left() const { return m_left; }
    const NodeType* right() const { return m_right; }
    // The children as the builders see them, to finish building.
    NodeType* leftChild() const { return m_left; }
    NodeType* rightChild() const { return m_right; }
    // Whether the interval covers the node's closed range, so that the node keeps it.
    bool spans(const Interval& interval) const { return covers(interval, m_first, m_next); }

protected:
    ~NodeBase() = default;

    // Appends the items that span this node to `spanning` and hands the others to the side(s) their
    // interval reaches into past the split coordinate. Every interval must have positive length and
    // overlap the node's range with positive length; at a leaf all of them then span it.
    void distribute(std::vector<Interval> intervals, std::int16_t split, std::vector<Interval>& toLeft,
                    std::vector<Interval>& toRight, std::vector<std::uint32_t>& spanning) const;
    void setChildren(NodeType* left, NodeType* right) {
        m_left = left;
        m_right = right;
    }

    // Walks every node whose closed range contains c, calling atNode on each that admit(first, next,
    // level) lets in. False as soon as atNode is.
    template <class Admit, class AtNode> bool stabPath(std::int16_t c, Admit& admit, AtNode& atNode) const;

private:
    // A query reads the coordinates of every node on its path; kept here, they cost no visit to the
    // event list. What a query reads comes first.
    std::int16_t m_first;
    std::int16_t m_next;
    std::int16_t m_last;
    NodeType* m_left = nullptr;
    NodeType* m_right = nullptr;
};

template <class Traits, int Level>
void NodeBase<Traits, Level>::distribute(std::vector<Interval> intervals, std::int16_t split,
                                         std::vector<Interval>& toLeft, std::vector<Interval>& toRight,
                                         std::vector<std::uint32_t>& spanning) const {
    auto spans = [this](const Interval& interval) { return this->spans(interval); };
    // Counted first so that the lists handed on are allocated once at their final size.
    std::size_t left = 0;
    std::size_t right = 0;
    for (const Interval& interval : intervals) {
        if (!spans(interval)) {
            left += interval.low < split ? 1 : 0;
            right += interval.high > split ? 1 : 0;
        }
    }
    toLeft.reserve(left);
    toRight.reserve(right);
    for (const Interval& interval : intervals) {
        if (spans(interval)) {
            spanning.push_back(interval.index);
            continue;
        }
        if (interval.low < split) {
            toLeft.push_back(interval);
        }
        if (interval.high > split) {
            toRight.push_back(interval);
        }
    }
}

template <class Traits, int Level>
template <class Admit, class AtNode>
bool NodeBase<Traits, Level>::stabPath(std::int16_t c, Admit& admit, AtNode& atNode) const {
    if (!admit(first(), next(), Level)) {
        return true;
    }
    if (!atNode(static_cast<const NodeType&>(*this))) {
        return false;
    }
    if (m_left && c <= m_left->next() && !m_left->stabPath(c, admit, atNode)) {
        return false;
    }
    return !(m_right && c >= m_right->first() && !m_right->stabPath(c, admit, atNode));
}

} // namespace Imple
} // namespace WindowQuery
