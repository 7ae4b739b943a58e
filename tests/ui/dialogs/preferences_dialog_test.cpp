#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "engine/engine_ui.h"
#include "tests/support/settings_scope.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/dialogs/dialog_test_support.h"
#include "ui/app_globals.h"
#include "ui/controls/image_button.h"
#include "ui/controls/splitter_wnd_ex.h"
#include "ui/dialogs/preferences_dialog.h"
#include "ui/dialogs/select_folder_dialog.h"
#include "ui/preferences_registry.h"

namespace {
const QString kUpdates = QStringLiteral("Updates");

// Keeps the application-wide preferences as they were around each test.
class PreferencesDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sitesDir = SitesDir();
        m_beep = g_bBeepWhenDone.load();
        m_move = g_bSplitterMove;
        m_main = g_pMainSplitter;
        m_left = g_pLeftSplitter;
        SetSitesDir(QStringLiteral("/data/quarn/Sites"));
        g_bBeepWhenDone = true;
        g_bSplitterMove = true;
        g_pMainSplitter = nullptr;
        g_pLeftSplitter = nullptr;
    }
    void TearDown() override {
        SetSitesDir(m_sitesDir);
        g_bBeepWhenDone = m_beep;
        g_bSplitterMove = m_move;
        g_pMainSplitter = m_main;
        g_pLeftSplitter = m_left;
    }

    template <class T> static T* Child(QWidget& dialog, const char* name) {
        auto* child = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static void Click(QWidget& dialog, const char* button) {
        QTest::mouseClick(Child<CImageButton>(dialog, button), Qt::LeftButton);
    }
    static bool ReadUpdates(std::uint32_t& value) {
        return CPreferencesRegistry().ReadDword(RegistryRoot::CurrentUser,
                                                QString::fromLatin1(kRegistryKey), kUpdates, value);
    }
    static void WriteUpdates(std::uint32_t value) {
        CPreferencesRegistry().WriteDword(RegistryRoot::CurrentUser,
                                          QString::fromLatin1(kRegistryKey), kUpdates, value);
    }

    SettingsScope m_settings;

private:
    QString m_sitesDir;
    bool m_beep = false;
    bool m_move = false;
    CSplitterWndEx* m_main = nullptr;
    CSplitterWndEx* m_left = nullptr;
};
} // namespace

TEST_F(PreferencesDialogTest, OpensWithTheProgramsValues) {
    g_bBeepWhenDone = false;
    CPreferencesDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Preferences"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "sitesDirectoryEdit")->text(), SitesDir());
    EXPECT_EQ(Child<QLineEdit>(dialog, "sitesDirectoryEdit")->maxLength(), 255);
    EXPECT_FALSE(Child<QCheckBox>(dialog, "beepWhenDoneCheckBox")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(dialog, "allowSizingCheckBox")->isChecked());
}

TEST_F(PreferencesDialogTest, CheckForNewVersionsIsClearedAndGreyedAndItsStoredChoiceKept) {
    // Nothing stored, a stored "yes" and a stored "no" look alike: this build cannot check.
    for (std::optional<std::uint32_t> stored : {std::optional<std::uint32_t>(), {1u}, {0u}}) {
        if (stored)
            WriteUpdates(*stored);
        CPreferencesDialog dialog;
        dialog.show();
        auto* updates = Child<QCheckBox>(dialog, "checkForUpdatesCheckBox");
        EXPECT_FALSE(updates->isChecked());
        EXPECT_FALSE(updates->isEnabled());
        EXPECT_TRUE(updates->toolTip().contains(QStringLiteral("not available")));
        QTest::mouseClick(updates, Qt::LeftButton);
        EXPECT_FALSE(updates->isChecked());

        Click(dialog, "okButton");
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
        std::uint32_t after = 7;
        EXPECT_EQ(ReadUpdates(after), stored.has_value());
        if (stored) {
            EXPECT_EQ(after, *stored);
        }
    }
}

TEST_F(PreferencesDialogTest, CancelChangesNothing) {
    CSplitterWndEx mainSplitter(Qt::Horizontal), leftSplitter(Qt::Vertical);
    mainSplitter.SetLocked(false);
    leftSplitter.SetLocked(false);
    g_pMainSplitter = &mainSplitter;
    g_pLeftSplitter = &leftSplitter;

    CPreferencesDialog dialog;
    dialog.show();
    Child<QLineEdit>(dialog, "sitesDirectoryEdit")->setText(QStringLiteral("/elsewhere"));
    for (auto* name : {"beepWhenDoneCheckBox", "allowSizingCheckBox"})
        Child<QCheckBox>(dialog, name)->setChecked(false);
    Click(dialog, "cancelButton");

    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(SitesDir(), QStringLiteral("/data/quarn/Sites"));
    EXPECT_TRUE(g_bBeepWhenDone);
    EXPECT_TRUE(g_bSplitterMove);
    EXPECT_FALSE(mainSplitter.IsLocked());
    EXPECT_FALSE(leftSplitter.IsLocked());
}

TEST_F(PreferencesDialogTest, OkSetsThePreferences) {
    CPreferencesDialog dialog;
    dialog.show();
    Child<QLineEdit>(dialog, "sitesDirectoryEdit")->setText(QStringLiteral("/home/me/Copies"));
    Child<QCheckBox>(dialog, "beepWhenDoneCheckBox")->setChecked(false);
    Click(dialog, "okButton");

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(SitesDir(), QStringLiteral("/home/me/Copies"));
    EXPECT_FALSE(g_bBeepWhenDone);
}

TEST_F(PreferencesDialogTest, AllowSizingLocksAndUnlocksBothSplittersOnOk) {
    CSplitterWndEx mainSplitter(Qt::Horizontal), leftSplitter(Qt::Vertical);
    mainSplitter.SetLocked(false);
    leftSplitter.SetLocked(false);
    g_pMainSplitter = &mainSplitter;
    g_pLeftSplitter = &leftSplitter;

    CPreferencesDialog dialog;
    dialog.show();
    Child<QCheckBox>(dialog, "allowSizingCheckBox")->setChecked(false);
    Click(dialog, "okButton");
    EXPECT_FALSE(g_bSplitterMove);
    EXPECT_TRUE(mainSplitter.IsLocked());
    EXPECT_TRUE(leftSplitter.IsLocked());

    CPreferencesDialog again;
    again.show();
    Child<QCheckBox>(again, "allowSizingCheckBox")->setChecked(true);
    Click(again, "okButton");
    EXPECT_TRUE(g_bSplitterMove);
    EXPECT_FALSE(mainSplitter.IsLocked());
    EXPECT_FALSE(leftSplitter.IsLocked());
}

TEST_F(PreferencesDialogTest, BrowseWritesTheChosenFolderWithOneTrailingSeparator) {
    TempDir temp;
    const QString folder = QDir::toNativeSeparators(QString::fromStdString(temp.path().string()));
    SetSitesDir(folder);

    CPreferencesDialog dialog;
    dialog.show();
    QString initial;
    ModalWatcher<CSelectFolderDialog> watcher([&](CSelectFolderDialog* picker) {
        auto* current = picker->findChild<QLineEdit*>(QStringLiteral("currentFolder"));
        ASSERT_NE(current, nullptr);
        initial = current->text();
        current->setText(folder + QDir::separator());
        picker->accept();
    });
    Click(dialog, "browseButton");

    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(initial, folder);
    EXPECT_EQ(Child<QLineEdit>(dialog, "sitesDirectoryEdit")->text(), folder + QDir::separator());
    // Nothing reaches the program before OK.
    EXPECT_EQ(SitesDir(), folder);
}
