#pragma once

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRProjectedTriangle.h"

#include <cstdint>

namespace KvHLR {

// How the window-query tree reads a projected triangle: by the packed codes of its screen box.
struct HLRWindowQueryTraits {
    using Item = HLRProjectedTriangle*;

    static std::uint32_t minCode(const Item& triangle) { return triangle->boundingBox2D().minCode(); }
    static std::uint32_t maxCode(const Item& triangle) { return triangle->boundingBox2D().maxCode(); }
    // The tree is built inside a run: its builders stop when the run is cancelled.
    static void checkpoint() { HLRCancelPoll::check(); }
};

} // namespace KvHLR
