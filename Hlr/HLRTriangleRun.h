#pragma once

#include "Hlr/HLRError.h"

#include <cstddef>

namespace KvHLR {

// The triangles of a face: consecutive triangles of one store, held as the first and their count. A
// face's triangles are made one after another, so a face of millions of triangles costs two words
// instead of a pointer a triangle. Iterating visits the triangles themselves; indexing gives pointers.
template <class Triangle> class HLRTriangleRun {
public:
    std::size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    Triangle* operator[](std::size_t i) const { return m_first + i; }
    Triangle* begin() const { return m_first; }
    Triangle* end() const { return m_first + m_count; }

    // Appends the triangle that follows the last one in its store (any triangle while empty).
    void append(Triangle* triangle) {
        if (m_count == 0) {
            m_first = triangle;
        } else if (triangle != m_first + m_count) {
            throw HLRError(
                "HLRTriangleRun::append(): a face's triangles must follow one another in their store",
                "Hlr/HLRTriangleRun", 25);
        }
        ++m_count;
    }

private:
    Triangle* m_first = nullptr;
    std::size_t m_count = 0;
};

} // namespace KvHLR
