#include "Hlr/HLRBoundingBoxHolder2D.h"

namespace KvHLR {

// Out of line so that the vtable and type information live once, in the library.
HLRBoundingBoxHolder2D::~HLRBoundingBoxHolder2D() = default;

} // namespace KvHLR
