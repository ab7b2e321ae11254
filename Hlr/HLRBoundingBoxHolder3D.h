#pragma once

#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRBox3D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// Base of every object that owns a packed 3D box and knows how to compute its extent.
class KVHLR_API HLRBoundingBoxHolder3D {
public:
    virtual ~HLRBoundingBoxHolder3D();

    // Computes the holder's extent, stores its packed form in boundingBox3D() on the current
    // grid and returns the extent.
    virtual HLRBox3D setBoundingBox3D() = 0;

    HLRBoundingBox3D& boundingBox3D() { return m_boundingBox3D; }
    const HLRBoundingBox3D& boundingBox3D() const { return m_boundingBox3D; }

private:
    HLRBoundingBox3D m_boundingBox3D;
};

} // namespace KvHLR
