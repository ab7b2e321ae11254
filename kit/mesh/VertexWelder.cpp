#include "kit/mesh/VertexWelder.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace kvhlr {
namespace {

std::uint64_t bitsOf(double value) {
    const double canonical = value == 0.0 ? 0.0 : value; // -0.0 == 0.0 must hash alike
    std::uint64_t bits;
    std::memcpy(&bits, &canonical, sizeof bits);
    return bits;
}

// splitmix64 finaliser: spreads the nearly identical bit patterns of neighbouring grid points.
std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebULL;
    return h ^ (h >> 31);
}

std::uint64_t hashOf(const ON_3dPoint& p) {
    return mix(bitsOf(p.x) +
               0x9e3779b97f4a7c15ULL * mix(bitsOf(p.y) + 0x9e3779b97f4a7c15ULL * mix(bitsOf(p.z))));
}

bool samePosition(const ON_3dPoint& a, const ON_3dPoint& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

std::size_t slotCountFor(std::size_t points) {
    std::size_t count = 16;
    while (count < 2 * points)
        count *= 2;
    return count;
}

} // namespace

VertexWelder::VertexWelder(std::size_t expectedPoints) {
    m_points.reserve(expectedPoints);
    m_slots.assign(slotCountFor(expectedPoints), 0);
}

std::size_t VertexWelder::findSlot(const ON_3dPoint& p) const {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hashOf(p) & mask;
    while (m_slots[slot] != 0 && !samePosition(m_points[m_slots[slot] - 1], p))
        slot = (slot + 1) & mask;
    return slot;
}

std::uint64_t VertexWelder::add(const ON_3dPoint& p) {
    std::size_t slot = findSlot(p);
    if (m_slots[slot] != 0)
        return m_slots[slot] - 1;
    if (m_points.size() >= std::numeric_limits<std::uint32_t>::max() - 1) // slots hold index + 1
        throw std::length_error("more than 4 billion distinct vertices");
    m_points.push_back(p);
    if (2 * m_points.size() > m_slots.size()) {
        rehash(2 * m_slots.size());
        return m_points.size() - 1;
    }
    m_slots[slot] = static_cast<std::uint32_t>(m_points.size());
    return m_points.size() - 1;
}

void VertexWelder::rehash(std::size_t slotCount) {
    m_slots.assign(slotCount, 0);
    const std::size_t mask = slotCount - 1;
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        std::size_t slot = hashOf(m_points[i]) & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

Kv::KvPointList VertexWelder::takePoints() {
    Kv::KvPointList points = std::move(m_points);
    m_points.clear();
    m_slots.assign(slotCountFor(0), 0);
    return points;
}

} // namespace kvhlr
