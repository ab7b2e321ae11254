#include "Hlr/HLRBucketHolder2D.h"
#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRCompletionObservableHidingObject.h"
#include "Hlr/HLRHidingBucketHolder.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include <gtest/gtest.h>

#include <vector>

using namespace KvHLR;

namespace {

// A hiding object with a fixed screen box that records how often it was offered an edge and
// whether it was marked at the time; optionally it hides every edge it is offered.
class RecordingObject : public HLRCompletionObservableHidingObject {
public:
    RecordingObject(double x0, double y0, double x1, double y1, bool hidesAll = false)
        : m_box(HLRVector2D(x0, y0), HLRVector2D(x1, y1)), m_hidesAll(hidesAll) {
        boundingBox2D().set(m_box);
    }
    void hide(HLRProjectedTriangleEdge& edge) override {
        ++offers;
        offeredWhileMarked = offeredWhileMarked || isCompleted();
        if (m_hidesAll) {
            edge.hideAll();
        }
    }
    void setBoundingBoxes(HLRBox2D& box2D, HLRBox3D&) override {
        boundingBox2D().set(m_box);
        box2D.add(m_box);
    }
    int offers = 0;
    bool offeredWhileMarked = false;

private:
    HLRBox2D m_box;
    bool m_hidesAll;
};

// The plain holder: offers an edge to every object it was given, in order.
class ListHolder : public HLRHidingBucketHolder {
public:
    void file(RecordingObject& object) {
        m_objects.push_back(&object);
        addToBuckets(&object);
    }
    void hideByObjects(HLRProjectedTriangleEdge& edge) override {
        for (RecordingObject* object : m_objects) {
            object->hide(edge);
        }
    }

private:
    std::vector<RecordingObject*> m_objects;
};

// An edge of screen positions a to b, boxed on the current grid.
class ScreenEdge {
public:
    ScreenEdge(double ax, double ay, double bx, double by) : m_edge(&m_start, &m_end, nullptr, nullptr) {
        m_start.screenPosition = HLRVector2D(ax, ay);
        m_end.screenPosition = HLRVector2D(bx, by);
        m_edge.setBoundingBox2D();
    }
    HLRProjectedTriangleEdge& operator*() { return m_edge; }

private:
    HLRProjectedTriangleVertex m_start;
    HLRProjectedTriangleVertex m_end;
    HLRProjectedTriangleEdge m_edge;
};

// The world reaches beyond the grid's rectangle (0, 0)-(10, 10), so that boxes outside the grid
// quantise to codes of their own.
class HLRBucketHolder2DTest : public ::testing::Test {
protected:
    void SetUp() override {
        HLRBoundingBox2D::setWorld(HLRBox2D(HLRVector2D(-10.0, -10.0), HLRVector2D(20.0, 20.0)));
        holder.setBuckets(HLRBox2D(HLRVector2D(0.0, 0.0), HLRVector2D(10.0, 10.0)), 5);
    }

    std::vector<std::size_t> indicesOf(const std::vector<HLRBucket2D*>& cells) const {
        std::vector<std::size_t> indices;
        for (const HLRBucket2D* cell : cells) {
            indices.push_back(static_cast<std::size_t>(cell - holder.buckets().data()));
        }
        return indices;
    }
    std::vector<std::size_t> cellsHolding(const RecordingObject& object) const {
        std::vector<std::size_t> indices;
        for (std::size_t i = 0; i < holder.buckets().size(); ++i) {
            for (const HLRCompletionObservableHidingObject* filed : holder.buckets()[i].objects()) {
                if (filed == &object) {
                    indices.push_back(i);
                }
            }
        }
        return indices;
    }

    ListHolder holder;
};

} // namespace

TEST_F(HLRBucketHolder2DTest, GridCoversTheRectangleColumnByColumn) {
    EXPECT_TRUE(holder.built());
    EXPECT_EQ(holder.resolution(), 5);
    EXPECT_DOUBLE_EQ(holder.cellWidth(), 2.0);
    EXPECT_DOUBLE_EQ(holder.cellHeight(), 2.0);
    ASSERT_EQ(holder.buckets().size(), 25u);

    const HLRBoundingBox2D everything(HLRVector2D(0.0, 0.0), HLRVector2D(10.0, 10.0));
    std::vector<std::size_t> expected(25);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i] = i;
    }
    EXPECT_EQ(indicesOf(holder.bucketsOverlapping(everything)), expected);

    // Column 1 (x 2..4), row 3 (y 6..8) is cell 1 * 5 + 3.
    const HLRBoundingBox2D inside(HLRVector2D(2.5, 6.5), HLRVector2D(3.5, 7.5));
    EXPECT_EQ(indicesOf(holder.bucketsOverlapping(inside)), std::vector<std::size_t>{8});
    EXPECT_EQ(&holder.bucketsOverlapping(inside), &holder.bucketsOverlapping(everything));
}

TEST_F(HLRBucketHolder2DTest, BoxOutsideTheGridTouchesNoCell) {
    RecordingObject object(1.0, 1.0, 9.0, 9.0);
    holder.file(object);
    ScreenEdge outside(12.0, 12.0, 15.0, 14.0);

    EXPECT_TRUE(holder.bucketsOverlapping((*outside).boundingBox2D()).empty());
    holder.hideByBuckets(*outside);
    EXPECT_EQ(object.offers, 0);
}

TEST_F(HLRBucketHolder2DTest, ObjectAcrossACellBorderIsFiledInBothAndOfferedOnce) {
    RecordingObject straddling(3.5, 0.5, 4.5, 1.5);
    holder.file(straddling);
    EXPECT_EQ(cellsHolding(straddling), (std::vector<std::size_t>{1 * 5 + 0, 2 * 5 + 0}));

    ScreenEdge across(1.0, 1.0, 9.0, 1.0);
    holder.hideByBuckets(*across);
    EXPECT_EQ(straddling.offers, 1);
    EXPECT_FALSE(straddling.offeredWhileMarked);
    EXPECT_FALSE(straddling.isCompleted());

    holder.hideByBuckets(*across);
    EXPECT_EQ(straddling.offers, 2);
}

TEST_F(HLRBucketHolder2DTest, SearchStopsOnceTheEdgeIsAllHiddenAndClearsEveryMark) {
    RecordingObject hider(0.5, 0.5, 9.5, 9.5, true);
    RecordingObject sameCell(0.5, 0.5, 1.5, 1.5);
    RecordingObject laterCell(8.5, 8.5, 9.5, 9.5);
    holder.file(hider);
    holder.file(sameCell);
    holder.file(laterCell);

    ScreenEdge diagonal(0.5, 0.5, 9.5, 9.5);
    holder.hideByBuckets(*diagonal);
    EXPECT_TRUE((*diagonal).isAllHidden());
    EXPECT_EQ(hider.offers, 1);
    EXPECT_EQ(sameCell.offers, 0);
    EXPECT_EQ(laterCell.offers, 0);
    for (const RecordingObject* object : {&hider, &sameCell, &laterCell}) {
        EXPECT_FALSE(object->isCompleted());
    }
}
