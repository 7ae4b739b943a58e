#include <gtest/gtest.h>

#include <QSplitterHandle>
#include <QTest>

#include "ui/controls/splitter_wnd_ex.h"

namespace {

struct SplitterFixture : ::testing::Test {
    CSplitterWndEx splitter{Qt::Horizontal};

    void SetUp() override {
        splitter.addWidget(new QWidget);
        splitter.addWidget(new QWidget);
        splitter.resize(400, 100);
        splitter.setSizes({100, 300});
        splitter.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&splitter));
    }

    // Presses the bar between the panes, drags it by dx and lets go. The points are fixed
    // on the screen, as the bar may move under the pointer.
    void DragHandle(int dx) {
        QSplitterHandle* bar = splitter.handle(1);
        const QPoint start = bar->mapToGlobal(bar->rect().center());
        QTest::mousePress(bar, Qt::LeftButton, {}, bar->mapFromGlobal(start));
        QTest::mouseMove(bar, bar->mapFromGlobal(start + QPoint(dx / 2, 0)));
        QTest::mouseMove(bar, bar->mapFromGlobal(start + QPoint(dx, 0)));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(start + QPoint(dx, 0)));
    }
};

} // namespace

TEST_F(SplitterFixture, LockedBarDoesNotMoveAndShowsNoSizingCursor) {
    EXPECT_TRUE(splitter.IsLocked());
    EXPECT_EQ(splitter.handle(1)->cursor().shape(), Qt::ArrowCursor);

    const int before = splitter.sizes().at(0);
    DragHandle(60);
    EXPECT_EQ(splitter.sizes().at(0), before);
}

TEST_F(SplitterFixture, UnlockedBarMovesWithTheMouse) {
    splitter.SetLocked(false);
    EXPECT_EQ(splitter.handle(1)->cursor().shape(), Qt::SplitHCursor);

    const int before = splitter.sizes().at(0);
    DragHandle(60);
    EXPECT_EQ(splitter.sizes().at(0), before + 60);

    // Locking again takes effect on the existing bar at once.
    splitter.SetLocked(true);
    EXPECT_EQ(splitter.handle(1)->cursor().shape(), Qt::ArrowCursor);
    DragHandle(-40);
    EXPECT_EQ(splitter.sizes().at(0), before + 60);
}

TEST_F(SplitterFixture, CursorFollowsTheLockForLaterBarsAndOrientation) {
    splitter.setOrientation(Qt::Vertical);
    EXPECT_EQ(splitter.handle(1)->cursor().shape(), Qt::ArrowCursor);

    splitter.SetLocked(false);
    splitter.addWidget(new QWidget);
    EXPECT_EQ(splitter.handle(1)->cursor().shape(), Qt::SplitVCursor);
    EXPECT_EQ(splitter.handle(2)->cursor().shape(), Qt::SplitVCursor);

    splitter.SetLocked(true);
    splitter.addWidget(new QWidget);
    EXPECT_EQ(splitter.handle(3)->cursor().shape(), Qt::ArrowCursor);
}
