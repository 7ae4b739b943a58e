#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "tests/ui/dialogs/dialog_test_support.h"
#include "ui/controls/image_button.h"
#include "ui/dialogs/message_dialog.h"

TEST(MessageDialog, ShowMessageShowsTheTextUnderTheCaptionQuarnAndWaitsForOk) {
    // Markup-like text must arrive as typed: messages quote addresses and file names.
    const QString text = QStringLiteral("Could not read <index.htm>\nfrom the site.");
    QString caption, shown;
    bool modal = false, hadParent = true;
    ModalWatcher<CMessageDialog> watcher([&](CMessageDialog* dialog) {
        caption = dialog->windowTitle();
        modal = dialog->isModal();
        hadParent = dialog->parentWidget() != nullptr;
        auto* label = dialog->findChild<QLabel*>(QStringLiteral("message"));
        ASSERT_NE(label, nullptr);
        shown = label->text();
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        auto* ok = dialog->findChild<CImageButton*>(QStringLiteral("okButton"));
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QStringLiteral("OK"));
        QTest::mouseClick(ok, Qt::LeftButton);
    });

    ShowMessage(text);

    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(caption, QStringLiteral("Quarn"));
    EXPECT_EQ(shown, text);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(hadParent);
}

TEST(MessageDialog, EscAndTheCloseBoxEndItToo) {
    CMessageDialog dialog;
    bool ended = false;
    ModalWatcher<CMessageDialog> esc(
        [](CMessageDialog* shown) { QTest::keyClick(shown, Qt::Key_Escape); });
    dialog.exec();
    EXPECT_TRUE(esc.Seen());
    // The watcher's safety reject would end it as well, so look at what close() did.
    ModalWatcher<CMessageDialog> closeBox([&](CMessageDialog* shown) { ended = shown->close(); });
    dialog.exec();
    EXPECT_TRUE(ended);
}

TEST(MessageDialog, OkSitsCentredBelowTheWrappedText) {
    CMessageDialog dialog;
    dialog.SetMessage(QStringLiteral("A message long enough to wrap onto a second line of the "
                                     "box, which the button must stay below."));
    dialog.show();
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("message"));
    auto* ok = dialog.findChild<CImageButton*>(QStringLiteral("okButton"));
    ASSERT_TRUE(label && ok);
    EXPECT_TRUE(label->wordWrap());
    EXPECT_GE(ok->geometry().top(), label->geometry().bottom());
    EXPECT_NEAR(ok->geometry().center().x(), dialog.rect().center().x(), 2);
}
