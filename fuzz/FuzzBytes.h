#pragma once

// Reads a fuzzer's bytes as the values a scene is made of. Once the bytes run out every read
// gives zero, so any prefix of an input still decodes into a whole scene and short inputs are
// as meaningful as long ones. Callers make one read per statement: the language leaves open the
// order in which operands and arguments are evaluated, and an input must decode alike under every
// compiler.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace KvHLRFuzz {

class FuzzBytes {
public:
    FuzzBytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t byte() { return m_position < m_size ? m_data[m_position++] : 0; }
    std::uint16_t u16() {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | byte() << 8);
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | static_cast<std::uint32_t>(u16()) << 16;
    }
    bool flag() { return (byte() & 1) != 0; }

    // A number in 0..n-1 (n at most 65536).
    std::size_t below(std::size_t n) { return u16() % n; }

    double raw() {
        const std::uint64_t low = u32();
        const std::uint64_t bits = low | static_cast<std::uint64_t>(u32()) << 32;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Mostly small numbers on a quarter grid, so that vertices coincide and faces lie in common
    // planes; now and then a value meant to break arithmetic, or any bit pattern at all.
    double coordinate() {
        switch (byte() % 8) {
        case 4:
            return static_cast<std::int16_t>(u16()) / 1024.0;
        case 5:
            return extreme();
        case 6:
            return raw();
        case 7:
            return static_cast<std::int8_t>(byte()) * 1e6;
        default:
            return static_cast<std::int8_t>(byte()) / 4.0;
        }
    }

    double extreme() {
        constexpr double kExtremes[] = {std::numeric_limits<double>::quiet_NaN(),
                                        std::numeric_limits<double>::infinity(),
                                        -std::numeric_limits<double>::infinity(),
                                        std::numeric_limits<double>::max(),
                                        -std::numeric_limits<double>::max(),
                                        std::numeric_limits<double>::min(),
                                        std::numeric_limits<double>::denorm_min(),
                                        -std::numeric_limits<double>::denorm_min(),
                                        1e300,
                                        -1e300,
                                        1e154,
                                        1e-300,
                                        1e-12,
                                        1e12,
                                        0.0,
                                        -0.0};
        return kExtremes[byte() % (sizeof kExtremes / sizeof kExtremes[0])];
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

} // namespace KvHLRFuzz
