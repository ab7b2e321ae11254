#include "Hlr/HLRHiddenObject.h"

namespace KvHLR {

HLRHiddenObject::~HLRHiddenObject() = default;

} // namespace KvHLR
