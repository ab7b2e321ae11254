#include "Hlr/HLRHidingObject.h"

#include "Hlr/HLRError.h"

namespace KvHLR {

HLRHidingObject::~HLRHidingObject() = default;

HLRBox2D HLRHidingObject::setBoundingBox2D() {
    throw HLRError("HLRHidingObject::setBoundingBox2D(): Invalid call", "Hlr/HLRHidingObject", 117);
}

HLRBox3D HLRHidingObject::setBoundingBox3D() {
    throw HLRError("HLRHidingObject::setBoundingBox3D(): Invalid call", "Hlr/HLRHidingObject", 124);
}

} // namespace KvHLR
