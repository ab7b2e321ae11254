#pragma once

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRBox2D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// Base of every object that owns a packed 2D box. Its computation (setBoundingBox2D) is declared
// by HLRHiddenObject, which holds both boxes: one virtual table for the two, since a model has
// millions of such objects.
class KVHLR_API HLRBoundingBoxHolder2D {
public:
    HLRBoundingBox2D& boundingBox2D() { return m_boundingBox2D; }
    const HLRBoundingBox2D& boundingBox2D() const { return m_boundingBox2D; }

protected:
    ~HLRBoundingBoxHolder2D() = default;

private:
    HLRBoundingBox2D m_boundingBox2D;
};

} // namespace KvHLR
