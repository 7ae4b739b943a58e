#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include "model/clock.h"
#include "model/site.h"
#include "tests/ui/dialogs/dialog_test_support.h"
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
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_LT(icon->geometry().right(), text->geometry().left());
    int previousBottom = -1;
    for (const char* name : {"okButton", "refreshButton", "clearButton"}) {
        auto* button = dialog.findChild<CImageButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_GT(button->geometry().left(), text->geometry().right()) << name;
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
