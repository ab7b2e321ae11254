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
// In: the windows (inclusive integer bounds). Cost: one pass over the windows, two over the grid.
class WindowCover {
public:
    explicit WindowCover(const std::vector<QuantisedBox>& windows) : m_covered((SIDE + 1) * (SIDE + 1), 0) {
        // Each window adds one to the cells it spans, through the corners of a difference grid.
        std::vector<std::int32_t> difference((SIDE + 1) * (SIDE + 1), 0);
        for (const QuantisedBox& window : windows) {
            const std::size_t x0 = cellOf(window.x0), x1 = cellOf(window.x1) + 1;
            const std::size_t y0 = cellOf(window.y0), y1 = cellOf(window.y1) + 1;
            ++difference[y0 * (SIDE + 1) + x0];
            --difference[y0 * (SIDE + 1) + x1];
            --difference[y1 * (SIDE + 1) + x0];
            ++difference[y1 * (SIDE + 1) + x1];
        }
        // Summed, the difference grid counts the windows over each cell; m_covered(y + 1, x + 1) then
        // counts the covered cells up to (y, x), so that any block of cells is looked up in four reads.
        for (std::size_t y = 0; y < SIDE; ++y) {
            for (std::size_t x = 0; x < SIDE; ++x) {
                std::int32_t& windowsOver = difference[y * (SIDE + 1) + x];
                if (x > 0)
                    windowsOver += difference[y * (SIDE + 1) + x - 1];
                if (y > 0)
                    windowsOver += difference[(y - 1) * (SIDE + 1) + x];
                if (x > 0 && y > 0)
                    windowsOver -= difference[(y - 1) * (SIDE + 1) + x - 1];
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
    // Box coordinates are 11-bit fields, 0 to 2047: cells of two units, a grid of 4 MB.
    static constexpr std::size_t SIDE = 1024;
    static std::size_t cellOf(std::int16_t coordinate) {
        return static_cast<std::size_t>(std::clamp<std::int16_t>(coordinate, 0, 2047)) >> 1;
    }
    std::int32_t& at(std::size_t row, std::size_t column) { return m_covered[row * (SIDE + 1) + column]; }
    std::int32_t at(std::size_t row, std::size_t column) const {
        return m_covered[row * (SIDE + 1) + column];
    }

    std::vector<std::int32_t> m_covered;
};

} // namespace Imple
} // namespace WindowQuery
