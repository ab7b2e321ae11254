#pragma once

#include "WindowQuery/Event.h"

#include <boost/noncopyable.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace WindowQuery {

namespace Imple {
template <class Traits, int Level> class NodeBase;
template <class Traits, int Level> class Node;
template <class Traits, int Level> class Tree;
} // namespace Imple

// The state of one caller's window queries: the window, the phases to run and the per-item stamps
// that make a query report each item once. A traverser is reused for many queries; each query
// advances its counter, so the stamps never need clearing. Give every querying thread its own.
template <class Traits> class Traverser : private boost::noncopyable {
public:
    using Item = typename Traits::Item;

    Traverser() = default;
    virtual ~Traverser() = default;

    // Starts a query over a tree of `count` items stored at `items`.
    virtual void begin(std::size_t count, const Item* items);
    virtual void end() {}
    virtual void enterSubTree() {}
    virtual void leaveSubTree() {}
    // Asked before a node covering the coordinates lo to hi of the given level is entered; false skips it.
    virtual bool acceptRange(std::int16_t /*lo*/, std::int16_t /*hi*/, int /*level*/) { return true; }
    // Receives each item that meets the window, once per query; false ends the query.
    virtual bool visit(const Item& item, std::size_t index) = 0;

    // The window of the next queries, from the packed codes of its minimum and maximum corner.
    void setWindow(std::uint32_t minCode, std::uint32_t maxCode) {
        m_window = Imple::QuantisedBox::fromCodes(minCode, maxCode);
    }
    const Imple::QuantisedBox& window() const { return m_window; }

    bool range() const { return m_range; }
    void setRange(bool range) { m_range = range; }
    bool stab() const { return m_stab; }
    void setStab(bool stab) { m_stab = stab; }
    std::uint32_t queryCounter() const { return m_queryCounter; }

private:
    template <class, int> friend class Imple::NodeBase;
    template <class, int> friend class Imple::Node;
    template <class, int> friend class Imple::Tree;

    // Passes the item on to visit unless this query has reported it already.
    bool offer(std::uint32_t index) {
        std::uint32_t& stamp = m_stamps[index];
        if (stamp == m_queryCounter) {
            return true;
        }
        stamp = m_queryCounter;
        return visit(m_items[index], index);
    }

    bool m_range = true;
    bool m_stab = true;
    std::uint32_t m_queryCounter = 0;
    const Item* m_items = nullptr;
    std::vector<std::uint32_t> m_stamps;
    Imple::QuantisedBox m_window;
};

template <class Traits> void Traverser<Traits>::begin(std::size_t count, const Item* items) {
    m_items = items;
    m_stamps.resize(count, 0);
    // After 2^32 queries the counter would meet stamps of long-past queries again: start afresh.
    if (++m_queryCounter == 0) {
        std::fill(m_stamps.begin(), m_stamps.end(), 0);
        m_queryCounter = 1;
    }
}

} // namespace WindowQuery
