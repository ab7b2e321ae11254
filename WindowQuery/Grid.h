#pragma once

#include "WindowQuery/BuildContext.h"
#include "WindowQuery/Event.h"
#include "WindowQuery/WindowCover.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace WindowQuery {

// A stack of uniform grids over the packed 2D boxes' fields (1024 a side), each level's cells twice the
// size of the level below, that reports for a window every item whose box meets it, bounds included.
// An item goes to the finest level where its box spans at most two cells each way, so it is filed at
// most four times; the finest level has about one cell per two items, the coarsest one cell.
//
// In: the items (handed over), read through Traits as RootTree reads them, and optionally a nearness for
// each (larger is nearer). Out: for a window and a least nearness, each item whose box meets the window
// and whose nearness is not less, once, in an order fixed by the items alone (level by level, row by
// row, cell by cell, nearest first within a cell, then in the items' order), whatever the threads that
// query it at once. A cell lists its items nearest first, so that a query stops reading a cell at its
// first item that is too far: where many layers of a model lie behind each other, an edge reads only
// the layers in front of it.
// Against the tree: building is two passes over the boxes and a prefix sum instead of sorts and a
// tree of trees, in about a quarter of the memory; a query reads every item of the cells its window
// meets and tests its box, which for the short windows of mesh edges over mesh triangles is a few
// items more than the tree reports.
template <class Traits> class Grid {
public:
    using Item = typename Traits::Item;

    // nearness: one value per item, or none (all equally near). Given the windows of all the queries to
    // come, the grid files only the items that may meet one of them (WindowCover), and then answers
    // those queries, and only those, as a grid of every item would: a smooth surface's hide pass asks
    // about its outline alone, and most of the surface would be filed for nothing.
    explicit Grid(std::vector<Item> items, const std::vector<std::int16_t>& nearness = {},
                  const std::vector<Imple::QuantisedBox>* windows = nullptr);

    const std::vector<Item>& items() const { return m_items; }

    // Calls visit(item, index into items(), box) for each item whose box meets the window and whose
    // nearness is at least `nearest`, until a visit returns false. False when a visit ended it. The item
    // comes as a reference into items() and its box as filed (clamped to the fields), from the memory the
    // query sweeps anyway: a visit that passes an item over by its box alone does not read the item.
    template <class Visit>
    bool forEachMeeting(const Imple::QuantisedBox& window, std::int16_t nearest, Visit&& visit) const;

private:
    static constexpr int FIELDS = 1024; // the packed fields a side, rounded up to a power of two
    static constexpr int COARSEST_SHIFT = 10;

    struct Level {
        int shift = 0;         // a cell is 2^shift fields a side
        int columns = 1;       // cells a side
        std::size_t first = 0; // its first cell in m_cellStart
        std::size_t filed = 0; // entries filed here (an item in up to four cells)
    };

    static std::int16_t clamped(int field) { return static_cast<std::int16_t>(std::clamp(field, 0, FIELDS - 1)); }
    std::size_t levelOf(const Imple::QuantisedBox& box) const;
    // The items a block of the build takes, a whole number of words of the filed bits: a few blocks, for
    // the threads, and few enough that their cell counts (a count a cell each, and a cell for every two
    // to eight items) take about as much memory as the list of the items.
    static std::size_t itemsPerBlockFor(std::size_t items) {
        constexpr std::size_t MOST_BLOCKS = 4, FEWEST_ITEMS = 16384;
        return (std::max(FEWEST_ITEMS, (items + MOST_BLOCKS - 1) / MOST_BLOCKS) + 63) / 64 * 64;
    }
    // Writes a byte in each page of [first, last), room reserved in an array but not yet used: the system
    // takes the fresh pages' faults, and clears them, on the calling thread.
    template <class T> static void touchPages(T* first, T* last) {
        char* const bytes = reinterpret_cast<char*>(first);
        const std::size_t size = static_cast<std::size_t>(last - first) * sizeof(T);
        for (std::size_t at = 0; at < size; at += 4096) {
            bytes[at] = 0;
        }
    }
    // Calls action(cell) for each cell of the level that the box meets.
    template <class Action> static void forEachCell(const Imple::QuantisedBox& box, const Level& level, Action&& action);

    std::vector<Item> m_items;
    std::vector<Level> m_levels;
    std::vector<std::uint32_t> m_cellStart; // per cell of every level, and one past the last: into m_filed
    // Cell after cell, nearest first in a cell: the items' indices, and beside them their boxes (clamped
    // to the fields) and nearness, so that a query reads a cell from memory in one sweep.
    std::vector<std::uint32_t> m_filed;
    std::vector<Imple::QuantisedBox> m_filedBox;
    std::vector<std::int16_t> m_filedNearness;
};

template <class Traits>
Grid<Traits>::Grid(std::vector<Item> items, const std::vector<std::int16_t>& nearness,
                   const std::vector<Imple::QuantisedBox>* windows)
    : m_items(std::move(items)) {
    if (m_items.size() >= Imple::NO_ITEM) {
        throw std::length_error("WindowQuery::Grid: Too many items.");
    }
    if (!nearness.empty() && nearness.size() != m_items.size()) {
        throw std::invalid_argument("WindowQuery::Grid: One nearness per item.");
    }
    // Every pass reads the boxes from the items again rather than keeping a copy of them all.
    const auto boxOf = [this](std::size_t i) {
        const Imple::QuantisedBox box =
            Imple::QuantisedBox::fromCodes(Traits::minCode(m_items[i]), Traits::maxCode(m_items[i]));
        return Imple::QuantisedBox{clamped(box.x0), clamped(box.y0), clamped(box.x1), clamped(box.y1)};
    };

    // The finest level has about two items a cell, so that a small model's grid stays small.
    int shift = 0;
    while (shift < COARSEST_SHIFT &&
           static_cast<double>(FIELDS >> shift) * (FIELDS >> shift) > 0.5 * static_cast<double>(m_items.size())) {
        ++shift;
    }
    std::size_t cells = 0;
    for (; shift <= COARSEST_SHIFT; ++shift) {
        Level level;
        level.shift = shift;
        level.columns = FIELDS >> shift;
        level.first = cells;
        cells += static_cast<std::size_t>(level.columns) * static_cast<std::size_t>(level.columns);
        m_levels.push_back(level);
    }

    // A counting sort on the traits' threads. The items go in blocks, each counting its items into cell
    // counts of its own; summed over the blocks, the counts give the cells' starts, and summed within a
    // cell over the blocks before, each block's own stretch of each cell. Each block then files its items
    // there in their order, so that a cell lists them in the items' order whatever the threads.
    // Which items are filed, a bit each (a block being a whole number of 64-bit words): most of a large
    // smooth model is left out, and the second pass reads only the items filed rather than every item.
    // No items, no blocks: the traits may still run a block of none, which would have no counts to clear.
    if (m_items.empty()) {
        m_cellStart.assign(cells + 1, 0);
        return;
    }
    const std::optional<Imple::WindowCover> cover =
        windows ? std::make_optional<Imple::WindowCover>(*windows, m_items.size()) : std::nullopt;
    const std::size_t itemsPerBlock = itemsPerBlockFor(m_items.size());
    const std::size_t blocks = (m_items.size() + itemsPerBlock - 1) / itemsPerBlock;
    std::vector<std::uint64_t> filed((m_items.size() + 63) / 64, 0);
    // Block after block, each one's count of every cell, then its next place in every cell. Each block
    // clears its own, so that the fresh pages' faults are taken on the threads.
    const std::unique_ptr<std::uint32_t[]> blockCells(new std::uint32_t[blocks * cells]);
    Imple::forEachBlock<Traits>(m_items.size(), itemsPerBlock, [&](std::size_t first, std::size_t end) {
        std::uint32_t* counts = &blockCells[first / itemsPerBlock * cells];
        std::fill(counts, counts + cells, 0u);
        for (std::size_t i = first; i < end; ++i) {
            Imple::checkpoint<Traits>();
            const Imple::QuantisedBox box = boxOf(i);
            if (cover && !cover->mayMeet(box)) {
                continue;
            }
            filed[i / 64] |= std::uint64_t{1} << (i % 64);
            forEachCell(box, m_levels[levelOf(box)], [counts](std::size_t cell) { ++counts[cell]; });
        }
    });
    m_cellStart.assign(cells + 1, 0);
    constexpr std::size_t CELLS_PER_BLOCK = 16384;
    Imple::forEachBlock<Traits>(cells, CELLS_PER_BLOCK, [&](std::size_t firstCell, std::size_t endCell) {
        Imple::checkpoint<Traits>();
        for (std::size_t block = 0; block < blocks; ++block) {
            for (std::size_t cell = firstCell; cell < endCell; ++cell) {
                m_cellStart[cell + 1] += blockCells[block * cells + cell];
            }
        }
    });
    std::partial_sum(m_cellStart.begin(), m_cellStart.end(), m_cellStart.begin());
    // The filed arrays' fresh pages are touched by the blocks of cells whose entries they will hold, then
    // sized within them.
    m_filed.reserve(m_cellStart[cells]);
    m_filedBox.reserve(m_cellStart[cells]);
    m_filedNearness.reserve(m_cellStart[cells]);
    Imple::forEachBlock<Traits>(cells, CELLS_PER_BLOCK, [&](std::size_t firstCell, std::size_t endCell) {
        Imple::checkpoint<Traits>();
        const std::uint32_t first = m_cellStart[firstCell], end = m_cellStart[endCell];
        touchPages(m_filed.data() + first, m_filed.data() + end);
        touchPages(m_filedBox.data() + first, m_filedBox.data() + end);
        touchPages(m_filedNearness.data() + first, m_filedNearness.data() + end);
        for (std::size_t cell = firstCell; cell < endCell; ++cell) {
            std::uint32_t next = m_cellStart[cell];
            for (std::size_t block = 0; block < blocks; ++block) {
                std::uint32_t& place = blockCells[block * cells + cell];
                next += std::exchange(place, next);
            }
        }
    });
    for (Level& level : m_levels) {
        const std::size_t end = level.first + static_cast<std::size_t>(level.columns) * level.columns;
        level.filed = m_cellStart[end] - m_cellStart[level.first];
    }
    m_filed.resize(m_cellStart[cells]);
    m_filedBox.resize(m_cellStart[cells]);
    m_filedNearness.resize(m_cellStart[cells]);
    Imple::forEachBlock<Traits>(m_items.size(), itemsPerBlock, [&](std::size_t first, std::size_t end) {
        std::uint32_t* places = &blockCells[first / itemsPerBlock * cells];
        for (std::size_t i = first; i < end; ++i) {
            if (!(filed[i / 64] >> (i % 64) & 1)) {
                continue;
            }
            Imple::checkpoint<Traits>();
            const Imple::QuantisedBox box = boxOf(i);
            const std::int16_t near = nearness.empty() ? std::int16_t{0} : nearness[i];
            forEachCell(box, m_levels[levelOf(box)], [&](std::size_t cell) {
                const std::uint32_t k = places[cell]++;
                m_filed[k] = static_cast<std::uint32_t>(i);
                m_filedBox[k] = box;
                m_filedNearness[k] = near;
            });
        }
    });
    // Nearest first within each cell, the items' order kept among equally near ones. The cells are
    // sorted apart from one another, so blocks of them may go to the traits' threads.
    if (!nearness.empty()) {
        struct Entry {
            std::uint32_t index;
            Imple::QuantisedBox box;
            std::int16_t nearness;
        };
        Imple::forEachBlock<Traits>(cells, CELLS_PER_BLOCK, [this](std::size_t firstCell, std::size_t endCell) {
            std::vector<Entry> entries;
            for (std::size_t cell = firstCell; cell < endCell; ++cell) {
                const std::uint32_t first = m_cellStart[cell], last = m_cellStart[cell + 1];
                if (last - first < 2) {
                    continue;
                }
                entries.clear();
                for (std::uint32_t k = first; k < last; ++k) {
                    entries.push_back({m_filed[k], m_filedBox[k], m_filedNearness[k]});
                }
                // Most cells hold a few items: sorted by insertion, without the buffer a stable sort asks for.
                const auto nearer = [](const Entry& a, const Entry& b) { return a.nearness > b.nearness; };
                if (entries.size() > 32) {
                    std::stable_sort(entries.begin(), entries.end(), nearer);
                } else {
                    for (std::size_t i = 1; i < entries.size(); ++i) {
                        for (std::size_t j = i; j > 0 && nearer(entries[j], entries[j - 1]); --j) {
                            std::swap(entries[j], entries[j - 1]);
                        }
                    }
                }
                for (std::uint32_t k = first; k < last; ++k) {
                    const Entry& entry = entries[k - first];
                    m_filed[k] = entry.index;
                    m_filedBox[k] = entry.box;
                    m_filedNearness[k] = entry.nearness;
                }
            }
        });
    }
}

template <class Traits> std::size_t Grid<Traits>::levelOf(const Imple::QuantisedBox& box) const {
    for (std::size_t level = 0; level + 1 < m_levels.size(); ++level) {
        const int shift = m_levels[level].shift;
        if ((box.x1 >> shift) - (box.x0 >> shift) <= 1 && (box.y1 >> shift) - (box.y0 >> shift) <= 1) {
            return level;
        }
    }
    return m_levels.size() - 1;
}

template <class Traits>
template <class Action>
void Grid<Traits>::forEachCell(const Imple::QuantisedBox& box, const Level& level, Action&& action) {
    for (int row = box.y0 >> level.shift; row <= box.y1 >> level.shift; ++row) {
        const std::size_t rowStart = level.first + static_cast<std::size_t>(row) * static_cast<std::size_t>(level.columns);
        for (int column = box.x0 >> level.shift; column <= box.x1 >> level.shift; ++column) {
            action(rowStart + static_cast<std::size_t>(column));
        }
    }
}

template <class Traits>
template <class Visit>
bool Grid<Traits>::forEachMeeting(const Imple::QuantisedBox& window, std::int16_t nearest, Visit&& visit) const {
    const Imple::QuantisedBox w{clamped(window.x0), clamped(window.y0), clamped(window.x1), clamped(window.y1)};
    for (const Level& level : m_levels) {
        if (level.filed == 0) {
            continue;
        }
        const int shift = level.shift;
        bool going = true;
        forEachCell(w, level, [&](std::size_t cell) {
            for (std::uint32_t k = m_cellStart[cell]; going && k < m_cellStart[cell + 1]; ++k) {
                if (m_filedNearness[k] < nearest) {
                    break; // the rest of the cell lies farther still
                }
                const Imple::QuantisedBox& box = m_filedBox[k];
                if (!box.meets(w)) {
                    continue;
                }
                // An item filed in several cells that the window meets is reported from the one that
                // holds the lowest corner of its overlap with the window.
                const std::size_t home = level.first +
                                         static_cast<std::size_t>(std::max(w.y0, box.y0) >> shift) * level.columns +
                                         static_cast<std::size_t>(std::max(w.x0, box.x0) >> shift);
                if (home == cell) {
                    const std::uint32_t index = m_filed[k];
                    going = visit(m_items[index], static_cast<std::size_t>(index), box);
                }
            }
        });
        if (!going) {
            return false;
        }
    }
    return true;
}

} // namespace WindowQuery
