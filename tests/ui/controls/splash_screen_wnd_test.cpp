#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "ui/controls/splash_screen_wnd.h"

namespace {

QPixmap Picture() {
    QPixmap picture(120, 60);
    picture.fill(QColor(10, 120, 200));
    return picture;
}

struct SplashFixture : ::testing::Test {
    void SetUp() override { CSplashScreenWnd::EnableSplash(true); }
    void TearDown() override {
        CSplashScreenWnd::CloseSplash();
        CSplashScreenWnd::EnableSplash(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace

TEST_F(SplashFixture, ShowsOnlyWhenEnabledWithAPictureAndOneAtATime) {
    CSplashScreenWnd::EnableSplash(false);
    CSplashScreenWnd::ShowSplash(nullptr, Picture());
    EXPECT_EQ(CSplashScreenWnd::Current(), nullptr);

    CSplashScreenWnd::EnableSplash(true);
    CSplashScreenWnd::ShowSplash(nullptr, QPixmap());
    EXPECT_EQ(CSplashScreenWnd::Current(), nullptr);

    CSplashScreenWnd::ShowSplash(nullptr, Picture());
    CSplashScreenWnd* first = CSplashScreenWnd::Current();
    ASSERT_NE(first, nullptr);
    CSplashScreenWnd::ShowSplash(nullptr, Picture());
    EXPECT_EQ(CSplashScreenWnd::Current(), first);
}

TEST_F(SplashFixture, FramelessAndCentredOnTheScreen) {
    CSplashScreenWnd::ShowSplash(nullptr, Picture());
    CSplashScreenWnd* splash = CSplashScreenWnd::Current();
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(splash->size(), QSize(120, 60));
    const QPoint offCentre =
        splash->geometry().center() - QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);
    EXPECT_EQ(splash->grab().toImage().pixelColor(60, 30), QColor(10, 120, 200));
}

TEST_F(SplashFixture, OwnPictureIsShown) {
    CSplashScreenWnd::ShowSplash(nullptr);
    ASSERT_NE(CSplashScreenWnd::Current(), nullptr);
    EXPECT_EQ(CSplashScreenWnd::Current()->size(), QSize(425, 230));
}

TEST_F(SplashFixture, KeyPressClosesItAndIsSwallowed) {
    QLineEdit edit;
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    CSplashScreenWnd::ShowSplash(&edit, Picture());
    ASSERT_NE(CSplashScreenWnd::Current(), nullptr);

    QTest::keyClick(&edit, Qt::Key_A);
    EXPECT_EQ(CSplashScreenWnd::Current(), nullptr);
    EXPECT_TRUE(edit.text().isEmpty());

    QTest::keyClick(&edit, Qt::Key_B);
    EXPECT_EQ(edit.text(), QStringLiteral("b"));
}

TEST_F(SplashFixture, KeyThatIsAShortcutDoesNotRunItsCommand) {
    QLineEdit edit;
    QAction action(QStringLiteral("Preferences"), &edit);
    action.setShortcut(QKeySequence(Qt::Key_F2));
    edit.addAction(&action);
    int triggered = 0;
    QObject::connect(&action, &QAction::triggered, &edit, [&] { ++triggered; });
    edit.show();
    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));

    // The offscreen platform activates every window it shows, the splash too; with the
    // edit as its owner the edit's window would count as active all the same.
    CSplashScreenWnd::ShowSplash(nullptr, Picture());
    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    QTest::keyClick(&edit, Qt::Key_F2);
    EXPECT_EQ(CSplashScreenWnd::Current(), nullptr);
    EXPECT_EQ(triggered, 0);

    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    QTest::keyClick(&edit, Qt::Key_F2);
    EXPECT_EQ(triggered, 1);
}

TEST_F(SplashFixture, MouseButtonPressClosesItAndIsSwallowed) {
    QPushButton button(QStringLiteral("Go"));
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, &button, [&] { ++clicks; });
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));

    CSplashScreenWnd::ShowSplash(nullptr, Picture());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(CSplashScreenWnd::Current(), nullptr);
    EXPECT_EQ(clicks, 0);

    CSplashScreenWnd::ShowSplash(nullptr, Picture());
    QTest::mouseClick(&button, Qt::RightButton);
    EXPECT_EQ(CSplashScreenWnd::Current(), nullptr);

    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

TEST_F(SplashFixture, GoesAwayByItselfAfterTwoSeconds) {
    CSplashScreenWnd::ShowSplash(nullptr, Picture());
    QPointer<CSplashScreenWnd> splash = CSplashScreenWnd::Current();
    ASSERT_FALSE(splash.isNull());
    EXPECT_TRUE(QTest::qWaitFor([] { return CSplashScreenWnd::Current() == nullptr; },
                                CSplashScreenWnd::kShowMs + 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 1000));
}

TEST_F(SplashFixture, StaysAboveAnOwnerThatIsShownAfterIt) {
    // As at start-up: the main window makes the splash before it is shown itself.
    QWidget owner;
    owner.resize(300, 200);
    CSplashScreenWnd::ShowSplash(&owner, Picture());
    CSplashScreenWnd* splash = CSplashScreenWnd::Current();
    ASSERT_NE(splash, nullptr);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));

    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_NE(splash->windowHandle(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return splash->windowHandle()->transientParent() == owner.windowHandle(); }, 1000));
    EXPECT_TRUE(splash->isVisible());
}
