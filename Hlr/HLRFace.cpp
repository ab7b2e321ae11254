#include "Hlr/HLRFace.h"

namespace KvHLR {

HLRFace::~HLRFace() = default;

} // namespace KvHLR
