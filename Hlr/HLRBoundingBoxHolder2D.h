#pragma once

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRBox2D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// Base of every object that owns a packed 2D box and knows how to compute its extent.
class KVHLR_API HLRBoundingBoxHolder2D {
public:
    virtual ~HLRBoundingBoxHolder2D();

    // Computes the holder's extent, stores its packed form in boundingBox2D() on the current
    // grid and returns the extent.
    virtual HLRBox2D setBoundingBox2D() = 0;

    HLRBoundingBox2D& boundingBox2D() { return m_boundingBox2D; }
    const HLRBoundingBox2D& boundingBox2D() const { return m_boundingBox2D; }

private:
    HLRBoundingBox2D m_boundingBox2D;
};

} // namespace KvHLR
