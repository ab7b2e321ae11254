#include "host/KvvView.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(KvvView, ProjectorIsUnavailableUntilACameraIsSet) {
    Kv::KvvView view;
    ON_Xform modelView(2.0), projection(3.0);
    double nearDepth = -1.0, farDepth = -2.0;
    EXPECT_FALSE(view.GetProjector(modelView, projection, nearDepth, farDepth, nullptr));
    EXPECT_EQ(modelView[0][0], 2.0);
    EXPECT_EQ(projection[0][0], 3.0);
    EXPECT_EQ(nearDepth, -1.0);
    EXPECT_EQ(farDepth, -2.0);

    ON_Xform camera;
    camera[2][3] = -10.0;
    view.SetProjector(camera, ON_Xform(0.5), 1.0, 100.0);
    ASSERT_TRUE(view.GetProjector(modelView, projection, nearDepth, farDepth, nullptr));
    EXPECT_EQ(modelView[2][3], -10.0);
    EXPECT_EQ(projection[1][1], 0.5);
    EXPECT_EQ(nearDepth, 1.0);
    EXPECT_EQ(farDepth, 100.0);
}

TEST(KvvView, ClientRectangleComesFromTheViewWindow) {
    Kv::KvvView view;
    CRect rect(1, 2, 3, 4);
    EXPECT_EQ(view.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(GetClientRect(view.GetSafeHwnd(), &rect));
    EXPECT_EQ(rect.left, 1);
    EXPECT_EQ(rect.bottom, 4);

    KvWindow window(640, 480);
    view.SetWindow(&window);
    EXPECT_FALSE(GetClientRect(view.GetSafeHwnd(), nullptr));
    ASSERT_TRUE(GetClientRect(view.GetSafeHwnd(), &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.Width(), 640);
    EXPECT_EQ(rect.Height(), 480);
    EXPECT_THROW(window.SetClientSize(-1, 10), std::invalid_argument);
    EXPECT_EQ(window.ClientWidth(), 640);
}

} // namespace
