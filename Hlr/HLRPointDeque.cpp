#include "Hlr/HLRPointDeque.h"

#include <algorithm>
#include <utility>

namespace KvHLR {

HLRPointDeque::HLRPointDeque(const HLRPointDeque& other) {
    *this = other;
}

HLRPointDeque& HLRPointDeque::operator=(const HLRPointDeque& other) {
    if (this == &other)
        return *this;
    m_points.reset(other.empty() ? nullptr : new HLRVector2D[other.size()]);
    std::copy(other.begin(), other.end(), m_points.get());
    m_begin = 0;
    m_end = m_capacity = other.size();
    return *this;
}

HLRPointDeque& HLRPointDeque::operator=(HLRPointDeque&& other) noexcept {
    m_points = std::move(other.m_points);
    m_begin = std::exchange(other.m_begin, 0);
    m_end = std::exchange(other.m_end, 0);
    m_capacity = std::exchange(other.m_capacity, 0);
    return *this;
}

void HLRPointDeque::push_back(const HLRVector2D& point) {
    if (m_end == m_capacity)
        regrow();
    m_points[m_end++] = point;
}

void HLRPointDeque::push_front(const HLRVector2D& point) {
    if (m_begin == 0)
        regrow();
    m_points[--m_begin] = point;
}

void HLRPointDeque::regrow() {
    const std::size_t count = size();
    // At least one free slot at either end, and as many free slots as points in all: the next
    // `count / 2` insertions at either end then need no move.
    const std::size_t capacity = 2 * count + 2;
    std::unique_ptr<HLRVector2D[]> points(new HLRVector2D[capacity]);
    const std::size_t first = (capacity - count) / 2;
    std::copy(begin(), end(), points.get() + first);
    m_points = std::move(points);
    m_begin = first;
    m_end = first + count;
    m_capacity = capacity;
}

bool operator==(const HLRPointDeque& a, const HLRPointDeque& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace KvHLR
