#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "tests/ui/dialogs/dialog_test_support.h"
#include "ui/dialogs/about_dialog.h"

TEST(AboutDialog, ShowsTheWholePictureWithoutAFrame) {
    CAboutDialog dialog;
    auto* picture = dialog.findChild<QLabel*>(QStringLiteral("pictureLabel"));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixmap().size(), QSize(425, 230));
    EXPECT_EQ(dialog.size(), QSize(425, 230));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
}

TEST(AboutDialog, AnyMouseButtonClosesItWithAccepted) {
    {
        CAboutDialog dialog;
        ModalWatcher<CAboutDialog> watcher(
            [](CAboutDialog* shown) { QTest::mouseClick(shown, Qt::RightButton); });
        EXPECT_EQ(dialog.exec(), QDialog::Accepted);
        EXPECT_TRUE(watcher.Seen());
    }
    // The picture covers the window, so presses land on it.
    for (auto button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        CAboutDialog dialog;
        dialog.show();
        QTest::mousePress(dialog.findChild<QLabel*>(QStringLiteral("pictureLabel")), button);
        EXPECT_FALSE(dialog.isVisible()) << "button " << button;
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << "button " << button;
    }
}

TEST(AboutDialog, AnyKeyClosesItWithAcceptedAltAndEscIncluded) {
    // Esc would reject an ordinary dialog; here every key accepts.
    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {{Qt::Key_Alt, Qt::NoModifier},
                                                              {Qt::Key_F4, Qt::AltModifier},
                                                              {Qt::Key_Escape, Qt::NoModifier},
                                                              {Qt::Key_A, Qt::NoModifier}};
    for (auto [key, modifiers] : keys) {
        CAboutDialog dialog;
        dialog.show();
        QTest::keyPress(&dialog, key, modifiers);
        EXPECT_FALSE(dialog.isVisible()) << "key " << key;
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << "key " << key;
    }
}
