#pragma once

#include "WindowQuery/BuildContext.h"
#include "WindowQuery/Event.h"
#include "WindowQuery/Node.h"

#include <boost/noncopyable.hpp>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace WindowQuery {
namespace Imple {

// One level of the tree: the sorted events of its items on the level's axis, one pointer per distinct
// coordinate, and the segment tree over those coordinates.
template <class Traits, int Level> class TreeBase : private boost::noncopyable {
public:
    using NodeType = Node<Traits, Level>;

    const std::vector<Event>& events() const { return m_events; }
    // The first event of each run of equal coordinates.
    const std::vector<const Event*>& distinct() const { return m_distinct; }
    const NodeType* root() const { return m_root; }
    // Level 0 only: the spanning items of all its nodes, each node holding a range of them.
    const std::vector<std::uint32_t>& nodeItems() const { return m_nodeItems; }

protected:
    TreeBase() = default;
    ~TreeBase() = default;

    void buildLevel(BuildContext<Traits>& context, const std::vector<std::uint32_t>& items);
    void clearLevel();

private:
    std::vector<Event> m_events;
    std::vector<const Event*> m_distinct;
    NodeType* m_root = nullptr;
    std::vector<std::uint32_t> m_nodeItems;
};

template <class Traits, int Level>
void TreeBase<Traits, Level>::buildLevel(BuildContext<Traits>& context,
                                         const std::vector<std::uint32_t>& items) {
    std::vector<Interval> intervals;
    intervals.reserve(items.size());
    for (std::uint32_t index : items) {
        const QuantisedBox& box = context.boxes[index];
        intervals.push_back(Interval{index, box.template low<Level>(), box.template high<Level>()});
    }
    m_events = sortedEvents(intervals);
    // An interval of a single coordinate is found through its events alone.
    intervals.erase(std::remove_if(intervals.begin(), intervals.end(),
                                   [](const Interval& interval) { return interval.low == interval.high; }),
                    intervals.end());

    m_distinct.clear();
    m_distinct.push_back(&m_events.front());
    for (const Event& event : m_events) {
        if (event.coordinate != m_distinct.back()->coordinate) {
            m_distinct.push_back(&event);
        }
    }
    m_distinct.shrink_to_fit();

    m_root = context.pools.template nodes<Level>().create(m_distinct.front(), m_distinct.back());
    if constexpr (Level == 0) {
        const std::size_t count = intervals.size();
        m_root->build(context, m_distinct.data(), 0, m_distinct.size() - 1, intervals, 0, count, m_nodeItems);
        m_nodeItems.shrink_to_fit();
    } else {
        m_root->build(context, m_distinct.data(), 0, m_distinct.size() - 1, std::move(intervals));
    }
}

template <class Traits, int Level> void TreeBase<Traits, Level>::clearLevel() {
    m_events = {};
    m_distinct = {};
    m_nodeItems = {};
    m_root = nullptr;
}

} // namespace Imple
} // namespace WindowQuery
