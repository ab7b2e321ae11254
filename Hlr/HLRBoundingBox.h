#pragma once

#include "api/KvHLRExport.h"

#include <cstdint>

namespace KvHLR {

// An extent quantised onto a model-wide grid and packed into two 32-bit codes, so that the
// overlap test, run millions of times by the hide pass, is two subtractions and one mask. Every
// triangle and edge holds two, so a box is its two codes and nothing else: no virtual table.
//
// Code layout, most significant bit first: guard bit, x (10 bits), guard bit, y (10 bits),
// guard bit, z (9 bits; 0 in 2D codes). Fields of boxes on the grid stay within 0..1019 for x
// and y and 0..507 for z, so every guard bit of a stored code is clear.
class KVHLR_API HLRBoundingBox {
public:
    // Every field all ones, guard bits clear: above any field a box on the grid can get, so a
    // default box overlaps no such box, only another default one.
    static constexpr std::uint32_t DEFAULT_CODE = 0x7FEFFDFFu;
    static constexpr std::uint32_t GUARD_MASK = 0x80100200u;

    HLRBoundingBox() = default;
    HLRBoundingBox(const HLRBoundingBox&) = default;
    HLRBoundingBox& operator=(const HLRBoundingBox&) = default;

    std::uint32_t minCode() const { return m_minCode; }
    std::uint32_t maxCode() const { return m_maxCode; }

    // Subtracting two codes field by field, a field smaller than its counterpart borrows and so
    // sets its guard bit (the lowest such field always does); a clear mask in both directions
    // means no axis separates the boxes. Equal fields, i.e. touching boxes, overlap.
    bool overlaps(const HLRBoundingBox& o) const {
        return (((m_maxCode - o.m_minCode) | (o.m_maxCode - m_minCode)) & GUARD_MASK) == 0;
    }

protected:
    static constexpr double MAX_XY_FIELD = 1019.0;
    static constexpr double MAX_Z_FIELD = 507.0;

    // Truncates a coordinate already scaled to grid units. Coordinates off the grid are clamped
    // onto its border, so they can never spill into a guard bit and corrupt the test for the
    // other axes; the clamp keeps every true overlap. NaN lands on 0.
    static std::uint32_t field(double scaled, double maxField) {
        if (!(scaled > 0.0)) {
            return 0;
        }
        return static_cast<std::uint32_t>(scaled < maxField ? scaled : maxField);
    }

    static constexpr std::uint32_t pack(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
        return (((x << 11) + y) << 10) + z;
    }

    void setCodes(std::uint32_t minCode, std::uint32_t maxCode) {
        m_minCode = minCode;
        m_maxCode = maxCode;
    }

private:
    std::uint32_t m_minCode = DEFAULT_CODE;
    std::uint32_t m_maxCode = DEFAULT_CODE;
};

} // namespace KvHLR
