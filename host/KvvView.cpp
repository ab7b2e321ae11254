#include "host/KvvView.h"

namespace Kv {

KV_IMPLEMENT_RUNTIME_CLASS(KvvView, KvObject)

void KvvView::SetProjector(const ON_Xform& modelView, const ON_Xform& projection, double nearDepth,
                           double farDepth) {
    m_modelView = modelView;
    m_projection = projection;
    m_nearDepth = nearDepth;
    m_farDepth = farDepth;
    m_hasProjector = true;
}

bool KvvView::GetProjector(ON_Xform& modelView, ON_Xform& projection, double& nearDepth, double& farDepth,
                           const CRect* /*rect*/) const {
    if (!m_hasProjector) {
        return false;
    }
    modelView = m_modelView;
    projection = m_projection;
    nearDepth = m_nearDepth;
    farDepth = m_farDepth;
    return true;
}

} // namespace Kv
