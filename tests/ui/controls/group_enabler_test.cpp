#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/controls/group_enabler.h"

namespace {

// A page's group: an icon, a caption, an edit box, an explanatory text, and a row widget
// holding a check box beside a second explanatory text.
struct GroupPage {
    QWidget page;
    QGroupBox* box = new QGroupBox(QStringLiteral("Limits"), &page);
    QCheckBox* outside = new QCheckBox(QStringLiteral("Use limits"), &page);
    QLabel* icon = new QLabel(box);
    QLabel* caption = new QLabel(QStringLiteral("Maximum size:"), box);
    QLineEdit* edit = new QLineEdit(box);
    QLabel* explanation = new QLabel(QStringLiteral("Files above this size are skipped."), box);
    QWidget* row = new QWidget(box);
    QCheckBox* rowCheck = new QCheckBox(QStringLiteral("Ask"), row);
    QLabel* rowExplanation = new QLabel(QStringLiteral("Asks before each file."), row);

    GroupPage() {
        auto* layout = new QVBoxLayout(box);
        for (QWidget* w : {static_cast<QWidget*>(icon), static_cast<QWidget*>(caption),
                           static_cast<QWidget*>(edit), static_cast<QWidget*>(explanation), row})
            layout->addWidget(w);
        CGroupEnabler::MarkExplanatory(explanation);
        CGroupEnabler::MarkExplanatory(rowExplanation);
    }
};

} // namespace

TEST(GroupEnabler, DisablingLeavesExplanatoryTextsAndTheBoxEnabled) {
    GroupPage p;
    CGroupEnabler enabler;
    enabler.Attach(p.box);
    EXPECT_TRUE(enabler.IsEnabled());

    enabler.Enable(false);
    EXPECT_FALSE(enabler.IsEnabled());
    EXPECT_FALSE(p.icon->isEnabled());
    EXPECT_FALSE(p.caption->isEnabled());
    EXPECT_FALSE(p.edit->isEnabled());
    EXPECT_FALSE(p.rowCheck->isEnabled());
    EXPECT_TRUE(p.explanation->isEnabled());
    EXPECT_TRUE(p.rowExplanation->isEnabled());
    EXPECT_TRUE(p.box->isEnabled());
    EXPECT_TRUE(p.outside->isEnabled());

    enabler.Enable(true);
    EXPECT_TRUE(p.icon->isEnabled());
    EXPECT_TRUE(p.edit->isEnabled());
    EXPECT_TRUE(p.rowCheck->isEnabled());
}

TEST(GroupEnabler, EnablingToTheStoredFlagDoesNothing) {
    GroupPage p;
    CGroupEnabler enabler;
    enabler.Attach(p.box);
    enabler.Enable(false);
    p.edit->setEnabled(true); // changed behind the enabler's back
    enabler.Enable(false);
    EXPECT_TRUE(p.edit->isEnabled());
}

TEST(GroupEnabler, WithoutABoxOrAfterWidgetsGoEnableIsHarmless) {
    CGroupEnabler empty;
    empty.Attach(nullptr);
    EXPECT_EQ(empty.WidgetCount(), 0);
    empty.Enable(false);
    EXPECT_FALSE(empty.IsEnabled());

    GroupPage p;
    CGroupEnabler enabler;
    enabler.Attach(p.box);
    delete p.edit;
    enabler.Enable(false);
    EXPECT_FALSE(p.caption->isEnabled());
}
