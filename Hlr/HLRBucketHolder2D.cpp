#include "Hlr/HLRBucketHolder2D.h"

#include "Hlr/HLRCompletionObservableHidingObject.h"

namespace KvHLR {

HLRBucketHolder2D::HLRBucketHolder2D() = default;

HLRBucketHolder2D::~HLRBucketHolder2D() = default;

void HLRBucketHolder2D::setBuckets(const HLRBox2D& rectangle, int n) {
    m_resolution = n;
    m_bounds = rectangle;
    m_cellWidth = (rectangle.max().x() - rectangle.min().x()) / n;
    m_cellHeight = (rectangle.max().y() - rectangle.min().y()) / n;
    m_buckets.clear();
    m_buckets.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    m_columns.clear();
    m_columns.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double x = i * m_cellWidth + rectangle.min().x();
        m_columns.emplace_back(HLRVector2D(x, rectangle.min().y()),
                               HLRVector2D(x + m_cellWidth, rectangle.max().y()));
        for (int j = 0; j < n; ++j) {
            const double y = j * m_cellHeight + rectangle.min().y();
            m_buckets.emplace_back(HLRVector2D(x, y), HLRVector2D(x + m_cellWidth, y + m_cellHeight));
        }
    }
    m_built = true;
}

template <typename Visit>
void HLRBucketHolder2D::forEachOverlappingBucket(const HLRBoundingBox2D& box, Visit visit) {
    const std::size_t n = m_columns.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (!box.overlaps(m_columns[i])) {
            continue;
        }
        HLRBucket2D* column = m_buckets.data() + i * n;
        for (std::size_t j = 0; j < n; ++j) {
            if (box.overlaps(column[j])) {
                visit(column[j]);
            }
        }
    }
}

void HLRBucketHolder2D::addToBuckets(HLRCompletionObservableHidingObject* object) {
    forEachOverlappingBucket(object->boundingBox2D(),
                             [object](HLRBucket2D& cell) { cell.addObject(object); });
}

std::vector<HLRBucket2D*>& HLRBucketHolder2D::bucketsOverlapping(const HLRBoundingBox2D& box) {
    m_hits.clear();
    forEachOverlappingBucket(box, [this](HLRBucket2D& cell) { m_hits.push_back(&cell); });
    return m_hits;
}

} // namespace KvHLR
