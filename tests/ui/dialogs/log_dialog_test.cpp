#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <tuple>

#include "model/clock.h"
#include "model/crawl_changes.h"
#include "model/site.h"
#include "support/site_fixture.h"
#include "tests/ui/dialogs/dialog_test_support.h"
#include "ui/artwork.h"
#include "ui/controls/image_button.h"
#include "ui/dialogs/log_dialog.h"

namespace {
constexpr std::int64_t kNow = 1'700'000'000;

// A site and a clock that stands still, so every line's time is known in advance.
class LogDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClockForTesting([] { return kNow; });
    }
    void TearDown() override { SetClockForTesting({}); }

    static QString Line(const char* message) {
        return QString::fromStdString(FormatTimeOfDay(kNow)) + QStringLiteral("   ") +
               QString::fromLatin1(message);
    }
    static QPlainTextEdit* Text(QWidget& dialog) {
        auto* text = dialog.findChild<QPlainTextEdit*>(QStringLiteral("logText"));
        EXPECT_NE(text, nullptr);
        return text;
    }
    static void Click(QWidget& dialog, const char* name) {
        auto* button = dialog.findChild<CImageButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    CSite m_site{"Alpha"};
};
} // namespace

TEST_F(LogDialogTest, AReadOnlyTextWithAScrollBarBesideTheIconAndTheButtons) {
    CLogDialog dialog(m_site);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Log"));
    EXPECT_NEAR(dialog.width(), 654, 6);
    EXPECT_NEAR(dialog.height(), 354, 6);
    auto* text = Text(dialog);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_TRUE(text->verticalScrollBar()->isVisible());

    auto* icon = dialog.findChild<QLabel*>(QStringLiteral("iconLabel"));
    ASSERT_NE(icon, nullptr);
    // The log's own picture: the errors picture would say something went wrong.
    const QImage shown = icon->pixmap().toImage();
    EXPECT_EQ(shown, LoadPicture(QString::fromLatin1(art::kLogIcon)).toImage());
    EXPECT_NE(shown, LoadPicture(QString::fromLatin1(art::kErrorsIcon)).toImage());
    // The text sits on the first of two tabs.
    const QRect textArea(text->mapTo(&dialog, QPoint(0, 0)), text->size());
    EXPECT_LT(icon->geometry().right(), textArea.left());
    int previousBottom = -1;
    for (const char* name : {"okButton", "refreshButton", "clearButton"}) {
        auto* button = dialog.findChild<CImageButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_GT(button->geometry().left(), textArea.right()) << name;
        EXPECT_GT(button->geometry().top(), previousBottom) << name;
        previousBottom = button->geometry().bottom();
    }
}

TEST_F(LogDialogTest, EachLogLineShowsOnALineOfItsOwn) {
    m_site.AddLog("Erasing existing content...");
    m_site.AddLog("Started");
    m_site.AddLog("Finished");
    CLogDialog dialog(m_site);
    dialog.show();

    auto* text = Text(dialog);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->toPlainText(), Line("Erasing existing content...") + QStringLiteral("\n") +
                                       Line("Started") + QStringLiteral("\n") + Line("Finished"));
    EXPECT_FALSE(text->toPlainText().contains(QLatin1Char('\r')));
    EXPECT_EQ(text->document()->blockCount(), 3);
}

TEST_F(LogDialogTest, RefreshShowsLinesWrittenSinceTheDialogOpened) {
    m_site.AddLog("Started");
    CLogDialog dialog(m_site);
    dialog.show();
    auto* text = Text(dialog);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->toPlainText(), Line("Started"));

    m_site.AddLog("Finished");
    EXPECT_EQ(text->toPlainText(), Line("Started"));
    Click(dialog, "refreshButton");
    EXPECT_EQ(text->toPlainText(), Line("Started") + QStringLiteral("\n") + Line("Finished"));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(LogDialogTest, ClearEmptiesTheSitesLog) {
    m_site.AddLog("Started");
    CLogDialog dialog(m_site);
    dialog.show();
    Click(dialog, "clearButton");
    EXPECT_TRUE(Text(dialog)->toPlainText().isEmpty());
    EXPECT_TRUE(m_site.GetLog().empty());
    EXPECT_TRUE(dialog.isVisible());

    // The next line starts a fresh log, without a separator in front.
    m_site.AddLog("Started");
    Click(dialog, "refreshButton");
    EXPECT_EQ(Text(dialog)->toPlainText(), Line("Started"));
}

TEST_F(LogDialogTest, TheSecondTabListsTheNewAndChangedFilesOfTheLastCrawl) {
    SitesDirScope sitesDir;
    const auto folder = sitesDir.path() / "Alpha";
    std::filesystem::create_directories(folder);
    const auto file = [&](const char* name) { return (folder / "h" / name).string(); };
    m_site.Changes().Begin(folder / kCrawlChangesFile);
    m_site.Changes().Count(FileChange::New, "http://h/new.htm", file("new.htm"));
    m_site.Changes().Count(FileChange::Unchanged, "http://h/same.htm", file("same.htm"));
    m_site.Changes().Count(FileChange::Failed, "http://h/gone.htm", file("gone.htm"));
    // The crawl still runs: what it counted so far shows.
    CLogDialog dialog(m_site);
    dialog.show();
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("logTabs"));
    auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("changesList"));
    ASSERT_TRUE(tabs && list);
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Changed files (1)"));
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("new"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("http://h/new.htm"));
    // Each file's own path below the site's folder, not the long part that all share; the
    // whole path is in the tooltip.
    EXPECT_EQ(list->topLevelItem(0)->text(2),
              QDir::toNativeSeparators(QStringLiteral("h/new.htm")));
    EXPECT_EQ(list->topLevelItem(0)->toolTip(2), QString::fromStdString(file("new.htm")));

    m_site.Changes().Count(FileChange::Changed, "http://h/b.png", file("b.png"));
    m_site.Changes().End();
    Click(dialog, "refreshButton");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("changed"));

    // The keys that switch tabs work with the focus in the log's text, which would take
    // Ctrl+Tab for itself.
    tabs->setCurrentIndex(0);
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    Text(dialog)->setFocus();
    for (const auto& [key, modifiers, shown] :
         {std::tuple{Qt::Key_Tab, Qt::ControlModifier, 1},
          std::tuple{Qt::Key_Tab, Qt::ControlModifier, 0},
          std::tuple{Qt::Key_PageDown, Qt::ControlModifier, 1},
          std::tuple{Qt::Key_PageUp, Qt::ControlModifier, 0}}) {
        QTest::keyClick(Text(dialog), key, modifiers);
        EXPECT_EQ(tabs->currentIndex(), shown) << key;
    }

    // Clear empties the log only, so it has nothing to do on the list's tab.
    auto* clear = dialog.findChild<CImageButton*>(QStringLiteral("clearButton"));
    tabs->setCurrentIndex(1);
    EXPECT_FALSE(clear->isEnabled());
    tabs->setCurrentIndex(0);
    EXPECT_TRUE(clear->isEnabled());
}

TEST_F(LogDialogTest, OkAcceptsAndEscRejects) {
    CLogDialog accepted(m_site);
    accepted.show();
    Click(accepted, "okButton");
    EXPECT_EQ(accepted.result(), QDialog::Accepted);
    EXPECT_FALSE(accepted.isVisible());

    CLogDialog escaped(m_site);
    escaped.show();
    QTest::keyClick(Text(escaped), Qt::Key_Escape);
    EXPECT_EQ(escaped.result(), QDialog::Rejected);
    EXPECT_FALSE(escaped.isVisible());
}
