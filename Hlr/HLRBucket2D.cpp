#include "Hlr/HLRBucket2D.h"

namespace KvHLR {

HLRBucket2D::HLRBucket2D(const HLRVector2D& lo, const HLRVector2D& hi) : HLRBoundingBox2D(lo, hi) {}

HLRBucket2D::~HLRBucket2D() = default;

} // namespace KvHLR
