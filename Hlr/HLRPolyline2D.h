#pragma once

#include "Hlr/HLRPointDeque.h"
#include "Hlr/HLRVector2D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// The point sequence of a long stroke; joining grows it at either end.
class KVHLR_API HLRPolyline2D {
public:
    virtual ~HLRPolyline2D();

    const HLRPointDeque& points() const { return m_points; }
    void addPoint(const HLRVector2D& point, bool atBack);
    // Drops the last point (atBack) or the first one; does nothing on an empty polyline.
    void removePoint(bool atBack);

private:
    HLRPointDeque m_points;
};

} // namespace KvHLR
