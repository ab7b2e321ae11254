#include "Hlr/HLRProjectedTriangleData.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRError.h"
#include "Hlr/HLRHugePages.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProjectedModel.h"

namespace KvHLR {

HLRProjectedTriangleData::HLRProjectedTriangleData(const HLRTriangleData& source,
                                                   const HLRProjector& projector, double sharpEdgeAngle,
                                                   std::uint32_t vertexIndexOffset)
    : m_source(&source), m_projector(&projector), m_sharpEdgeAngle(sharpEdgeAngle),
      m_vertexIndexOffset(vertexIndexOffset) {
    HLRHugePages::reserve(m_vertices, source.vertices().size());
    // Exact hiding keeps only the edges that can be drawn, which on a smooth model are a small share:
    // their sequence is sized once they are found.
    if (HLRProjectedModel::sm_bExactHiding) {
        HLRHugePages::reserve(m_occluders, source.triangles().size());
    } else {
        HLRHugePages::reserve(m_triangles, source.triangles().size());
        HLRHugePages::reserve(m_edges, source.edges().size());
    }
}

HLRProjectedTriangleData::~HLRProjectedTriangleData() = default;

HLRProjectedTriangle* HLRProjectedTriangleData::newTriangle() {
    m_triangles.emplace_back();
    return &m_triangles.back();
}

std::uint32_t HLRProjectedTriangleData::project() {
    if (HLRProjectedModel::sm_bExactHiding) {
        m_occluders.resize(m_source->triangles().size());
    } else if (m_triangles.size() != m_source->triangles().size()) {
        throw HLRError("HLRProjectedTriangleData::project(): a triangle of the store without its image",
                       "Hlr/HLRProjectedTriangleData", 30);
    }
    projectVertices();
    setTriangleVertices();
    buildEdges();
    return static_cast<std::uint32_t>(m_edges.size() + m_exactEdges.size());
}

void HLRProjectedTriangleData::projectVertices() {
    const std::vector<HLRTriangleVertex>& sources = m_source->vertices();
    m_vertices.resize(sources.size());
    forEachBlock(sources.size(), kItemsPerBlock, [&](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            HLRCancelPoll::check();
            const HLRTriangleVertex& vertex = sources[i];
            const HLRVector3D point(vertex.x, vertex.y, vertex.z);
            m_vertices[i] = HLRProjectedTriangleVertex::project(point, &vertex, *m_projector);
        }
    });
}

void HLRProjectedTriangleData::setTriangleVertices() {
    const bool exact = HLRProjectedModel::sm_bExactHiding;
    forEachBlock(
        m_source->triangles().size(), kItemsPerBlock, [&](std::size_t, std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                HLRCancelPoll::check();
                const std::int32_t* corners = m_source->triangles()[i].vertices;
                const HLRProjectedTriangleVertex* v0 = &m_vertices[static_cast<std::size_t>(corners[0])];
                const HLRProjectedTriangleVertex* v1 = &m_vertices[static_cast<std::size_t>(corners[1])];
                const HLRProjectedTriangleVertex* v2 = &m_vertices[static_cast<std::size_t>(corners[2])];
                if (exact)
                    m_occluders[i].image.setCorners(v0, v1, v2);
                else
                    m_triangles[i].setVertices(v0, v1, v2);
            }
        });
}

// A smooth edge draws nothing, hides nothing and is never hidden: exact hiding leaves it out, so that a
// smooth model of millions of edges keeps only its few thousand outline and sharp ones. The plain hide
// test keeps one edge per model edge. The edges are made in model order on the calling thread, which
// is quick; finding which to keep and classifying them, which is not, runs on the library's threads.
void HLRProjectedTriangleData::buildEdges() {
    const HLRTriangleData::EdgeSequence& modelEdges = m_source->edges();
    if (HLRProjectedModel::sm_bExactHiding) {
        const std::vector<std::uint32_t> drawable = drawableEdges();
        HLRHugePages::reserve(m_exactEdges, drawable.size());
        for (const std::uint32_t index : drawable) {
            HLRCancelPoll::check();
            const HLRTriangleEdge& modelEdge = modelEdges[index];
            m_exactEdges.emplace_back(&m_vertices[static_cast<std::size_t>(modelEdge.startVertex())],
                                      &m_vertices[static_cast<std::size_t>(modelEdge.endVertex())],
                                      image(modelEdge.leftTriangle()), image(modelEdge.rightTriangle()),
                                      HLRProjectedTriangleEdge::NO_TYPE);
        }
        forEachBlock(m_exactEdges.size(), kItemsPerBlock,
                     [this](std::size_t, std::size_t begin, std::size_t end) {
                         for (std::size_t i = begin; i < end; ++i) {
                             HLRCancelPoll::check();
                             m_exactEdges[i].classify(m_sharpEdgeAngle);
                         }
                     });
        return;
    }
    for (const HLRTriangleEdge& modelEdge : modelEdges) {
        HLRCancelPoll::check();
        m_edges.emplace_back(&m_vertices[static_cast<std::size_t>(modelEdge.startVertex())],
                             &m_vertices[static_cast<std::size_t>(modelEdge.endVertex())],
                             projectedTriangle(modelEdge.leftTriangle()),
                             projectedTriangle(modelEdge.rightTriangle()));
    }
    forEachBlock(m_edges.size(), kItemsPerBlock, [this](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            HLRCancelPoll::check();
            m_edges[i].setType(m_sharpEdgeAngle);
        }
    });
}

void HLRProjectedTriangleData::boxOccluders() {
    forEachBlock(m_occluders.size(), kItemsPerBlock, [this](std::size_t, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            HLRCancelPoll::check();
            HLROccluder& occluder = m_occluders[i];
            occluder.image.packBoxes(occluder.box2D,
                                     occluder.box3D); // the model's extents come from its vertices
        }
    });
}

std::vector<std::uint32_t> HLRProjectedTriangleData::drawableEdges() const {
    const HLRTriangleData::EdgeSequence& modelEdges = m_source->edges();
    std::vector<std::vector<std::uint32_t>> keptByBlock(blockCount(modelEdges.size(), kItemsPerBlock));
    forEachBlock(modelEdges.size(), kItemsPerBlock, [&](std::size_t block, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            HLRCancelPoll::check();
            if (HLRProjectedTriangleEdge::becomesFeatureLine(image(modelEdges[i].leftTriangle()),
                                                             image(modelEdges[i].rightTriangle()),
                                                             m_sharpEdgeAngle))
                keptByBlock[block].push_back(static_cast<std::uint32_t>(i));
        }
    });
    std::vector<std::uint32_t> kept;
    for (const std::vector<std::uint32_t>& blockKept : keptByBlock) {
        kept.insert(kept.end(), blockKept.begin(), blockKept.end());
    }
    return kept;
}

const HLRProjectedTriangle* HLRProjectedTriangleData::projectedTriangle(std::int32_t position) const {
    return position == HLRTriangleEdge::NONE ? nullptr : &m_triangles[static_cast<std::size_t>(position)];
}

const HLRTriangleImage* HLRProjectedTriangleData::image(std::int32_t position) const {
    if (position == HLRTriangleEdge::NONE)
        return nullptr;
    const auto i = static_cast<std::size_t>(position);
    return HLRProjectedModel::sm_bExactHiding ? &m_occluders[i].image : &m_triangles[i].image();
}

void HLRProjectedTriangleData::computeExtents(HLRBox2D& box2D, HLRBox3D& box3D) {
    HLRBox3D own3D;
    addVertexExtents(m_vertices, m_extent, own3D);
    box2D.add(m_extent);
    box3D.add(own3D);
}

} // namespace KvHLR
