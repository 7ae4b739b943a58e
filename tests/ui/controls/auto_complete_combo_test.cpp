#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "ui/controls/auto_complete_combo.h"

namespace {

struct ComboFixture : ::testing::Test {
    CAutoCompleteCombo combo;

    void SetUp() override {
        combo.addItems({QStringLiteral("example.com"), QStringLiteral("example.org/path"),
                        QStringLiteral("quarn.test")});
        combo.setEditText(QString());
    }

    QLineEdit* Edit() { return combo.lineEdit(); }
};

} // namespace

TEST_F(ComboFixture, OnlyOurCompletionIsActive) {
    EXPECT_TRUE(combo.isEditable());
    EXPECT_EQ(combo.completer(), nullptr);
}

TEST_F(ComboFixture, TypingCompletesToFirstEntryWithTheTailSelected) {
    QTest::keyClicks(&combo, QStringLiteral("exa"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("example.com"));
    EXPECT_EQ(Edit()->selectedText(), QStringLiteral("mple.com"));
    EXPECT_EQ(Edit()->selectionStart(), 3);

    // The next keys replace the selected tail and complete again.
    QTest::keyClicks(&combo, QStringLiteral("mple.o"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("example.org/path"));
    EXPECT_EQ(Edit()->selectedText(), QStringLiteral("rg/path"));
}

TEST_F(ComboFixture, PrefixSearchIgnoresCase) {
    QTest::keyClicks(&combo, QStringLiteral("QU"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("quarn.test"));
    EXPECT_EQ(Edit()->selectedText(), QStringLiteral("arn.test"));
}

TEST_F(ComboFixture, BackspaceAndDeleteDoNotCompleteAgain) {
    QTest::keyClicks(&combo, QStringLiteral("exa"));
    QTest::keyClick(&combo, Qt::Key_Backspace);
    EXPECT_EQ(combo.currentText(), QStringLiteral("exa"));
    EXPECT_FALSE(Edit()->hasSelectedText());
    QTest::keyClick(&combo, Qt::Key_Backspace);
    EXPECT_EQ(combo.currentText(), QStringLiteral("ex"));

    // A typed key completes again after that.
    QTest::keyClicks(&combo, QStringLiteral("a"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("example.com"));

    QTest::keyClick(&combo, Qt::Key_Delete);
    EXPECT_EQ(combo.currentText(), QStringLiteral("exa"));
}

TEST_F(ComboFixture, TextWithoutMatchStaysAsTyped) {
    QTest::keyClicks(&combo, QStringLiteral("zz"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("zz"));
    EXPECT_EQ(Edit()->cursorPosition(), 2);
}

TEST_F(ComboFixture, TypingInsideTheTextKeepsTheCaretThere) {
    combo.setEditText(QStringLiteral("qarn"));
    Edit()->setCursorPosition(1);
    QTest::keyClicks(&combo, QStringLiteral("u"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("quarn.test"));
    EXPECT_FALSE(Edit()->hasSelectedText());
    EXPECT_EQ(Edit()->cursorPosition(), 2);
}

TEST_F(ComboFixture, ReturnDoesNotAddTheTextToTheList) {
    QTest::keyClicks(&combo, QStringLiteral("new.site"));
    QTest::keyClick(&combo, Qt::Key_Return);
    EXPECT_EQ(combo.count(), 3);
}
