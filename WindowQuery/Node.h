#pragma once

#include "WindowQuery/BuildContext.h"
#include "WindowQuery/NodeArray.h"
#include "WindowQuery/NodeBase.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace WindowQuery {
namespace Imple {

template <class Traits, int Level> class SubTree;

// A node of level 0 (x). These nodes serve the stab search alone (the range search bisects the event
// list), so a child is only made where items go on down. A subtree has millions of these nodes for a
// large model, so its nodes are laid out before any is made and then made in one array, and their
// spanning items live in one array of the subtree, each node holding its range of it.
template <class Traits> class Node<Traits, 0> : public NodeBase<Traits, 0> {
public:
    Node(std::int16_t first, std::int16_t next, std::int16_t last, std::uint32_t itemsBegin,
         std::uint32_t itemsEnd)
        : NodeBase<Traits, 0>(first, next, last), m_itemsBegin(itemsBegin), m_itemsEnd(itemsEnd) {}

    // Builds the node tree over the distinct coordinates (ascending, at least two) for the intervals,
    // each of positive length, into `nodes`, root first, and files the nodes' spanning items in
    // `store`, each node's in the order of the intervals; both arrays come from the arena. Returns the
    // root.
    static Node* buildTree(const std::vector<std::int16_t>& distinct, const std::vector<Interval>& intervals,
                           Arena& arena, NodeArray<Node>& nodes, TreeArray<std::uint32_t>& store);
    // Reports the items whose x-interval, of positive length, contains c; `store` is the subtree's.
    bool stab(Traverser<Traits>& traverser, std::int16_t c, const std::uint32_t* store) const;

private:
    std::uint32_t m_itemsBegin;
    std::uint32_t m_itemsEnd;
};

// A node of level 1 (y). Besides its spanning items it owns two level-0 subtrees: over the items with
// an endpoint in its span and over its spanning items. All nodes are made, since the range phase
// reaches items through the endpoint subtrees of whole spans.
template <class Traits> class Node<Traits, 1> : public NodeBase<Traits, 1> {
public:
    Node(const Event* lo, const Event* hi) : NodeBase<Traits, 1>(lo, hi), m_lo(lo), m_hi(hi) {}

    const Event* lo() const { return m_lo; }
    const Event* hi() const { return m_hi; }

    // Builds the node tree below this node, without the level-0 subtrees.
    void build(BuildContext<Traits>& context, const Event* const* distinct, std::size_t i, std::size_t j,
               std::vector<Interval> items);
    // The two level-0 subtrees, each made only over a non-empty set; any thread may build either, once
    // the whole node tree stands. A subtree costs about as much as its events, which these tell ahead.
    void buildEndpointSubTree(BuildContext<Traits>& context);
    void buildSpanningSubTree(BuildContext<Traits>& context);
    std::size_t endpointEventCount() const { return static_cast<std::size_t>(this->hi() - this->lo()); }
    // Stab phase: the items whose y-interval contains the window's centre y, narrowed on x.
    bool stab(Traverser<Traits>& traverser) const;
    // Range phase: the items with a y-endpoint in the window's y-range, narrowed on x.
    bool range(Traverser<Traits>& traverser) const;
    // Marks, on this node and below, the subtrees that a query for the window reaches (whatever a
    // traverser would admit), so that a build for known windows makes those alone. Any number of
    // threads may mark at once.
    void markWanted(const QuantisedBox& window) const;
    // Whether markWanted marked the subtree: a build for known windows makes only these.
    bool endpointWanted() const { return m_endpointWanted.load(std::memory_order_relaxed); }
    bool spanningWanted() const { return m_spanningWanted.load(std::memory_order_relaxed); }

    // Where the build holds only some items, each subtree to be made needs the x-coordinates of all
    // items of its set, held or not, to have the nodes of the whole tree's subtree. prepareWholeSets
    // makes room for them and fills the endpoint subtrees' from `endsAt` (endsAt[y]: the x-coordinates
    // of the items with an end at y); addSpanningCoordinates then adds one item (its y-interval, of
    // positive length, and x-coordinates) to the spanning subtrees' it is stored in.
    void prepareWholeSets(const std::vector<CoordinateSet>& endsAt);
    void addSpanningCoordinates(const Interval& y, std::int16_t x0, std::int16_t x1);

    const std::vector<std::uint32_t>& spanningItems() const { return m_spanningItems; }
    const SubTree<Traits, 0>* endpointSubTree() const { return m_endpointSubTree; }
    const SubTree<Traits, 0>* spanningSubTree() const { return m_spanningSubTree; }

private:
    // The range phase's walk: atNode on each node whose span lies within the window's y-range and is
    // admitted, and whose parent's span does not; false as soon as atNode is.
    template <class Admit, class AtNode>
    bool rangePath(const QuantisedBox& window, Admit& admit, AtNode& atNode) const;
    std::vector<std::uint32_t> endpointItems(const QuantisedBox* boxes) const;

    // The node's span in the level's event list: the endpoint subtree is built over its items.
    const Event* m_lo;
    const Event* m_hi;
    mutable std::atomic<bool> m_endpointWanted{false};
    mutable std::atomic<bool> m_spanningWanted{false};

    std::vector<std::uint32_t> m_spanningItems;
    SubTree<Traits, 0>* m_endpointSubTree = nullptr;
    SubTree<Traits, 0>* m_spanningSubTree = nullptr;
    // The whole sets' x-coordinates, between prepareWholeSets and the subtrees' build.
    std::unique_ptr<CoordinateSet> m_endpointWhole;
    std::unique_ptr<CoordinateSet> m_spanningWhole;
};

namespace LevelZero {

// A level-0 node before it is made: its range of distinct coordinates, its range of the item store,
// and its children's positions in the plan (NONE where a child is not made).
struct Plan {
    static constexpr std::uint32_t NONE = 0xFFFFFFFFu;
    std::uint32_t i;
    std::uint32_t j;
    std::uint32_t itemsBegin = 0;
    std::uint32_t itemsEnd = 0;
    std::uint32_t left = NONE;
    std::uint32_t right = NONE;
};

// What one thread reuses from subtree to subtree, so that the thousands of small builds of a large
// model allocate nothing and touch memory that is already warm.
struct Scratch {
    std::vector<std::int16_t> coordinates;
    std::vector<Plan> plans;
    std::vector<Interval> lists; // the interval lists of the nodes still to build, used as a stack
    std::vector<std::uint32_t> store;

    static Scratch& ofThisThread() {
        thread_local Scratch scratch;
        return scratch;
    }
    // A large subtree leaves the scratch large: the thread that goes on living gives it back.
    static void releaseThisThread() { ofThisThread() = Scratch(); }
};

inline std::uint32_t position32(std::size_t position) {
    if (position > UINT32_MAX) {
        throw std::length_error("WindowQuery: too many items in one subtree");
    }
    return static_cast<std::uint32_t>(position);
}

// Lays out the node tree over scratch.coordinates for the intervals: the nodes in scratch.plans, root
// first, and their spanning items in scratch.store.
template <class Traits> void layOut(Scratch& scratch, const std::vector<Interval>& intervals) {
    const std::vector<std::int16_t>& coordinates = scratch.coordinates;
    std::vector<Plan>& plans = scratch.plans;
    std::vector<Interval>& lists = scratch.lists;
    scratch.store.clear();
    plans.assign(1, Plan{0, position32(coordinates.size() - 1)});
    lists.assign(intervals.begin(), intervals.end());

    // Depth first, a node before its left side before its right, each node keeping its spanning items
    // in the store ahead of those below it. A task is a node and its list on the stack; what lies past
    // its list when it is taken up belongs to nodes already built.
    struct Task {
        std::uint32_t plan;
        std::size_t begin;
        std::size_t end;
    };
    std::vector<Task> tasks{Task{0, 0, lists.size()}};
    while (!tasks.empty()) {
        checkpoint<Traits>();
        const Task task = tasks.back();
        tasks.pop_back();
        lists.resize(task.end);
        Plan& plan = plans[task.plan];
        const std::uint32_t i = plan.i;
        const std::uint32_t j = plan.j;
        const std::uint32_t k = i + (j - i) / 2;
        const std::int16_t first = coordinates[i];
        const std::int16_t next = coordinates[j];
        const std::int16_t split = coordinates[k];
        // The right side's list goes on the stack below the left side's, which is built first.
        plan.itemsBegin = position32(scratch.store.size());
        for (std::size_t n = task.begin; n < task.end; ++n) {
            const Interval interval = lists[n];
            if (covers(interval, first, next)) {
                scratch.store.push_back(interval.index);
            } else if (interval.high > split) {
                lists.push_back(interval);
            }
        }
        plan.itemsEnd = position32(scratch.store.size());
        const std::size_t leftBegin = lists.size();
        for (std::size_t n = task.begin; n < task.end; ++n) {
            const Interval interval = lists[n];
            if (!covers(interval, first, next) && interval.low < split) {
                lists.push_back(interval);
            }
        }
        const std::size_t leftEnd = lists.size();
        if (leftBegin > task.end) {
            plan.right = position32(plans.size());
            tasks.push_back(Task{plan.right, task.end, leftBegin});
        }
        if (leftEnd > leftBegin) {
            plan.left = position32(plans.size() + (leftBegin > task.end ? 1 : 0));
            tasks.push_back(Task{plan.left, leftBegin, leftEnd});
        }
        // `plan` is not used past here: adding plans may move them.
        if (leftBegin > task.end) {
            plans.push_back(Plan{k, j});
        }
        if (leftEnd > leftBegin) {
            plans.push_back(Plan{i, k});
        }
    }
}

} // namespace LevelZero

template <class Traits>
Node<Traits, 0>* Node<Traits, 0>::buildTree(const std::vector<std::int16_t>& distinct,
                                            const std::vector<Interval>& intervals, Arena& arena,
                                            NodeArray<Node>& nodes, TreeArray<std::uint32_t>& store) {
    using LevelZero::Plan;
    LevelZero::Scratch& scratch = LevelZero::Scratch::ofThisThread();
    scratch.coordinates.assign(distinct.begin(), distinct.end());
    LevelZero::layOut<Traits>(scratch, intervals);
    const std::vector<Plan>& plans = scratch.plans;

    nodes.reset(plans.size(), ArenaAllocator<Node>(&arena));
    for (const Plan& plan : plans) {
        nodes.emplace(distinct[plan.i], distinct[plan.j], distinct[plan.j - 1], plan.itemsBegin,
                      plan.itemsEnd);
    }
    for (std::size_t n = 0; n < plans.size(); ++n) {
        auto child = [&nodes](std::uint32_t position) {
            return position == Plan::NONE ? nullptr : nodes.at(position);
        };
        nodes.at(n)->setChildren(child(plans[n].left), child(plans[n].right));
    }
    store = TreeArray<std::uint32_t>(scratch.store.begin(), scratch.store.end(),
                                     ArenaAllocator<std::uint32_t>(&arena));
    return nodes.at(0);
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
    auto admit = [&traverser](std::int16_t first, std::int16_t next, int level) {
        return traverser.acceptRange(first, next, level);
    };
    return this->stabPath(c, admit, report);
}

template <class Traits>
void Node<Traits, 1>::build(BuildContext<Traits>& context, const Event* const* distinct, std::size_t i,
                            std::size_t j, std::vector<Interval> items) {
    checkpoint<Traits>();
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
    if (!left) {
        return;
    }
    const auto smaller = std::min(left->hi() - left->lo(), right->hi() - right->lo());
    context.threads.runBoth(
        static_cast<std::size_t>(smaller) >= PARALLEL_GRAIN,
        [&] { left->build(context, distinct, i, k, std::move(toLeft)); },
        [&] { right->build(context, distinct, k, j, std::move(toRight)); });
}

template <class Traits> void Node<Traits, 1>::buildEndpointSubTree(BuildContext<Traits>& context) {
    const std::vector<std::uint32_t> endpoints = endpointItems(context.boxes);
    if (!endpoints.empty()) {
        m_endpointSubTree = context.pools.subTrees.create();
        m_endpointSubTree->build(context, endpoints, m_endpointWhole.get());
    }
    m_endpointWhole.reset();
}

template <class Traits> void Node<Traits, 1>::buildSpanningSubTree(BuildContext<Traits>& context) {
    if (!m_spanningItems.empty()) {
        m_spanningSubTree = context.pools.subTrees.create();
        m_spanningSubTree->build(context, m_spanningItems, m_spanningWhole.get());
    }
    m_spanningWhole.reset();
}

template <class Traits> void Node<Traits, 1>::prepareWholeSets(const std::vector<CoordinateSet>& endsAt) {
    if (endpointWanted()) {
        m_endpointWhole = std::make_unique<CoordinateSet>();
        const int from = std::max<int>(this->first(), 0);
        const int to = std::min<int>(this->next(), CoordinateSet::SIZE); // the span ends before next
        for (int y = from; y < to; ++y) {
            m_endpointWhole->addAll(endsAt[static_cast<std::size_t>(y)]);
        }
    }
    if (spanningWanted()) {
        m_spanningWhole = std::make_unique<CoordinateSet>();
    }
    for (Node* child : {this->leftChild(), this->rightChild()}) {
        if (child) {
            child->prepareWholeSets(endsAt);
        }
    }
}

// The walk of distribute, for one item: it is stored in the nodes it spans and whose parent it does not.
template <class Traits>
void Node<Traits, 1>::addSpanningCoordinates(const Interval& y, std::int16_t x0, std::int16_t x1) {
    if (this->spans(y)) {
        if (m_spanningWhole) {
            m_spanningWhole->add(x0);
            m_spanningWhole->add(x1);
        }
        return;
    }
    Node* left = this->leftChild();
    if (!left) {
        return;
    }
    const std::int16_t split = left->next();
    if (y.low < split) {
        left->addSpanningCoordinates(y, x0, x1);
    }
    if (y.high > split) {
        this->rightChild()->addSpanningCoordinates(y, x0, x1);
    }
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
    auto admit = [&traverser](std::int16_t first, std::int16_t next, int level) {
        return traverser.acceptRange(first, next, level);
    };
    return this->stabPath(traverser.window().template centre<1>(), admit, intoSubTree);
}

template <class Traits> bool Node<Traits, 1>::range(Traverser<Traits>& traverser) const {
    auto intoSubTree = [&traverser](const Node& node) {
        return !node.m_endpointSubTree || node.m_endpointSubTree->query(traverser);
    };
    auto admit = [&traverser](std::int16_t first, std::int16_t last, int level) {
        return traverser.acceptRange(first, last, level);
    };
    return rangePath(traverser.window(), admit, intoSubTree);
}

template <class Traits>
template <class Admit, class AtNode>
bool Node<Traits, 1>::rangePath(const QuantisedBox& window, Admit& admit, AtNode& atNode) const {
    if (!admit(this->first(), this->last(), 1)) {
        return true;
    }
    if (window.y0 <= this->first() && window.y1 >= this->last()) {
        return atNode(*this);
    }
    const Node* left = this->left();
    const Node* right = this->right();
    if (left && window.y0 <= left->last() && !left->rangePath(window, admit, atNode)) {
        return false;
    }
    return !(right && window.y1 >= right->first() && !right->rangePath(window, admit, atNode));
}

template <class Traits> void Node<Traits, 1>::markWanted(const QuantisedBox& window) const {
    auto admitAll = [](std::int16_t, std::int16_t, int) { return true; };
    auto wantSpanning = [](const Node& node) {
        node.m_spanningWanted.store(true, std::memory_order_relaxed);
        return true;
    };
    auto wantEndpoints = [](const Node& node) {
        node.m_endpointWanted.store(true, std::memory_order_relaxed);
        return true;
    };
    this->stabPath(window.template centre<1>(), admitAll, wantSpanning);
    rangePath(window, admitAll, wantEndpoints);
}

} // namespace Imple
} // namespace WindowQuery
