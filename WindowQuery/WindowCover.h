#pragma once

#include "WindowQuery/Event.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace WindowQuery {
namespace Imple {

// Where a known set of query windows lies, on a coarse grid over the quantised plane: a tree built for
// these windows only needs the items whose box meets one of them. `mayMeet` is conservative: false
// only for a box that meets no window (it may be true for a box that passes between windows in the
// same cell). A smooth surface's outline touches every row of the screen, so such a tree would
// otherwise still hold nearly every triangle; filtered, it holds the few around the outline.
//
// In: the windows (inclusive integer bounds) and the number of items to filter. Cost: one pass over
// the windows, two over the grid, whose cells are as fine as two units (1024 a side, 4 MB) for a large
// model and coarser for fewer boxes, about four cells per item and window: a small model's drawing
// would otherwise spend most of its time clearing and summing a grid made for millions of triangles.
class WindowCover {
public:
    WindowCover(const std::vector<QuantisedBox>& windows, std::size_t itemCount)
        : m_shift(shiftFor(windows.size() + itemCount)), m_side(std::size_t{2048} >> m_shift),
          m_covered((m_side + 1) * (m_side + 1), 0) {
        // Each window adds one to the cells it spans, through the corners of a difference grid.
        const std::size_t row = m_side + 1;
        std::vector<std::int32_t> difference(row * row, 0);
        for (const QuantisedBox& window : windows) {
            const std::size_t x0 = cellOf(window.x0), x1 = cellOf(window.x1) + 1;
            const std::size_t y0 = cellOf(window.y0), y1 = cellOf(window.y1) + 1;
            ++difference[y0 * row + x0];
            --difference[y0 * row + x1];
            --difference[y1 * row + x0];
            ++difference[y1 * row + x1];
        }
        // Summed, the difference grid counts the windows over each cell; m_covered(y + 1, x + 1) then
        // counts the covered cells up to (y, x), so that any block of cells is looked up in four reads.
        for (std::size_t y = 0; y < m_side; ++y) {
            for (std::size_t x = 0; x < m_side; ++x) {
                std::int32_t& windowsOver = difference[y * row + x];
                if (x > 0)
                    windowsOver += difference[y * row + x - 1];
                if (y > 0)
                    windowsOver += difference[(y - 1) * row + x];
                if (x > 0 && y > 0)
                    windowsOver -= difference[(y - 1) * row + x - 1];
                at(y + 1, x + 1) = at(y, x + 1) + at(y + 1, x) - at(y, x) + (windowsOver > 0 ? 1 : 0);
            }
        }
    }

    bool mayMeet(const QuantisedBox& box) const {
        const std::size_t x0 = cellOf(box.x0), x1 = cellOf(box.x1) + 1;
        const std::size_t y0 = cellOf(box.y0), y1 = cellOf(box.y1) + 1;
        return at(y1, x1) - at(y0, x1) - at(y1, x0) + at(y0, x0) > 0;
    }

private:
    // Box coordinates are 11-bit fields, 0 to 2047, cut into cells of 2^shift units: two units at the
    // finest, and at the coarsest cells of 256 (8 a side).
    static int shiftFor(std::size_t boxes) {
        int shift = 1;
        while (shift < 8 &&
               (std::size_t{2048} >> (shift + 1)) * (std::size_t{2048} >> (shift + 1)) >= 4 * boxes)
            ++shift;
        return shift;
    }
    std::size_t cellOf(std::int16_t coordinate) const {
        return static_cast<std::size_t>(std::clamp<std::int16_t>(coordinate, 0, 2047)) >> m_shift;
    }
    std::int32_t& at(std::size_t row, std::size_t column) { return m_covered[row * (m_side + 1) + column]; }
    std::int32_t at(std::size_t row, std::size_t column) const {
        return m_covered[row * (m_side + 1) + column];
    }

    int m_shift;
    std::size_t m_side;
    std::vector<std::int32_t> m_covered;
};

} // namespace Imple
} // namespace WindowQuery
