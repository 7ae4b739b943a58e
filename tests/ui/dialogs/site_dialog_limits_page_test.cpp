// The Limits and Options pages: sizes that must not be upside down, groups that switch with
// their Restrict boxes, and the ranges of the time-outs and retries.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include "tests/ui/dialogs/site_dialog_test_support.h"
#include "ui/controls/spin_edit.h"

using namespace sheet_test;

TEST(LimitsPage, AMinimumAboveTheMaximumIsRefusedEvenWithSizesSwitchedOff) {
    for (const bool restrictSizes : {false, true}) {
        CSite site("Example");
        MakePlain(site);
        site.m_useSizes = restrictSizes;
        MessageCatcher messages;
        const int result = OnPage(site, 2, [&](CSiteDialog* sheet) {
            auto* minimum = Child<CSpinEdit>(sheet, "minSizeEdit");
            auto* maximum = Child<CSpinEdit>(sheet, "maxSizeEdit");
            EXPECT_EQ(minimum->isEnabled(), restrictSizes);
            // Typed straight into the boxes: OK reads them before it checks.
            minimum->setEnabled(true);
            maximum->setEnabled(true);
            Retype(minimum, QStringLiteral("100"));
            Retype(maximum, QStringLiteral("50"));
            Click(sheet, "okButton");
            EXPECT_EQ(messages.Messages(),
                      QStringList{QStringLiteral("warning: Minimum file size cannot be greater "
                                                 "than maximum file size.")});
            EXPECT_TRUE(sheet->isVisible());
            ClickTab(sheet, 3);
            EXPECT_EQ(ShownPage(sheet), 2);
            // No bound on one side is never upside down.
            Retype(maximum, QStringLiteral("0"));
        });
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_EQ(site.m_fileMin, 100 * 1024);
        EXPECT_EQ(site.m_fileMax, 0);
        EXPECT_EQ(site.m_useSizes, restrictSizes);
    }
}

TEST(LimitsPage, RestrictBoxesSwitchTheirGroupsButNotTheExplanations) {
    CSite site("Example");
    MakePlain(site);
    site.m_useSpace = true;
    site.m_spaceMax = std::int64_t{999999} << 20;
    OnPage(site, 2, [&](CSiteDialog* sheet) {
        auto* space = Child<CSpinEdit>(sheet, "maxSpaceEdit");
        EXPECT_EQ(space->Text(), QStringLiteral("999999"));
        EXPECT_TRUE(space->isEnabled());
        QTest::mouseClick(Child<QCheckBox>(sheet, "restrictSpaceCheckBox"), Qt::LeftButton);
        EXPECT_FALSE(space->isEnabled());
        for (QLabel* label : Child<QGroupBox>(sheet, "spaceGroupBox")->findChildren<QLabel*>())
            EXPECT_EQ(label->isEnabled(), label->objectName() == QStringLiteral("explanationLabel"))
                << label->text().toStdString();
        EXPECT_TRUE(Child<QCheckBox>(sheet, "restrictSpaceCheckBox")->isEnabled());
        EXPECT_FALSE(Child<CSpinEdit>(sheet, "maxTimeEdit")->isEnabled());
        QTest::mouseClick(Child<QCheckBox>(sheet, "restrictTimeCheckBox"), Qt::LeftButton);
        EXPECT_TRUE(Child<CSpinEdit>(sheet, "maxTimeEdit")->isEnabled());
        Retype(Child<CSpinEdit>(sheet, "maxTimeEdit"), QStringLiteral("45"));
    });
    EXPECT_FALSE(site.m_useSpace);
    // Beyond 4095 M the byte count still fits.
    EXPECT_EQ(site.m_spaceMax, std::int64_t{999999} << 20);
    EXPECT_TRUE(site.m_useTime);
    EXPECT_EQ(site.m_timeMax, 45);
}

TEST(OptionsPage, TimeoutsStartAtOneAndRetriesEndAt999) {
    CSite site("Example");
    MakePlain(site);
    site.m_connectionTimeout = 1;
    site.m_requestTimeout = 30;
    site.m_retries = 999;
    MessageCatcher messages;
    OnPage(site, 3, [&](CSiteDialog* sheet) {
        auto* connection = Child<CSpinEdit>(sheet, "connectionTimeoutEdit");
        auto* retries = Child<CSpinEdit>(sheet, "retriesEdit");
        // The arrows reach 0, which the page refuses.
        connection->setFocus();
        QTest::keyClick(connection, Qt::Key_Down);
        EXPECT_EQ(connection->Text(), QStringLiteral("0"));
        ClickTab(sheet, 0);
        EXPECT_EQ(messages.Last(),
                  QStringLiteral("warning: Please enter an integer between 1 and 999999."));
        EXPECT_TRUE(HoldsFocus(connection));
        Retype(connection, QStringLiteral("5"));
        retries->setFocus();
        QTest::keyClick(retries, Qt::Key_Up);
        EXPECT_EQ(retries->Text(), QStringLiteral("1000"));
        messages.Clear();
        ClickTab(sheet, 0);
        EXPECT_EQ(messages.Last(),
                  QStringLiteral("warning: Please enter an integer between 0 and 999."));
        Retype(retries, QStringLiteral("2"));
    });
    EXPECT_EQ(site.m_connectionTimeout, 5);
    EXPECT_EQ(site.m_requestTimeout, 30);
    EXPECT_EQ(site.m_retries, 2);
}
