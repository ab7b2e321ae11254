#pragma once

// Projectors for tests, written the way people read matrices: row by row.

#include "Hlr/HLRProjector.h"

namespace KvHLRTest {

// HLRProjector reads its arrays column by column, so the rows given here go in transposed.
inline KvHLR::HLRProjector camera(const double mvRows[4][4], const double projRows[4][4], double nearDepth) {
    double mv[4][4];
    double proj[4][4];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            mv[c][r] = mvRows[r][c];
            proj[c][r] = projRows[r][c];
        }
    }
    return KvHLR::HLRProjector(mv, proj, nearDepth, 1000.0);
}

inline constexpr double kIdentity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

} // namespace KvHLRTest
