#pragma once

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include <deque>

namespace KvHLR {

// Hand-made projected vertices, triangles and edges for the classification and hide tests, on the
// process-wide grids and tolerances that a build would leave for a model about ten units across.
// A vertex is given by its screen position and view depth; in a perspective scene its view
// position is the point on the eye ray (the eye at the origin looking along -z) at that depth.
// The process-wide values are restored when the scene goes away.
class EdgeHideTestScene {
public:
    static constexpr double kTolerance2D = 1e-5;
    static constexpr double kTolerance3D = 1e-5;
    static constexpr double kCoarseTolerance3D = 0.05;

    explicit EdgeHideTestScene(bool orthographic)
        : m_orthographic(orthographic), m_savedOrthographic(HLRProjectedModel::sm_bOrthoGraphic),
          m_savedNearRegion(HLRProjectedModel::sm_nearRegionBox),
          m_savedTolerance2D(HLRProjectedModel::sm_dTolerance2D),
          m_savedTolerance3D(HLRProjectedModel::sm_dTolerance3D),
          m_savedCoarseTolerance3D(HLRProjectedModel::sm_dCoarseTolerance3D),
          m_savedWorld2D(HLRBoundingBox2D::world()), m_savedWorld3D(HLRBoundingBox3D::world()) {
        HLRProjectedModel::sm_bOrthoGraphic = orthographic;
        HLRProjectedModel::sm_nearRegionBox = HLRBoundingBox3D();
        HLRProjectedModel::sm_dTolerance2D = kTolerance2D;
        HLRProjectedModel::sm_dTolerance3D = kTolerance3D;
        HLRProjectedModel::sm_dCoarseTolerance3D = kCoarseTolerance3D;
        HLRBoundingBox2D::setWorld(HLRBox2D(HLRVector2D(-10, -10), HLRVector2D(10, 10)));
        HLRBoundingBox3D::setWorld(HLRBox3D(HLRVector3D(-60, -60, -12), HLRVector3D(60, 60, 1)));
    }

    ~EdgeHideTestScene() {
        HLRProjectedModel::sm_bOrthoGraphic = m_savedOrthographic;
        HLRProjectedModel::sm_nearRegionBox = m_savedNearRegion;
        HLRProjectedModel::sm_dTolerance2D = m_savedTolerance2D;
        HLRProjectedModel::sm_dTolerance3D = m_savedTolerance3D;
        HLRProjectedModel::sm_dCoarseTolerance3D = m_savedCoarseTolerance3D;
        HLRBoundingBox2D::setWorld(m_savedWorld2D);
        HLRBoundingBox3D::setWorld(m_savedWorld3D);
    }

    EdgeHideTestScene(const EdgeHideTestScene&) = delete;
    EdgeHideTestScene& operator=(const EdgeHideTestScene&) = delete;

    const HLRProjectedTriangleVertex* vertex(double sx, double sy, double z) {
        HLRProjectedTriangleVertex v;
        v.screenPosition = HLRVector2D(sx, sy);
        v.viewPosition = m_orthographic ? HLRVector3D(sx, sy, z) : HLRVector3D(-sx * z, -sy * z, z);
        m_vertices.push_back(v);
        return &m_vertices.back();
    }

    // A vertex given by its view position; in a perspective scene its screen position is derived.
    const HLRProjectedTriangleVertex* viewVertex(double x, double y, double z) {
        return m_orthographic ? vertex(x, y, z) : vertex(-x / z, -y / z, z);
    }

    // A triangle with its plane, facing and packed boxes, as the build leaves it.
    HLRProjectedTriangle& triangle(const HLRProjectedTriangleVertex* v0, const HLRProjectedTriangleVertex* v1,
                                   const HLRProjectedTriangleVertex* v2) {
        m_triangles.emplace_back();
        HLRProjectedTriangle& t = m_triangles.back();
        t.setVertices(v0, v1, v2);
        HLRBox2D extent2D;
        HLRBox3D extent3D;
        t.setBoundingBoxes(extent2D, extent3D);
        return t;
    }

    // An edge with its packed boxes; its type is left to the test.
    HLRProjectedTriangleEdge& edge(const HLRProjectedTriangleVertex* p, const HLRProjectedTriangleVertex* q,
                                   const HLRProjectedTriangle* left = nullptr,
                                   const HLRProjectedTriangle* right = nullptr) {
        m_edges.emplace_back(p, q, left, right);
        HLRProjectedTriangleEdge& e = m_edges.back();
        e.setBoundingBox2D();
        e.setBoundingBox3D();
        return e;
    }

private:
    bool m_orthographic;
    bool m_savedOrthographic;
    HLRBoundingBox3D m_savedNearRegion;
    double m_savedTolerance2D;
    double m_savedTolerance3D;
    double m_savedCoarseTolerance3D;
    HLRBox2D m_savedWorld2D;
    HLRBox3D m_savedWorld3D;
    std::deque<HLRProjectedTriangleVertex> m_vertices;
    std::deque<HLRProjectedTriangle> m_triangles;
    std::deque<HLRProjectedTriangleEdge> m_edges;
};

} // namespace KvHLR
