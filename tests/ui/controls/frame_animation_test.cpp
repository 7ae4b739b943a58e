#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <set>

#include "ui/artwork.h"
#include "ui/controls/frame_animation.h"

namespace {

QColor FrameColour(int frame) {
    return QColor(40 + frame * 50, 200 - frame * 40, 90);
}

struct AnimationFixture : ::testing::Test {
    QTemporaryDir dir;
    QWidget parent;
    CFrameAnimation* animation = new CFrameAnimation(&parent);

    // Four plain 10x10 frames side by side, drawn at 2,2 in a 14x14 widget.
    void SetUp() override {
        QImage strip(40, 10, QImage::Format_RGB32);
        for (int frame = 0; frame < 4; ++frame)
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 10; ++x)
                    strip.setPixelColor(frame * 10 + x, y, FrameColour(frame));
        const QString path = dir.filePath(QStringLiteral("strip.png"));
        ASSERT_TRUE(strip.save(path));
        ASSERT_TRUE(animation->Create(path, QSize(14, 14), QRect(2, 2, 10, 10)));
    }

    QColor Shown() { return animation->grab().toImage().pixelColor(7, 7); }

    // Waits for frame, noting every frame seen on the way.
    bool WaitForFrame(int frame, std::set<int>& seen) {
        return QTest::qWaitFor(
            [&] {
                seen.insert(animation->CurrentFrame());
                return animation->CurrentFrame() == frame;
            },
            5000);
    }
};

} // namespace

TEST_F(AnimationFixture, CreateCutsFramesAndFillsWithButtonFace) {
    EXPECT_EQ(animation->FrameCount(), 4);
    EXPECT_EQ(animation->size(), QSize(14, 14));
    EXPECT_EQ(animation->grab().toImage().pixelColor(0, 0),
              animation->palette().color(QPalette::Button));
}

TEST_F(AnimationFixture, PlayLoopsBackToTheLoopStartNotFrameZero) {
    animation->Play(5, 1);
    EXPECT_TRUE(animation->IsRunning());
    std::set<int> seen;
    ASSERT_TRUE(WaitForFrame(3, seen));
    ASSERT_TRUE(WaitForFrame(1, seen));
    seen.clear();
    ASSERT_TRUE(WaitForFrame(3, seen));
    EXPECT_EQ(seen.count(0), 0u);
}

TEST_F(AnimationFixture, LastFrameBoundsTheLoop) {
    animation->Play(5, 1, 2);
    std::set<int> seen;
    ASSERT_TRUE(WaitForFrame(2, seen));
    ASSERT_TRUE(WaitForFrame(1, seen));
    ASSERT_TRUE(WaitForFrame(2, seen));
    EXPECT_EQ(seen.count(3), 0u);
}

TEST_F(AnimationFixture, StopLetsOneMoreFrameDrawThenHolds) {
    animation->Play(5);
    std::set<int> seen;
    ASSERT_TRUE(WaitForFrame(2, seen));
    animation->Stop();
    EXPECT_FALSE(animation->IsRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return animation->CurrentFrame() != 2; }, 5000));
    EXPECT_EQ(Shown(), FrameColour(animation->CurrentFrame()));
}

TEST_F(AnimationFixture, StoppedThenSetToFrameZeroStaysThere) {
    animation->Play(5);
    std::set<int> seen;
    ASSERT_TRUE(WaitForFrame(2, seen));
    animation->Stop();
    animation->SetFrame(0); // what the browser pane does when a page has loaded
    QTest::qWait(50);       // ten frame delays: a pending tick would have moved it by now
    EXPECT_EQ(animation->CurrentFrame(), 0);
    EXPECT_EQ(Shown(), FrameColour(0));
}

TEST_F(AnimationFixture, SetFrameClampsAndShowsTheFrame) {
    animation->SetFrame(99);
    EXPECT_EQ(animation->CurrentFrame(), 3);
    EXPECT_EQ(Shown(), FrameColour(3));
    animation->SetFrame(-4);
    EXPECT_EQ(animation->CurrentFrame(), 0);
    EXPECT_EQ(Shown(), FrameColour(0));
}

TEST(FrameAnimation, BusyStripHasSixteenFramesAndMissingStripFails) {
    CFrameAnimation busy;
    EXPECT_TRUE(
        busy.Create(QString::fromLatin1(art::kBusyFrames), QSize(26, 26), QRect(0, 0, 26, 26)));
    EXPECT_EQ(busy.FrameCount(), 16);

    CFrameAnimation missing;
    EXPECT_FALSE(missing.Create(QStringLiteral(":/art/no_such_strip.svg"), QSize(26, 26),
                                QRect(0, 0, 26, 26)));
    missing.Play(1);
    EXPECT_FALSE(missing.IsRunning());
}
