#include "Hlr/HLRBoundingBoxHolder3D.h"

namespace KvHLR {

// Out of line so that the vtable and type information live once, in the library.
HLRBoundingBoxHolder3D::~HLRBoundingBoxHolder3D() = default;

} // namespace KvHLR
