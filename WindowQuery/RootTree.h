#pragma once

#include "WindowQuery/BuildContext.h"
#include "WindowQuery/SubTree.h"
#include "WindowQuery/ThreadManager.h"
#include "WindowQuery/Traverser.h"
#include "WindowQuery/Tree.h"
#include "WindowQuery/WindowCover.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <utility>
#include <vector>

namespace WindowQuery {

// A two-level segment tree (y, then x) over the items' packed 2D boxes that reports, for a window,
// every item whose box meets it, bounds included. Built once, possibly by several threads, and then
// only read: any number of threads may query it at once, each with its own traverser.
//
// Traits provides `Item` (copied into the tree) and `static std::uint32_t minCode(const Item&)` and
// `maxCode(const Item&)`, the packed codes of the item's 2D box.
template <class Traits> class RootTree : public Imple::Tree<Traits, 1> {
public:
    using Item = typename Traits::Item;

    RootTree() = default;
    // The arrays of both levels live in the arena: everything goes before it.
    ~RootTree() { clear(); }

    // Takes the items (moved in where the caller can spare them: a large model's are millions) and builds
    // both levels, with at most threadCount threads helping the calling one (0: the whole build runs on
    // the calling thread). The tree is the same whatever the count.
    void build(std::vector<Item> items, unsigned threadCount);
    // The same, except that level-0 subtrees are made only where a query for one of the windows goes,
    // and hold only the items that may meet one of them: the tree then answers the queries for these
    // windows, and only these, as the whole tree would (the same items in the same order).
    // A large model's hide pass, whose windows are known before it starts, mostly asks about few
    // places (the outline of a smooth surface), and most of a whole tree would go unread.
    void build(std::vector<Item> items, unsigned threadCount, const std::vector<Imple::QuantisedBox>& windows);

    const std::vector<Item>& items() const { return m_items; }

    // A whole window query for the traverser's window: begin, the stab and the range phase as the
    // traverser's flags ask, end. False when visit ended it.
    bool query(Traverser<Traits>& traverser) const;

private:
    void buildFor(std::vector<Item> items, unsigned threadCount, const std::vector<Imple::QuantisedBox>* windows);
    void clear();
    // The whole sets' x-coordinates of the subtrees a build for known windows makes (see Node).
    void wholeSets(const std::vector<Imple::QuantisedBox>& boxes);

    std::vector<Item> m_items;
    std::unique_ptr<Imple::NodePools<Traits>> m_pools;
    std::unique_ptr<Imple::Arena> m_arena;
};

template <class Traits> void RootTree<Traits>::build(std::vector<Item> items, unsigned threadCount) {
    buildFor(std::move(items), threadCount, nullptr);
}

template <class Traits>
void RootTree<Traits>::build(std::vector<Item> items, unsigned threadCount,
                             const std::vector<Imple::QuantisedBox>& windows) {
    buildFor(std::move(items), threadCount, &windows);
}

template <class Traits>
void RootTree<Traits>::buildFor(std::vector<Item> items, unsigned threadCount,
                                const std::vector<Imple::QuantisedBox>* windows) {
    if (items.size() >= Imple::NO_ITEM) {
        throw std::length_error("WindowQuery::RootTree::build(): Too many items.");
    }
    clear();
    try {
        m_items = std::move(items);
        std::vector<Imple::QuantisedBox> boxes;
        boxes.reserve(m_items.size());
        for (const Item& item : m_items) {
            Imple::checkpoint<Traits>();
            boxes.push_back(Imple::QuantisedBox::fromCodes(Traits::minCode(item), Traits::maxCode(item)));
        }
        m_pools = std::make_unique<Imple::NodePools<Traits>>();
        m_arena = std::make_unique<Imple::Arena>();
        Imple::ThreadManager threads(threadCount);
        // Items that meet none of the known windows would never be reported: the tree lists only the
        // others (held), on the coordinates of all, so that its nodes are those of the whole tree.
        std::vector<std::uint8_t> held;
        Imple::CoordinateSet allY;
        if (windows) {
            const Imple::WindowCover cover(*windows, boxes.size());
            held.resize(boxes.size());
            for (std::size_t index = 0; index < boxes.size(); ++index) {
                held[index] = cover.mayMeet(boxes[index]) ? 1 : 0;
                allY.add(boxes[index].y0);
                allY.add(boxes[index].y1);
            }
        }
        Imple::BuildContext<Traits> context{boxes.data(), *m_pools, *m_arena, threads,
                                            windows ? held.data() : nullptr};
        std::vector<std::uint32_t> all(m_items.size());
        std::iota(all.begin(), all.end(), 0u);
        this->buildLevel(context, all, windows ? &allY : nullptr);
        if (windows && this->root()) {
            constexpr std::size_t WINDOWS_PER_JOB = 4096;
            threads.runAll((windows->size() + WINDOWS_PER_JOB - 1) / WINDOWS_PER_JOB, [&](std::size_t job) {
                const std::size_t end = std::min(windows->size(), (job + 1) * WINDOWS_PER_JOB);
                for (std::size_t i = job * WINDOWS_PER_JOB; i < end; ++i) {
                    Imple::checkpoint<Traits>();
                    this->root()->markWanted((*windows)[i]);
                }
            });
            wholeSets(boxes);
        }
        this->buildSubTrees(context, windows != nullptr);
    } catch (...) {
        clear();
        throw;
    }
}

template <class Traits> void RootTree<Traits>::wholeSets(const std::vector<Imple::QuantisedBox>& boxes) {
    Imple::Node<Traits, 1>* root = this->rootToBuild();
    std::vector<Imple::CoordinateSet> endsAt(Imple::CoordinateSet::SIZE);
    for (const Imple::QuantisedBox& box : boxes) {
        for (const std::int16_t y : {box.y0, box.y1}) {
            Imple::CoordinateSet& ends =
                endsAt[static_cast<std::size_t>(std::clamp<int>(y, 0, Imple::CoordinateSet::SIZE - 1))];
            ends.add(box.x0);
            ends.add(box.x1);
        }
    }
    root->prepareWholeSets(endsAt);
    for (std::uint32_t index = 0; index < boxes.size(); ++index) {
        const Imple::QuantisedBox& box = boxes[index];
        if (box.y0 != box.y1) {
            root->addSpanningCoordinates(Imple::Interval{index, box.y0, box.y1}, box.x0, box.x1);
        }
    }
}

template <class Traits> bool RootTree<Traits>::query(Traverser<Traits>& traverser) const {
    traverser.begin(m_items.size(), m_items.data());
    const bool going = (!traverser.stab() || this->stabQuery(traverser)) &&
                       (!traverser.range() || this->rangeQuery(traverser));
    traverser.end();
    return going;
}

template <class Traits> void RootTree<Traits>::clear() {
    this->clearLevel();
    m_pools.reset();
    m_arena.reset();
    m_items.clear();
}

} // namespace WindowQuery
