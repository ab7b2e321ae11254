#include "Hlr/HLRPolyline2D.h"

namespace KvHLR {

HLRPolyline2D::~HLRPolyline2D() = default;

void HLRPolyline2D::addPoint(const HLRVector2D& point, bool atBack) {
    if (atBack)
        m_points.push_back(point);
    else
        m_points.push_front(point);
}

void HLRPolyline2D::removePoint(bool atBack) {
    if (m_points.empty())
        return;
    if (atBack)
        m_points.pop_back();
    else
        m_points.pop_front();
}

} // namespace KvHLR
