#include "ui/controls/tree_ctrl_ex.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace {

// Sets a value for the length of one handler and puts the previous one back.
class ValueScope {
public:
    ValueScope(int& value, int during) : m_value(value), m_saved(value) { m_value = during; }
    ~ValueScope() { m_value = m_saved; }
    ValueScope(const ValueScope&) = delete;
    ValueScope& operator=(const ValueScope&) = delete;

private:
    int& m_value;
    int m_saved;
};

bool IsPlainNavigation(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    default:
        return false;
    }
}

void CollectDescendants(QTreeWidgetItem* item, QList<QTreeWidgetItem*>& out) {
    for (int i = 0; i < item->childCount(); ++i) {
        out.append(item->child(i));
        CollectDescendants(item->child(i), out);
    }
}

} // namespace

CTreeCtrlEx::CTreeCtrlEx(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setDragEnabled(true);
    setIconSize(QSize(16, 16));

    connect(this, &QTreeView::collapsed, this, &CTreeCtrlEx::OnCollapsed);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTreeCtrlEx::OnSelectionChanged);
}

// Qt changes selections in many places and asks no one first, and QTreeWidget cannot take
// another selection model. So the parent is asked as each change arrives, and what it
// vetoes is put back at once. Only changes the control makes are put to the parent: those
// of the mouse and key handlers and of the calls below, not the deselection of items that
// are being deleted.
void CTreeCtrlEx::OnSelectionChanged(const QItemSelection& selected,
                                     const QItemSelection& deselected) {
    if (!onSelChanging || m_ownChange == 0 || m_reverting)
        return;
    QItemSelection undo;
    QItemSelection restore;
    for (const QModelIndex& index : selected.indexes())
        if (QTreeWidgetItem* item = itemFromIndex(index);
            item && onSelChanging(item, true, m_cause))
            undo.select(index, index);
    for (const QModelIndex& index : deselected.indexes())
        if (QTreeWidgetItem* item = itemFromIndex(index);
            item && onSelChanging(item, false, m_cause))
            restore.select(index, index);
    if (undo.isEmpty() && restore.isEmpty())
        return;
    const ValueScope reverting(m_reverting, 1);
    if (!undo.isEmpty())
        selectionModel()->select(undo, QItemSelectionModel::Deselect);
    if (!restore.isEmpty())
        selectionModel()->select(restore, QItemSelectionModel::Select);
}

bool CTreeCtrlEx::SetItemState(QTreeWidgetItem* item, unsigned state, unsigned mask) {
    if (!item)
        return false;
    const ValueScope own(m_ownChange, m_ownChange + 1);
    if (mask & kStateCaret) {
        if (state & kStateCaret)
            selectionModel()->setCurrentIndex(indexFromItem(item), QItemSelectionModel::NoUpdate);
        else if (currentItem() == item)
            selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    if (mask & kStateSelected) {
        const bool wanted = (state & kStateSelected) != 0;
        if (item->isSelected() != wanted) {
            ApplySelection({item}, wanted);
            return item->isSelected() == wanted;
        }
    }
    return true;
}

unsigned CTreeCtrlEx::GetItemState(const QTreeWidgetItem* item, unsigned mask) const {
    if (!item)
        return 0;
    unsigned state = 0;
    if ((mask & kStateSelected) && item->isSelected())
        state |= kStateSelected;
    if ((mask & kStateCaret) && currentItem() == item)
        state |= kStateCaret;
    return state;
}

QList<QTreeWidgetItem*> CTreeCtrlEx::GetVisibleItems() const {
    QList<QTreeWidgetItem*> items;
    for (QTreeWidgetItem* item = topLevelItem(0); item; item = itemBelow(item))
        items.append(item);
    return items;
}

QTreeWidgetItem* CTreeCtrlEx::GetFirstSelectedItem() const {
    for (QTreeWidgetItem* item : GetVisibleItems())
        if (item->isSelected())
            return item;
    return nullptr;
}

QTreeWidgetItem* CTreeCtrlEx::GetNextSelectedItem(const QTreeWidgetItem* item) const {
    const QList<QTreeWidgetItem*> visible = GetVisibleItems();
    const qsizetype from = visible.indexOf(item);
    if (from < 0)
        return nullptr;
    for (qsizetype i = from + 1; i < visible.size(); ++i)
        if (visible[i]->isSelected())
            return visible[i];
    return nullptr;
}

int CTreeCtrlEx::GetSelectedCount() const {
    return static_cast<int>(GetSelectedList().size());
}

QList<QTreeWidgetItem*> CTreeCtrlEx::GetSelectedList() const {
    QList<QTreeWidgetItem*> selected;
    for (QTreeWidgetItem* item : GetVisibleItems())
        if (item->isSelected())
            selected.append(item);
    return selected;
}

QList<QTreeWidgetItem*> CTreeCtrlEx::GetAllItems() const {
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = topLevelItem(i);
        items.append(top);
        for (int j = 0; j < top->childCount(); ++j)
            items.append(top->child(j));
    }
    return items;
}

void CTreeCtrlEx::ApplySelection(const QList<QTreeWidgetItem*>& items, bool select) {
    QItemSelection selection;
    for (QTreeWidgetItem* item : items) {
        if (item->isSelected() == select)
            continue;
        const QModelIndex index = indexFromItem(item);
        selection.select(index, index);
    }
    if (selection.isEmpty())
        return;
    const ValueScope own(m_ownChange, m_ownChange + 1);
    selectionModel()->select(
        selection, (select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                       QItemSelectionModel::Rows);
}

void CTreeCtrlEx::SelectAll(bool select, QTreeWidgetItem* except) {
    QList<QTreeWidgetItem*> items = GetVisibleItems();
    items.removeAll(except);
    ApplySelection(items, select);
}

void CTreeCtrlEx::ClearSelection() {
    SelectAll(false);
}

void CTreeCtrlEx::SelectRange(QTreeWidgetItem* first, QTreeWidgetItem* last, bool clearOthers) {
    QList<QTreeWidgetItem*> select;
    QList<QTreeWidgetItem*> deselect;
    QTreeWidgetItem* otherEnd = nullptr;
    bool inRange = false;
    bool done = false;
    for (QTreeWidgetItem* item : GetVisibleItems()) {
        if (!inRange && !done && (item == first || item == last)) {
            select.append(item);
            otherEnd = item == first ? last : first;
            inRange = item != otherEnd;
            done = !inRange;
        } else if (inRange) {
            select.append(item);
            if (item == otherEnd) {
                inRange = false;
                done = true;
            }
        } else if (clearOthers) {
            deselect.append(item);
        }
    }
    ApplySelection(deselect, false);
    ApplySelection(select, true);
}

void CTreeCtrlEx::SetDropHighlight(QTreeWidgetItem* item) {
    const QPersistentModelIndex index(item ? indexFromItem(item) : QModelIndex());
    if (index == m_dropHighlight)
        return;
    m_dropHighlight = index;
    viewport()->update();
}

QTreeWidgetItem* CTreeCtrlEx::GetDropHighlight() const {
    return m_dropHighlight.isValid() ? itemFromIndex(m_dropHighlight) : nullptr;
}

void CTreeCtrlEx::OnCollapsed(const QModelIndex& index) {
    QTreeWidgetItem* collapsing = itemFromIndex(index);
    if (!collapsing)
        return;
    QList<QTreeWidgetItem*> hidden;
    CollectDescendants(collapsing, hidden);
    ApplySelection(hidden, false);
    // A caret that went out of sight moves to the collapsed item only when that item is
    // selected; otherwise there is no caret until the user picks one.
    if (QTreeWidgetItem* caret = currentItem(); caret && hidden.contains(caret)) {
        const QModelIndex to = collapsing->isSelected() ? index : QModelIndex();
        selectionModel()->setCurrentIndex(to, QItemSelectionModel::NoUpdate);
    }
}

void CTreeCtrlEx::mousePressEvent(QMouseEvent* event) {
    const ValueScope cause(m_cause, kCauseMouse);
    const ValueScope own(m_ownChange, m_ownChange + 1);
    m_pressPos = event->position().toPoint();
    m_pressButton = event->button();
    m_pressIndex = indexAt(m_pressPos);
    m_pressOnNothing = !m_pressIndex.isValid();
    m_dragStarted = false;
    m_bandCancelled = false;
    QTreeWidget::mousePressEvent(event);
}

void CTreeCtrlEx::mouseMoveEvent(QMouseEvent* event) {
    // After Escape the rest of that drag selection is ignored.
    if (m_bandCancelled && (event->buttons() & Qt::LeftButton)) {
        event->accept();
        return;
    }
    const ValueScope cause(m_cause, kCauseMouse);
    const ValueScope own(m_ownChange, m_ownChange + 1);
    QTreeWidget::mouseMoveEvent(event);
}

void CTreeCtrlEx::mouseReleaseEvent(QMouseEvent* event) {
    const ValueScope cause(m_cause, kCauseMouse);
    const ValueScope own(m_ownChange, m_ownChange + 1);
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() != m_pressButton)
        return;
    m_pressButton = Qt::NoButton;
    m_bandCancelled = false;
    if (!m_dragStarted)
        emit mouseClicked(event->position().toPoint(), event->button());
}

void CTreeCtrlEx::keyPressEvent(QKeyEvent* event) {
    const ValueScope cause(m_cause, kCauseKeyboard);
    const ValueScope own(m_ownChange, m_ownChange + 1);
    const bool banding = m_pressButton == Qt::LeftButton && m_pressOnNothing;
    if (event->key() == Qt::Key_Escape && banding && !m_bandCancelled) {
        m_bandCancelled = true;
        setState(NoState);
        ClearSelection();
        event->accept();
        return;
    }
    QTreeWidgetItem* caretBefore = currentItem();
    QTreeWidget::keyPressEvent(event);
    // Qt leaves the selection alone when the caret cannot move (Up on the first item);
    // the plain navigation keys always end with the caret as the only selected item.
    if (IsPlainNavigation(event) && caretBefore && currentItem() == caretBefore) {
        SelectAll(false, caretBefore);
        SetItemState(caretBefore, kStateSelected, kStateSelected);
    }
}

void CTreeCtrlEx::focusOutEvent(QFocusEvent* event) {
    // A press whose release went elsewhere (a popup took the mouse) no longer counts.
    m_pressButton = Qt::NoButton;
    m_bandCancelled = false;
    QTreeWidget::focusOutEvent(event);
}

QRect CTreeCtrlEx::LabelRect(const QTreeWidgetItem* item) const {
    const QModelIndex index = item ? indexFromItem(item) : QModelIndex();
    if (!index.isValid())
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.index = index;
    option.text = index.data(Qt::DisplayRole).toString();
    option.features |= QStyleOptionViewItem::HasDisplay;
    if (index.data(Qt::DecorationRole).isValid())
        option.features |= QStyleOptionViewItem::HasDecoration;
    QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    // The style gives the text the rest of the row; the label ends where its text does.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, this) + 1;
    text.setWidth(qMin(text.width(), option.fontMetrics.horizontalAdvance(option.text) + 2 * margin));
    return text;
}

bool CTreeCtrlEx::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (trigger == SelectedClicked && event && event->type() == QEvent::MouseButtonRelease) {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (!LabelRect(itemFromIndex(index)).contains(pos))
            return false;
    }
    return QTreeWidget::edit(index, trigger, event);
}

void CTreeCtrlEx::startDrag(Qt::DropActions) {
    m_dragStarted = true;
    QTreeWidgetItem* item = m_pressIndex.isValid() ? itemFromIndex(m_pressIndex) : nullptr;
    if (!item || m_pressButton != Qt::LeftButton)
        return;
    SetItemState(item, kStateSelected | kStateCaret, kStateSelected | kStateCaret);
    emit beginDrag(item, m_pressPos);
}

void CTreeCtrlEx::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    if (m_dropHighlight.isValid() && index == QModelIndex(m_dropHighlight)) {
        QStyleOptionViewItem highlighted(option);
        highlighted.state |= QStyle::State_Selected;
        QTreeWidget::drawRow(painter, highlighted, index);
        return;
    }
    QTreeWidget::drawRow(painter, option, index);
}
