#pragma once

#include <vector>

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBucket2D.h"

namespace KvHLR {

class HLRCompletionObservableHidingObject;

// An n x n grid of buckets over a screen rectangle. Objects are filed into every cell their packed
// box touches; a query returns the cells a box touches. All comparisons run on packed codes.
class HLRBucketHolder2D {
public:
    HLRBucketHolder2D();
    virtual ~HLRBucketHolder2D();

    // Builds the grid over the rectangle; cells are stored column by column (cell (i, j) at i * n + j).
    void setBuckets(const HLRBox2D& rectangle, int n);
    void addToBuckets(HLRCompletionObservableHidingObject* object);
    // The cells touched by the box, column by column. The returned list is reused by the next query.
    std::vector<HLRBucket2D*>& bucketsOverlapping(const HLRBoundingBox2D& box);

    const HLRBox2D& bounds() const { return m_bounds; }
    bool built() const { return m_built; }
    const std::vector<HLRBucket2D>& buckets() const { return m_buckets; }
    int resolution() const { return m_resolution; }
    double cellWidth() const { return m_cellWidth; }
    double cellHeight() const { return m_cellHeight; }

protected:
    HLRBox2D m_bounds;

private:
    // Calls visit(cell) for every cell whose box overlaps the given one, column by column.
    template <typename Visit> void forEachOverlappingBucket(const HLRBoundingBox2D& box, Visit visit);

    bool m_built = false;
    std::vector<HLRBucket2D> m_buckets;
    std::vector<HLRBucket2D*> m_hits;
    // One box per column, so that a query rejects a whole column with one packed test.
    std::vector<HLRBoundingBox2D> m_columns;
    int m_resolution = 0;
    double m_cellWidth = 0.0;
    double m_cellHeight = 0.0;
};

} // namespace KvHLR
