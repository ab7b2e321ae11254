#pragma once

#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRBox3D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// Base of every object that owns a packed 3D box. Its computation (setBoundingBox3D) is declared
// by HLRHiddenObject, which holds both boxes: one virtual table for the two, since a model has
// millions of such objects.
class KVHLR_API HLRBoundingBoxHolder3D {
public:
    HLRBoundingBox3D& boundingBox3D() { return m_boundingBox3D; }
    const HLRBoundingBox3D& boundingBox3D() const { return m_boundingBox3D; }

protected:
    ~HLRBoundingBoxHolder3D() = default;

private:
    HLRBoundingBox3D m_boundingBox3D;
};

} // namespace KvHLR
