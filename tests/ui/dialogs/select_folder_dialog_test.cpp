#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "tests/support/temp_dir.h"
#include "tests/ui/dialogs/dialog_test_support.h"
#include "ui/dialogs/select_folder_dialog.h"

namespace {
const QChar kSep = QDir::separator();

QString Native(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(QString::fromStdString(path.string()));
}
} // namespace

TEST(SelectFolder, DecidesWhatSelectDoesWithTheTypedFolder) {
    TempDir temp;
    const QString base = Native(temp.path());
    const auto in = [&](const char* name) { return base + kSep + QString::fromLatin1(name); };
    QFile plain(in("plain.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    struct Case {
        QString typed;
        bool answerYes;
        std::optional<QString> result; // nothing: the dialog stays open
        QString asked;                 // the path of the create question, if asked
        bool invalid = false;
        bool couldNotCreate = false;
    };
    const Case cases[] = {
        // A network path and a doubled separator inside are refused outright.
        {QString(2, kSep) + QStringLiteral("server") + kSep + QStringLiteral("x"),
         true,
         {},
         {},
         true},
        {in("a") + kSep + kSep + QStringLiteral("b"), true, {}, {}, true},
        // An existing folder comes back with exactly one separator.
        {base, false, base + kSep, {}},
        {base + kSep, false, base + kSep, {}},
        // An empty box takes the folder shown in the list.
        {QString(), false, base + kSep, {}},
        // A missing folder answered No is still returned; Yes creates it with its parents.
        {in("later") + kSep, false, in("later") + kSep, in("later")},
        {in("x") + kSep + QStringLiteral("y"), true, in("x") + kSep + QStringLiteral("y") + kSep,
         in("x") + kSep + QStringLiteral("y")},
        // A folder that cannot be made keeps the dialog open.
        {in("plain.txt") + kSep + QStringLiteral("sub"),
         true,
         {},
         in("plain.txt") + kSep + QStringLiteral("sub"),
         false,
         true},
#ifndef Q_OS_WIN
        // The root is a lone separator and stays one.
        {QStringLiteral("/"), false, QStringLiteral("/"), {}},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        bool invalid = false, failed = false;
        QString asked;
        SelectFolderPrompts prompts;
        prompts.invalidFolder = [&] { invalid = true; };
        prompts.askCreate = [&](const QString& path) {
            asked = path;
            return c.answerYes;
        };
        prompts.couldNotCreate = [&](const QString&) { failed = true; };

        EXPECT_EQ(SelectFolder(c.typed, base, kSep, prompts), c.result);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(invalid, c.invalid);
        EXPECT_EQ(failed, c.couldNotCreate);
        if (!c.asked.isEmpty()) {
            EXPECT_EQ(QFileInfo(c.asked).isDir(), c.answerYes && !c.couldNotCreate);
        }
    }
    EXPECT_FALSE(QFileInfo::exists(in("a")));
}

namespace {
QPushButton* SelectButton(CSelectFolderDialog& dialog) {
    auto* box = dialog.findChild<QDialogButtonBox*>();
    return box ? box->button(QDialogButtonBox::Open) : nullptr;
}
} // namespace

TEST(SelectFolderDialog, IsRearrangedForFolders) {
    TempDir temp;
    const QString folder = Native(temp.path());
    CSelectFolderDialog dialog(folder, nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Directory"));
    ASSERT_NE(SelectButton(dialog), nullptr);
    EXPECT_EQ(SelectButton(dialog)->text(), QStringLiteral("Select"));
    auto* current = dialog.findChild<QLineEdit*>(QStringLiteral("currentFolder"));
    ASSERT_NE(current, nullptr);
    EXPECT_TRUE(current->isVisible());
    EXPECT_EQ(current->text(), folder);
    EXPECT_FALSE(dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->isVisible());
    EXPECT_FALSE(dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->isVisible());
}

TEST(SelectFolderDialog, TheCurrentFolderBoxFollowsTheBrowsedFolder) {
    TempDir temp;
    QDir(Native(temp.path())).mkdir(QStringLiteral("inner"));
    CSelectFolderDialog dialog(Native(temp.path()), nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    // Open the folder in the list the way the user does: a double click on it.
    QAbstractItemView* list = nullptr;
    for (auto* view : dialog.findChildren<QAbstractItemView*>())
        if ((view->objectName() == QStringLiteral("listView") ||
             view->objectName() == QStringLiteral("treeView")) &&
            view->isVisible())
            list = view;
    ASSERT_NE(list, nullptr);
    QModelIndex inner;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const auto* model = list->model();
        for (int row = 0; model && row < model->rowCount(list->rootIndex()); ++row) {
            const QModelIndex index = model->index(row, 0, list->rootIndex());
            if (index.data().toString() == QStringLiteral("inner"))
                inner = index;
        }
        return inner.isValid();
    }));
    // Through the window, so that the two clicks become a double click.
    const QPoint at = list->viewport()->mapTo(&dialog, list->visualRect(inner).center());
    QTest::mouseDClick(dialog.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("currentFolder"))->text(),
              Native(temp.path() / "inner"));
}

TEST(SelectFolderDialog, SelectAsksBeforeCreatingAMissingFolder) {
    TempDir temp;
    const QString missing = Native(temp.path() / "new" / "deeper");
    CSelectFolderDialog dialog(Native(temp.path()), nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QLineEdit*>(QStringLiteral("currentFolder"))->setText(missing + kSep);

    QString question;
    ModalWatcher<QMessageBox> watcher([&](QMessageBox* box) {
        question = box->text();
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    QTest::mouseClick(SelectButton(dialog), Qt::LeftButton);

    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(question,
              missing + QStringLiteral("\n\nThis path does not exist. Do you want to create it?"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetFolder(), missing + kSep);
    EXPECT_TRUE(QFileInfo(missing).isDir());
}

TEST(SelectFolderDialog, AnInvalidFolderIsReportedAndTheDialogStaysOpen) {
    TempDir temp;
    CSelectFolderDialog dialog(Native(temp.path()), nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QLineEdit*>(QStringLiteral("currentFolder"))
        ->setText(QString(2, kSep) + QStringLiteral("server") + kSep + QStringLiteral("x"));

    QString message;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalWatcher<QMessageBox> watcher([&](QMessageBox* box) {
        message = box->text();
        icon = box->icon();
        box->accept();
    });
    QTest::mouseClick(SelectButton(dialog), Qt::LeftButton);

    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(message, QStringLiteral("Invalid Folder"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.GetFolder().isEmpty());
}

TEST(SelectFolderDialog, CancelLeavesTheResultEmpty) {
    TempDir temp;
    CSelectFolderDialog dialog(Native(temp.path()), nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* box = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog.GetFolder().isEmpty());
}

TEST(SelectFolderDialog, OnAMissingFolderSelectIsEnabledAndEnterInTheBoxSelects) {
    TempDir temp;
    const QString missing = Native(temp.path() / "Sites");
    CSelectFolderDialog dialog(missing, nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* current = dialog.findChild<QLineEdit*>(QStringLiteral("currentFolder"));
    ASSERT_NE(current, nullptr);
    ASSERT_NE(SelectButton(dialog), nullptr);
    EXPECT_TRUE(SelectButton(dialog)->isEnabled());

    // Typing elsewhere changes nothing about that; Enter takes the typed folder once.
    const QString typed = Native(temp.path() / "typed");
    current->clear();
    QTest::keyClicks(current, typed);
    EXPECT_TRUE(SelectButton(dialog)->isEnabled());
    int questions = 0;
    ModalWatcher<QMessageBox> watcher([&](QMessageBox* box) {
        ++questions;
        EXPECT_EQ(box->text(),
                  typed + QStringLiteral("\n\nThis path does not exist. Do you want to create it?"));
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
    });
    QTest::keyClick(current, Qt::Key_Return);
    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.GetFolder(), typed + kSep);
    EXPECT_FALSE(QFileInfo::exists(typed));
}
