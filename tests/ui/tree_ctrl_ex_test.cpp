// The sites tree's control: selection gestures with mouse and keys, the collapse rule, the
// parent's veto, clicks on empty space, drag selection cancelled by Escape, drag start.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <ostream>

#include "ui/controls/tree_ctrl_ex.h"

// Readable failure messages for lists of names.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

class TreeCtrlEx : public ::testing::Test {
protected:
    void SetUp() override {
        // Visible order: G1 a1 a2 G2 b1 b2 b3 G3 c1, with room below for empty space.
        g1 = Group("G1", {"a1", "a2"});
        g2 = Group("G2", {"b1", "b2", "b3"});
        g3 = Group("G3", {"c1"});
        tree.expandAll();
        tree.resize(240, 400);
        tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    }

    QTreeWidgetItem* Group(const char* name, std::initializer_list<const char*> children) {
        auto* group = new QTreeWidgetItem(&tree, QStringList(QString::fromUtf8(name)));
        for (const char* child : children)
            new QTreeWidgetItem(group, QStringList(QString::fromUtf8(child)));
        return group;
    }

    QTreeWidgetItem* Item(const char* name) const {
        const auto found =
            tree.findItems(QString::fromUtf8(name), Qt::MatchExactly | Qt::MatchRecursive);
        return found.value(0);
    }

    QPoint At(const char* name) const { return tree.visualItemRect(Item(name)).center(); }
    QPoint Below() const {
        const QRect last = tree.visualItemRect(tree.GetVisibleItems().last());
        return QPoint(last.center().x(), last.bottom() + 40);
    }

    void Click(const char* name, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, modifiers, At(name));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&tree, key, modifiers);
    }
    // A move with the left button held, which QTest cannot express for widgets.
    void DragTo(QPoint pos) {
        QMouseEvent move(QEvent::MouseMove, pos, tree.viewport()->mapToGlobal(pos), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree.viewport(), &move);
    }

    QStringList Selected() const {
        QStringList names;
        for (QTreeWidgetItem* item = tree.GetFirstSelectedItem(); item;
             item = tree.GetNextSelectedItem(item))
            names << item->text(0);
        return names;
    }
    static QStringList Names(std::initializer_list<const char*> names) {
        QStringList list;
        for (const char* name : names)
            list << QString::fromUtf8(name);
        return list;
    }

    CTreeCtrlEx tree;
    QTreeWidgetItem* g1 = nullptr;
    QTreeWidgetItem* g2 = nullptr;
    QTreeWidgetItem* g3 = nullptr;
};

} // namespace

TEST_F(TreeCtrlEx, MouseGesturesToggleAndRangeFromTheAnchor) {
    Click("a1");
    EXPECT_EQ(Selected(), Names({"a1"}));
    Click("b1", Qt::ControlModifier);
    EXPECT_EQ(Selected(), Names({"a1", "b1"}));
    Click("a1", Qt::ControlModifier);
    EXPECT_EQ(Selected(), Names({"b1"}));

    // The range runs from the last item clicked without Shift, across groups.
    Click("b1");
    Click("c1", Qt::ShiftModifier);
    EXPECT_EQ(Selected(), Names({"b1", "b2", "b3", "G3", "c1"}));
    Click("a2", Qt::ShiftModifier);
    EXPECT_EQ(Selected(), Names({"a2", "G2", "b1"}));
    EXPECT_EQ(tree.currentItem(), Item("a2"));

    // Ctrl+Shift adds the range to what is selected.
    Click("c1", Qt::ControlModifier);
    Click("b3", Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Selected(), Names({"a2", "G2", "b1", "b3", "G3", "c1"}));
    EXPECT_EQ(tree.GetSelectedCount(), 6);
}

TEST_F(TreeCtrlEx, ShiftClickWithoutAnchorRangesFromTheCaret) {
    tree.SetItemState(Item("b2"), CTreeCtrlEx::kStateCaret, CTreeCtrlEx::kStateCaret);
    EXPECT_TRUE(Selected().isEmpty());
    Click("c1", Qt::ShiftModifier);
    EXPECT_EQ(Selected(), Names({"b2", "b3", "G3", "c1"}));
}

TEST_F(TreeCtrlEx, KeyboardMovesTheCaretAndExtendsRanges) {
    Click("a1");
    Key(Qt::Key_Down, Qt::ShiftModifier);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), Names({"a1", "a2", "G2"}));

    Key(Qt::Key_Down);
    EXPECT_EQ(Selected(), Names({"b1"}));

    // Ctrl moves the caret alone; Ctrl+Space toggles the caret's selection.
    Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(tree.currentItem(), Item("b2"));
    EXPECT_EQ(Selected(), Names({"b1"}));
    Key(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(Selected(), Names({"b1", "b2"}));
    Key(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(Selected(), Names({"b1"}));
}

TEST_F(TreeCtrlEx, NavigationKeyThatCannotMoveLeavesOnlyTheCaretSelected) {
    Click("G1");
    tree.SetItemState(Item("b1"), CTreeCtrlEx::kStateSelected, CTreeCtrlEx::kStateSelected);
    ASSERT_EQ(Selected().size(), 2);

    Key(Qt::Key_Up);
    EXPECT_EQ(tree.currentItem(), g1);
    EXPECT_EQ(Selected(), Names({"G1"}));
}

TEST_F(TreeCtrlEx, CollapsingDeselectsWhatItHides) {
    Click("a1");
    Click("b1", Qt::ControlModifier);
    Click("a2", Qt::ControlModifier);
    ASSERT_EQ(tree.GetSelectedCount(), 3);

    // The expand button of G1, left of its icon.
    const QRect row = tree.visualItemRect(g1);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(row.left() - tree.indentation() / 2, row.center().y()));
    ASSERT_FALSE(g1->isExpanded());
    EXPECT_EQ(Selected(), Names({"b1"}));
    EXPECT_EQ(tree.GetSelectedCount(), 1);
    // The caret was inside and G1 is not selected: no caret is left.
    EXPECT_EQ(tree.currentItem(), nullptr);

    tree.expandItem(g1);
    EXPECT_FALSE(Item("a1")->isSelected());
    EXPECT_FALSE(Item("a2")->isSelected());
}

TEST_F(TreeCtrlEx, CollapsingASelectedGroupTakesTheCaretFromInside) {
    Click("G2");
    Click("b2", Qt::ControlModifier);
    tree.collapseItem(g2);
    EXPECT_EQ(Selected(), Names({"G2"}));
    EXPECT_EQ(tree.currentItem(), g2);
}

TEST_F(TreeCtrlEx, SelectionQueriesCountOnlyVisibleItems) {
    tree.collapseItem(g3);
    tree.SelectAll(true);
    EXPECT_EQ(tree.GetSelectedCount(), 8);
    EXPECT_FALSE(Item("c1")->isSelected());

    tree.SelectAll(false, g2);
    EXPECT_EQ(Selected(), Names({"G2"}));

    QStringList all;
    for (QTreeWidgetItem* item : tree.GetAllItems())
        all << item->text(0);
    EXPECT_EQ(all, Names({"G1", "a1", "a2", "G2", "b1", "b2", "b3", "G3", "c1"}));
}

TEST_F(TreeCtrlEx, SelectRangeRunsBetweenItsEndsInDisplayOrder) {
    tree.SetItemState(g1, CTreeCtrlEx::kStateSelected, CTreeCtrlEx::kStateSelected);
    tree.SelectRange(Item("b2"), Item("a2"), false);
    EXPECT_EQ(Selected(), Names({"G1", "a2", "G2", "b1", "b2"}));

    tree.SelectRange(Item("b2"), Item("a2"), true);
    EXPECT_EQ(Selected(), Names({"a2", "G2", "b1", "b2"}));

    tree.SelectRange(Item("b3"), Item("b3"), true);
    EXPECT_EQ(Selected(), Names({"b3"}));

    // An end that is not visible is never met: the range runs on to the last item.
    tree.SelectRange(nullptr, Item("b3"), true);
    EXPECT_EQ(Selected(), Names({"b3", "G3", "c1"}));
    tree.collapseItem(g1);
    tree.SelectRange(Item("a1"), nullptr, true);
    EXPECT_TRUE(Selected().isEmpty());
}

TEST_F(TreeCtrlEx, ParentsVetoKeepsTheSelection) {
    std::vector<int> causes;
    tree.onSelChanging = [&](QTreeWidgetItem* item, bool select, int cause) {
        causes.push_back(cause);
        return (item->text(0) == QStringLiteral("a1") && !select) ||
               (item->text(0) == QStringLiteral("b2") && select);
    };
    Click("a1");
    ASSERT_EQ(Selected(), Names({"a1"}));
    Click("b1");
    EXPECT_EQ(Selected(), Names({"a1", "b1"}));
    Click("b2", Qt::ControlModifier);
    EXPECT_EQ(Selected(), Names({"a1", "b1"}));
    EXPECT_EQ(causes.back(), CTreeCtrlEx::kCauseMouse);

    EXPECT_FALSE(
        tree.SetItemState(Item("b2"), CTreeCtrlEx::kStateSelected, CTreeCtrlEx::kStateSelected));
    EXPECT_EQ(causes.back(), CTreeCtrlEx::kCauseUnknown);
    tree.ClearSelection();
    EXPECT_EQ(Selected(), Names({"a1"}));

    Key(Qt::Key_Down);
    EXPECT_EQ(causes.back(), CTreeCtrlEx::kCauseKeyboard);
    EXPECT_EQ(Selected(), Names({"a1", "b3"}));

    // Items being deleted are not put to the parent.
    causes.clear();
    delete Item("b3");
    EXPECT_TRUE(causes.empty());
}

TEST_F(TreeCtrlEx, ClickOnEmptySpaceClearsTheSelectionAndIsReported) {
    QSignalSpy clicked(&tree, &CTreeCtrlEx::mouseClicked);
    Click("a1");
    Click("b1", Qt::ControlModifier);
    ASSERT_EQ(clicked.count(), 2);

    // With Ctrl the selection stays; without it goes.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::ControlModifier, Below());
    EXPECT_EQ(Selected(), Names({"a1", "b1"}));
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::NoModifier, Below());
    EXPECT_TRUE(Selected().isEmpty());
    ASSERT_EQ(clicked.count(), 4);
    EXPECT_EQ(clicked.last().at(0).toPoint(), Below());
    EXPECT_EQ(tree.itemAt(clicked.last().at(0).toPoint()), nullptr);
}

TEST_F(TreeCtrlEx, EscapeDuringDragSelectionLeavesNothingSelected) {
    QSignalSpy clicked(&tree, &CTreeCtrlEx::mouseClicked);
    Click("a1");
    QTest::mousePress(tree.viewport(), Qt::LeftButton, Qt::NoModifier, Below());
    DragTo(At("b2"));
    ASSERT_TRUE(Item("b2")->isSelected());
    ASSERT_FALSE(Item("a1")->isSelected());

    Key(Qt::Key_Escape);
    EXPECT_TRUE(Selected().isEmpty());
    // The rest of that drag selects nothing, and its end is still reported.
    DragTo(At("a1"));
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, Qt::NoModifier, At("a1"));
    EXPECT_TRUE(Selected().isEmpty());
    EXPECT_EQ(clicked.count(), 2);

    // Escape outside a drag selection changes nothing.
    Click("b1");
    Key(Qt::Key_Escape);
    EXPECT_EQ(Selected(), Names({"b1"}));
}

TEST_F(TreeCtrlEx, DragFromAnItemIsHandedToTheParent) {
    QSignalSpy began(&tree, &CTreeCtrlEx::beginDrag);
    QSignalSpy clicked(&tree, &CTreeCtrlEx::mouseClicked);
    Click("a1");
    tree.SetItemState(Item("b1"), CTreeCtrlEx::kStateSelected, CTreeCtrlEx::kStateSelected);

    const QPoint press = At("b2");
    QTest::mousePress(tree.viewport(), Qt::LeftButton, Qt::NoModifier, press);
    const QPoint away = press + QPoint(QApplication::startDragDistance() * 3, 0);
    DragTo(press + QPoint(1, 0));
    DragTo(away);
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, Qt::NoModifier, away);

    ASSERT_EQ(began.count(), 1);
    EXPECT_EQ(began.first().at(0).value<QTreeWidgetItem*>(), Item("b2"));
    EXPECT_EQ(began.first().at(1).toPoint(), press);
    EXPECT_EQ(tree.currentItem(), Item("b2"));
    EXPECT_TRUE(Item("b2")->isSelected());
    // The click before the drag is reported; the drag is not a click.
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(TreeCtrlEx, DropHighlightIsForgottenWithItsItem) {
    tree.SetDropHighlight(Item("b1"));
    EXPECT_EQ(tree.GetDropHighlight(), Item("b1"));
    delete Item("b1");
    EXPECT_EQ(tree.GetDropHighlight(), nullptr);
    tree.SetDropHighlight(g3);
    tree.clear();
    EXPECT_EQ(tree.GetDropHighlight(), nullptr);
}
