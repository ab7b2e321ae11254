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

    // Copies the items and builds both levels, with at most threadCount threads helping the calling one
    // (0: the whole build runs on the calling thread). The tree is the same whatever the count.
    void build(const std::vector<Item>& items, unsigned threadCount);
    // The same, except that level-0 subtrees are made only where a query for one of the windows goes,
    // and hold only the items that may meet one of them: the tree then answers the queries for these
    // windows, and only these, as the whole tree would (the same items in the same order).
    // A large model's hide pass, whose windows are known before it starts, mostly asks about few
    // places (the outline of a smooth surface), and most of a whole tree would go unread.
    void build(const std::vector<Item>& items, unsigned threadCount,
               const std::vector<Imple::QuantisedBox>& windows);

    const std::vector<Item>& items() const { return m_items; }

    // A whole window query for the traverser's window: begin, the stab and the range phase as the
    // traverser's flags ask, end. False when visit ended it.
    bool query(Traverser<Traits>& traverser) const;

private:
    void buildFor(const std::vector<Item>& items, unsigned threadCount,
                  const std::vector<Imple::QuantisedBox>* windows);
    void clear();

    std::vector<Item> m_items;
    std::unique_ptr<Imple::NodePools<Traits>> m_pools;
    std::unique_ptr<Imple::Arena> m_arena;
};

template <class Traits> void RootTree<Traits>::build(const std::vector<Item>& items, unsigned threadCount) {
    buildFor(items, threadCount, nullptr);
}

template <class Traits>
void RootTree<Traits>::build(const std::vector<Item>& items, unsigned threadCount,
                             const std::vector<Imple::QuantisedBox>& windows) {
    buildFor(items, threadCount, &windows);
}

template <class Traits>
void RootTree<Traits>::buildFor(const std::vector<Item>& items, unsigned threadCount,
                                const std::vector<Imple::QuantisedBox>* windows) {
    if (items.size() >= Imple::NO_ITEM) {
        throw std::length_error("WindowQuery::RootTree::build(): Too many items.");
    }
    clear();
    try {
        m_items = items;
        std::vector<Imple::QuantisedBox> boxes;
        boxes.reserve(items.size());
        for (const Item& item : items) {
            boxes.push_back(Imple::QuantisedBox::fromCodes(Traits::minCode(item), Traits::maxCode(item)));
        }
        m_pools = std::make_unique<Imple::NodePools<Traits>>();
        m_arena = std::make_unique<Imple::Arena>();
        Imple::ThreadManager threads(threadCount);
        // Items that meet none of the known windows would never be reported: the level-0 subtrees,
        // where nearly all of a tree's memory and time go, leave them out.
        std::vector<std::uint8_t> held;
        if (windows) {
            const Imple::WindowCover cover(*windows);
            held.resize(boxes.size());
            for (std::size_t index = 0; index < boxes.size(); ++index) {
                held[index] = cover.mayMeet(boxes[index]) ? 1 : 0;
            }
        }
        Imple::BuildContext<Traits> context{boxes.data(), *m_pools, *m_arena, threads,
                                            windows ? held.data() : nullptr};
        std::vector<std::uint32_t> all(items.size());
        std::iota(all.begin(), all.end(), 0u);
        this->buildLevel(context, all);
        if (windows && this->root()) {
            constexpr std::size_t WINDOWS_PER_JOB = 4096;
            threads.runAll((windows->size() + WINDOWS_PER_JOB - 1) / WINDOWS_PER_JOB, [&](std::size_t job) {
                const std::size_t end = std::min(windows->size(), (job + 1) * WINDOWS_PER_JOB);
                for (std::size_t i = job * WINDOWS_PER_JOB; i < end; ++i) {
                    this->root()->markWanted((*windows)[i]);
                }
            });
        }
        this->buildSubTrees(context, windows != nullptr);
    } catch (...) {
        clear();
        throw;
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
