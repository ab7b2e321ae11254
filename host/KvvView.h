#pragma once

// A view of the host: a camera (model-view and projection transforms with near and far depths)
// shown in a window.

#include "host/CRect.h"
#include "host/KvCore.h"
#include "host/opennurbs.h"

namespace Kv {

class KVHOST_API KvvView : public KvObject {
    KV_DECLARE_RUNTIME_CLASS()

public:
    // A view without a camera and without a window.
    KvvView() = default;

    void SetProjector(const ON_Xform& modelView, const ON_Xform& projection, double nearDepth,
                      double farDepth);
    void SetWindow(HWND window) { m_window = window; }
    HWND GetSafeHwnd() const { return m_window; }

    // Fills the four outputs with the camera and returns true; returns false, outputs untouched,
    // while no camera has been set. The projection maps to normalised device coordinates and so
    // does not depend on the viewport: `rect` is accepted for hosts whose cameras do.
    virtual bool GetProjector(ON_Xform& modelView, ON_Xform& projection, double& nearDepth, double& farDepth,
                              const CRect* rect) const;

private:
    bool m_hasProjector = false;
    ON_Xform m_modelView;
    ON_Xform m_projection;
    double m_nearDepth = 0.0;
    double m_farDepth = 0.0;
    HWND m_window = nullptr;
};

} // namespace Kv
