#pragma once
// CTreeCtrlEx: a one-column tree with multiple selection, the control of the sites tree.
//
// Qt's extended selection already gives Ctrl+click toggling, Shift ranges from an anchor (the
// caret when there is none), Shift+arrow ranges, Ctrl+arrow caret moves and drag selection
// over the rows. This class adds what the sites tree needs beyond that:
// - selection queries and bulk operations over the visible items in display order;
// - a parent that may veto any single item's selection change;
// - collapsing an item deselects everything below it, so no hidden item stays selected;
// - Escape while dragging a selection from empty space leaves nothing selected;
// - a click on a selected item edits its label only when it lands on the label text;
// - a click notification for every click that is not a drag, also on empty space;
// - a begin-drag notification in place of Qt's own item drag;
// - a drop highlight drawn like a selection.

#include <QItemSelection>
#include <QList>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QTreeWidget>
#include <functional>

class CTreeCtrlEx : public QTreeWidget {
    Q_OBJECT
public:
    // What caused a selection change, handed to the veto.
    enum Cause : int { kCauseUnknown = 0, kCauseMouse = 1, kCauseKeyboard = 2 };
    // Item state bits: selected, and being the caret (the current item).
    enum State : unsigned { kStateSelected = 1, kStateCaret = 2 };

    explicit CTreeCtrlEx(QWidget* parent = nullptr);

    // Asked when the control changes an item's selection; returning true keeps the item as
    // it was.
    std::function<bool(QTreeWidgetItem* item, bool select, int cause)> onSelChanging;

    // Changes the bits of state named in mask. False when a selection change was vetoed.
    bool SetItemState(QTreeWidgetItem* item, unsigned state, unsigned mask);
    unsigned GetItemState(const QTreeWidgetItem* item, unsigned mask) const;

    // Visible items are those not inside a collapsed parent, in display order.
    QList<QTreeWidgetItem*> GetVisibleItems() const;
    QTreeWidgetItem* GetFirstSelectedItem() const;
    QTreeWidgetItem* GetNextSelectedItem(const QTreeWidgetItem* item) const;
    int GetSelectedCount() const;
    QList<QTreeWidgetItem*> GetSelectedList() const;
    // Each top-level item followed by its direct children, whether visible or not.
    QList<QTreeWidgetItem*> GetAllItems() const;

    // Gives every visible item other than except the wanted selection.
    void SelectAll(bool select, QTreeWidgetItem* except = nullptr);
    void ClearSelection();
    // Selects the visible items from one end to the other, in whichever order they come.
    // An end that is not visible is never met, so the range then runs to the last item.
    void SelectRange(QTreeWidgetItem* first, QTreeWidgetItem* last, bool clearOthers);

    // The item drawn as the target of a drag; forgotten when the item goes away.
    void SetDropHighlight(QTreeWidgetItem* item);
    QTreeWidgetItem* GetDropHighlight() const;

    int CurrentCause() const { return m_cause; }

    // Where the item's text is drawn, in viewport coordinates: right of its icon and as
    // wide as the text. A click on a selected item edits the label only there.
    QRect LabelRect(const QTreeWidgetItem* item) const;

signals:
    // A mouse click that did not become an item drag ended; pos is in viewport coordinates,
    // and may be over no item at all.
    void mouseClicked(QPoint pos, Qt::MouseButton button);
    // A drag started from item, pressed at pos (viewport coordinates). The receiver runs it.
    void beginDrag(QTreeWidgetItem* item, QPoint pos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    // Selects or deselects items in one change; vetoed items keep their state.
    void ApplySelection(const QList<QTreeWidgetItem*>& items, bool select);
    void OnCollapsed(const QModelIndex& index);
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);

    int m_cause = kCauseUnknown;
    int m_ownChange = 0; // nonzero while the control itself changes the selection
    int m_reverting = 0; // nonzero while a veto is being carried out
    QPersistentModelIndex m_dropHighlight;

    // The press being tracked.
    QPersistentModelIndex m_pressIndex;
    QPoint m_pressPos;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    bool m_pressOnNothing = false;
    bool m_dragStarted = false;
    bool m_bandCancelled = false;
};
