#include "Hlr/HLRVector4D.h"

#include "Hlr/HLRMatrix4x4.h"

namespace KvHLR {

HLRVector4D HLRVector4D::operator*(const HLRMatrix4x4& m) const {
    return m * *this;
}

const HLRVector4D& HLRVector4D::operator*=(const HLRMatrix4x4& m) {
    return *this = m * *this;
}

} // namespace KvHLR
