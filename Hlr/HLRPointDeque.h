#pragma once

#include "Hlr/HLRVector2D.h"
#include "api/KvHLRExport.h"

#include <cstddef>
#include <memory>
#include <utility>

namespace KvHLR {

// A double-ended sequence of points in one array, with room kept free at both ends.
//
// A drawing holds millions of long strokes, most of them two or three points long, so the sequence
// must be small when short: 32 bytes here, plus the points and a little room, where a std::deque
// takes over 500 bytes for its first point. Growing at either end stays amortised constant: a full
// end moves the points into an array twice their count, centred, so that both ends get room.
class KVHLR_API HLRPointDeque {
public:
    HLRPointDeque() = default;
    HLRPointDeque(const HLRPointDeque& other);
    HLRPointDeque& operator=(const HLRPointDeque& other);
    // A moved-from sequence is empty.
    HLRPointDeque(HLRPointDeque&& other) noexcept { *this = std::move(other); }
    HLRPointDeque& operator=(HLRPointDeque&& other) noexcept;

    std::size_t size() const { return m_end - m_begin; }
    bool empty() const { return m_end == m_begin; }
    const HLRVector2D* begin() const { return m_points.get() + m_begin; }
    const HLRVector2D* end() const { return m_points.get() + m_end; }
    const HLRVector2D& operator[](std::size_t i) const { return m_points[m_begin + i]; }
    const HLRVector2D& front() const { return m_points[m_begin]; }
    const HLRVector2D& back() const { return m_points[m_end - 1]; }

    void push_back(const HLRVector2D& point);
    void push_front(const HLRVector2D& point);
    void pop_back() { --m_end; }
    void pop_front() { ++m_begin; }

private:
    // Moves the points, centred, into a new array with room at both ends.
    void regrow();

    std::unique_ptr<HLRVector2D[]> m_points;
    std::size_t m_begin = 0; // first point's slot
    std::size_t m_end = 0;   // one past the last point's slot
    std::size_t m_capacity = 0;
};

bool operator==(const HLRPointDeque& a, const HLRPointDeque& b);

} // namespace KvHLR
