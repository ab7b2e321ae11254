#include "Hlr/HLRBoundingBox.h"

namespace KvHLR {

// Out of line so that the vtable and type information live once, in the library.
HLRBoundingBox::~HLRBoundingBox() = default;

} // namespace KvHLR
