#include "ui/controls/splitter_wnd_ex.h"

#include <QEvent>
#include <QMouseEvent>
#include <QSplitterHandle>

namespace {

class CSplitterHandleEx : public QSplitterHandle {
public:
    CSplitterHandleEx(Qt::Orientation orientation, CSplitterWndEx* parent)
        : QSplitterHandle(orientation, parent), m_owner(parent) {
        ApplyCursor();
    }

    void ApplyCursor() {
        if (m_owner->IsLocked())
            setCursor(Qt::ArrowCursor);
        else
            setCursor(orientation() == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    }

protected:
    bool event(QEvent* event) override {
        // QSplitterHandle puts the sizing cursor back whenever the orientation changes.
        if (event->type() == QEvent::CursorChange && m_owner->IsLocked() &&
            cursor().shape() != Qt::ArrowCursor)
            setCursor(Qt::ArrowCursor);
        return QSplitterHandle::event(event);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (m_owner->IsLocked()) {
            event->accept();
            return;
        }
        m_dragging = event->button() == Qt::LeftButton;
        QSplitterHandle::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (m_owner->IsLocked()) {
            event->accept();
            return;
        }
        QSplitterHandle::mouseMoveEvent(event);
    }

    // A drag that started while unlocked is always ended, or the handle would keep
    // following the pointer after a later unlock.
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (!m_dragging) {
            event->accept();
            return;
        }
        if (event->button() == Qt::LeftButton)
            m_dragging = false;
        QSplitterHandle::mouseReleaseEvent(event);
    }

private:
    CSplitterWndEx* m_owner;
    bool m_dragging = false;
};

} // namespace

CSplitterWndEx::CSplitterWndEx(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent) {}

void CSplitterWndEx::SetLocked(bool locked) {
    m_locked = locked;
    for (int i = 0; i < count(); ++i)
        if (auto* h = dynamic_cast<CSplitterHandleEx*>(handle(i)))
            h->ApplyCursor();
}

QSplitterHandle* CSplitterWndEx::createHandle() {
    return new CSplitterHandleEx(orientation(), this);
}
