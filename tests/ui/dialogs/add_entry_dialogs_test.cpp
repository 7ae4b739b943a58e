#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <memory>
#include <tuple>
#include <vector>

#include "tests/ui/dialogs/dialog_test_support.h"
#include "ui/controls/image_button.h"
#include "ui/dialogs/add_entry_dialogs.h"
#include "ui/dialogs/message_dialog.h"

namespace {
const QString kTooManyWildcards =
    QStringLiteral("You cannot enter more than 1 wildcard ( * ) character");

QLineEdit* Edit(QWidget& dialog) {
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("entryEdit"));
    EXPECT_NE(edit, nullptr);
    return edit;
}

CImageButton* Ok(QWidget& dialog) {
    auto* ok = dialog.findChild<CImageButton*>(QStringLiteral("okButton"));
    EXPECT_NE(ok, nullptr);
    return ok;
}

// Types the text into the shown dialog and clicks OK.
void Enter(CAddEntryDialog& dialog, const QString& typed) {
    dialog.show();
    QTest::keyClicks(Edit(dialog), typed);
    QTest::mouseClick(Ok(dialog), Qt::LeftButton);
}

struct Case {
    QString typed;
    QString entry;
};

// Each case in a fresh dialog: the entry after OK, also written back into the box.
template <class Dialog> void ExpectAccepted(const std::vector<Case>& cases) {
    for (const auto& [typed, entry] : cases) {
        Dialog dialog;
        Enter(dialog, typed);
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << typed.toStdString();
        EXPECT_FALSE(dialog.isVisible()) << typed.toStdString();
        EXPECT_EQ(dialog.Entry(), entry) << typed.toStdString();
        EXPECT_EQ(Edit(dialog)->text(), entry) << typed.toStdString();
    }
}
} // namespace

TEST(AddEntryDialogs, OneCentredEditWithTheFocusAndADefaultOkToItsRight) {
    const std::pair<std::unique_ptr<CAddEntryDialog>, QString> dialogs[] = {
        {std::make_unique<CAddServerDialog>(), QStringLiteral("Add Server")},
        {std::make_unique<CAddDirectoryDialog>(), QStringLiteral("Add Directory")},
        {std::make_unique<CAddFileDialog>(), QStringLiteral("Add File")},
        {std::make_unique<CAddAddressDialog>(), QStringLiteral("Add Address")},
    };
    for (const auto& [dialog, title] : dialogs) {
        dialog->show();
        EXPECT_EQ(dialog->windowTitle(), title);
        EXPECT_EQ(dialog->parentWidget(), nullptr) << title.toStdString();
        EXPECT_TRUE(dialog->Entry().isEmpty()) << title.toStdString();
        auto* edit = Edit(*dialog);
        auto* ok = Ok(*dialog);
        ASSERT_TRUE(edit && ok);
        EXPECT_TRUE(edit->text().isEmpty());
        EXPECT_EQ(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        EXPECT_EQ(dialog->focusWidget(), edit) << title.toStdString();
        EXPECT_EQ(ok->text(), QStringLiteral("OK"));
        EXPECT_TRUE(ok->isDefault());
        EXPECT_GE(ok->geometry().left(), edit->geometry().right());
        EXPECT_NEAR(ok->geometry().center().y(), edit->geometry().center().y(), 2);
        EXPECT_NEAR(dialog->width(), 267, 4);
        EXPECT_NEAR(dialog->height(), 46, 4);
    }
}

TEST(AddEntryDialogs, DirectoryEntriesTakeTheFormSlashDirSlash) {
    ExpectAccepted<CAddDirectoryDialog>({
        {QStringLiteral("images"), QStringLiteral("/images/")},
        {QStringLiteral("\\docs\\old files\\"), QStringLiteral("/docs/oldfiles/")},
        {QStringLiteral("a//b"), QStringLiteral("/a/b/")},
        {QStringLiteral("a\\b"), QStringLiteral("/a/b/")},
        {QStringLiteral("a\\\\\\b"), QStringLiteral("/a/b/")},
        {QStringLiteral("//a/\\/b//"), QStringLiteral("/a/b/")},
        // A wildcard at either end stands in for the slash.
        {QStringLiteral("*"), QStringLiteral("*")},
        {QStringLiteral("*.cgi"), QStringLiteral("*.cgi/")},
        {QStringLiteral("/cgi-bin*"), QStringLiteral("/cgi-bin*")},
        {QStringLiteral(""), QStringLiteral("/")},
    });
}

TEST(AddEntryDialogs, ServerAndFileEntriesOnlyLoseTheirSpaces) {
    ExpectAccepted<CAddServerDialog>({
        {QStringLiteral("www.exam ple.com"), QStringLiteral("www.example.com")},
        {QStringLiteral(" *.example.com "), QStringLiteral("*.example.com")},
        {QStringLiteral(""), QStringLiteral("")},
    });
    // No slashes are added and none are changed: that is the directory dialog's rule only.
    ExpectAccepted<CAddFileDialog>({
        {QStringLiteral("old page.htm"), QStringLiteral("oldpage.htm")},
        {QStringLiteral("*.gif"), QStringLiteral("*.gif")},
        {QStringLiteral("img*"), QStringLiteral("img*")},
        {QStringLiteral("a*b"), QStringLiteral("a*b")},
        {QStringLiteral("a\\b"), QStringLiteral("a\\b")},
        {QStringLiteral(""), QStringLiteral("")},
    });
}

TEST(AddEntryDialogs, AddressPatternsTakeAnyNumberOfStarsAndLoseOnlyTheirOuterSpaces) {
    ExpectAccepted<CAddAddressDialog>({
        {QStringLiteral("*action=edit*"), QStringLiteral("*action=edit*")},
        {QStringLiteral("  http://w/*?*&diff=*  "), QStringLiteral("http://w/*?*&diff=*")},
        {QStringLiteral("*a b*"), QStringLiteral("*a b*")},
        {QStringLiteral("**"), QStringLiteral("**")},
    });
}

TEST(AddEntryDialogs, EntriesBreakingTheirRuleAreRefusedAndTheDialogStaysOpenWithTheTextAsTyped) {
    const QString kComma =
        QStringLiteral("An address pattern cannot hold a comma ( , ): put a * in its place");
    const std::tuple<std::unique_ptr<CAddEntryDialog>, QString, QString> refusals[] = {
        {std::make_unique<CAddServerDialog>(), QStringLiteral("a*b *"), kTooManyWildcards},
        {std::make_unique<CAddFileDialog>(), QStringLiteral("*.*"), kTooManyWildcards},
        {std::make_unique<CAddDirectoryDialog>(), QStringLiteral("\\**"), kTooManyWildcards},
        {std::make_unique<CAddAddressDialog>(), QStringLiteral("*ids=1,"), kComma},
    };
    for (const auto& [dialog, typed, refusal] : refusals) {
        dialog->show();
        auto* edit = Edit(*dialog);
        auto* ok = Ok(*dialog);
        ASSERT_TRUE(edit && ok);
        QTest::keyClicks(edit, typed);
        ok->setFocus();
        QString message;
        ModalWatcher<CMessageDialog> watcher([&](CMessageDialog* shown) {
            message = shown->Message();
            QTest::mouseClick(shown->findChild<CImageButton*>(QStringLiteral("okButton")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(ok, Qt::LeftButton);

        ASSERT_TRUE(watcher.Seen()) << typed.toStdString();
        EXPECT_EQ(message, refusal);
        EXPECT_TRUE(dialog->isVisible()) << typed.toStdString();
        EXPECT_NE(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(edit->text(), typed);
        EXPECT_EQ(dialog->focusWidget(), edit) << typed.toStdString();

        // Once corrected, the same dialog takes the entry.
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << typed.toStdString();
        EXPECT_FALSE(dialog->isVisible());
    }
}

TEST(AddEntryDialogs, EscAndTheCloseBoxRejectWithoutTakingTheText) {
    CAddServerDialog escaped;
    escaped.show();
    QTest::keyClicks(Edit(escaped), QStringLiteral("www.example.com"));
    QTest::keyClick(Edit(escaped), Qt::Key_Escape);
    EXPECT_FALSE(escaped.isVisible());
    EXPECT_EQ(escaped.result(), QDialog::Rejected);
    EXPECT_TRUE(escaped.Entry().isEmpty());

    CAddFileDialog closed;
    closed.show();
    QTest::keyClicks(Edit(closed), QStringLiteral("*.gif"));
    EXPECT_TRUE(closed.close());
    EXPECT_EQ(closed.result(), QDialog::Rejected);
    EXPECT_TRUE(closed.Entry().isEmpty());
}

TEST(AddEntryDialogs, RunModallyEnterIsOkAndTheCallerReadsTheEntryAfterAccepted) {
    CAddDirectoryDialog dialog;
    ModalWatcher<CAddDirectoryDialog> watcher([](CAddDirectoryDialog* shown) {
        QTest::keyClicks(Edit(*shown), QStringLiteral("cgi-bin"));
        QTest::keyClick(Edit(*shown), Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(watcher.Seen());
    EXPECT_EQ(dialog.Entry(), QStringLiteral("/cgi-bin/"));
}
