#include "Hlr/HLRFreeEdge.h"

namespace KvHLR {

HLRFreeEdge::~HLRFreeEdge() = default;

} // namespace KvHLR
