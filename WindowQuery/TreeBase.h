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

    const TreeArray<Event>& events() const { return m_events; }
    // The first event of each run of equal coordinates.
    // Level 1 only: a pointer to the first event of each distinct coordinate.
    const TreeArray<const Event*>& distinct() const { return m_distinct; }
    const NodeType* root() const { return m_root; }
    // Level 0 only: the spanning items of all its nodes, each node holding a range of them.
    const TreeArray<std::uint32_t>& nodeItems() const { return m_nodeItems; }

protected:
    TreeBase() = default;
    // The root as the builders see it, to finish building.
    NodeType* rootToBuild() { return m_root; }
    ~TreeBase() = default;

    // Builds the level over the held ones of `items`; with `others`, on the distinct coordinates of
    // `others` too (those of the items left out: see sortedEvents).
    void buildLevel(BuildContext<Traits>& context, const std::vector<std::uint32_t>& items,
                    const CoordinateSet* others = nullptr);
    void clearLevel();
    // Level 1 only, once its node tree stands: the level-0 subtrees of its nodes, all of them or only
    // those marked wanted.
    void buildSubTrees(BuildContext<Traits>& context, bool onlyWanted);

private:
    TreeArray<Event> m_events;
    TreeArray<const Event*> m_distinct;
    NodeType* m_root = nullptr;
    // Level 0 only: its nodes, made in one go.
    NodeArray<Node<Traits, 0>> m_nodes;
    TreeArray<std::uint32_t> m_nodeItems;
};

template <class Traits, int Level>
void TreeBase<Traits, Level>::buildLevel(BuildContext<Traits>& context,
                                         const std::vector<std::uint32_t>& items,
                                         const CoordinateSet* others) {
    std::vector<Interval> intervals;
    intervals.reserve(items.size());
    for (std::uint32_t index : items) {
        checkpoint<Traits>();
        if (!context.held || context.held[index]) {
            const QuantisedBox& box = context.boxes[index];
            intervals.push_back(Interval{index, box.template low<Level>(), box.template high<Level>()});
        }
    }
    // An interval of a single coordinate is found through its events alone.
    auto dropPoints = [&intervals] {
        intervals.erase(
            std::remove_if(intervals.begin(), intervals.end(),
                           [](const Interval& interval) { return interval.low == interval.high; }),
            intervals.end());
    };
    if constexpr (Level == 0) {
        // A subtree's range phase reads only its own items' events, and its nodes are made from the
        // distinct coordinates alone: those of left-out items shape the nodes without taking room.
        m_events = sortedEvents(intervals, ArenaAllocator<Event>(&context.arena));
        dropPoints();
        m_root = NodeType::buildTree(distinctCoordinates(m_events, others), intervals, context.arena, m_nodes,
                                     m_nodeItems);
    } else {
        // Level-1 nodes point into the event list, so left-out coordinates get marker events there.
        m_events = sortedEvents(intervals, ArenaAllocator<Event>(&context.arena), others);
        dropPoints();
        // Counted first, so that the list is allocated once at its size.
        std::size_t distinctCount = 1;
        for (std::size_t n = 1; n < m_events.size(); ++n) {
            distinctCount += m_events[n].coordinate != m_events[n - 1].coordinate ? 1 : 0;
        }
        m_distinct = TreeArray<const Event*>(ArenaAllocator<const Event*>(&context.arena));
        m_distinct.reserve(distinctCount);
        m_distinct.push_back(&m_events.front());
        for (std::size_t n = 1; n < m_events.size(); ++n) {
            if (m_events[n].coordinate != m_events[n - 1].coordinate) {
                m_distinct.push_back(&m_events[n]);
            }
        }
        m_root = context.pools.level1Nodes.create(m_distinct.front(), m_distinct.back());
        m_root->build(context, m_distinct.data(), 0, m_distinct.size() - 1, std::move(intervals));
    }
}

// The level-0 subtrees of the level-1 nodes, as one list of jobs shared out among the threads, largest
// first: the largest (the root's endpoint subtree holds every item) then start at once, and the many
// small ones at the end even out the threads' loads.
template <class Traits, int Level>
void TreeBase<Traits, Level>::buildSubTrees(BuildContext<Traits>& context, bool onlyWanted) {
    struct Job {
        NodeType* node;
        bool endpoints; // the endpoint subtree, else the spanning one
        std::size_t size;
    };
    std::vector<Job> jobs;
    std::vector<NodeType*> pending{m_root};
    while (!pending.empty()) {
        NodeType* node = pending.back();
        pending.pop_back();
        if (!onlyWanted || node->endpointWanted()) {
            jobs.push_back(Job{node, true, node->endpointEventCount()});
        }
        if (!onlyWanted || node->spanningWanted()) {
            jobs.push_back(Job{node, false, 2 * node->spanningItems().size()});
        }
        for (NodeType* child : {node->leftChild(), node->rightChild()}) {
            if (child) {
                pending.push_back(child);
            }
        }
    }
    std::stable_sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.size > b.size; });
    // A small tree's subtrees are built in less time than a thread takes to start.
    std::size_t events = 0;
    for (const Job& job : jobs) {
        events += job.size;
    }
    ThreadManager alone(0);
    ThreadManager& threads = events < PARALLEL_GRAIN ? alone : context.threads;
    threads.runAll(jobs.size(), [&](std::size_t i) {
        checkpoint<Traits>();
        if (jobs[i].endpoints) {
            jobs[i].node->buildEndpointSubTree(context);
        } else {
            jobs[i].node->buildSpanningSubTree(context);
        }
    });
    LevelZero::Scratch::releaseThisThread(); // the helper threads' went with them
}

template <class Traits, int Level> void TreeBase<Traits, Level>::clearLevel() {
    m_events = {};
    m_distinct = {};
    m_nodeItems = {};
    m_nodes.reset(0);
    m_root = nullptr;
}

} // namespace Imple
} // namespace WindowQuery
