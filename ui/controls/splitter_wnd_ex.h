#pragma once
// CSplitterWndEx: a splitter whose bars can be locked against dragging. The main frame's two
// splitters start locked and are unlocked when the user allows sizing of the window panes.
// A locked bar takes no mouse presses and shows the ordinary arrow, not the sizing cursor;
// the panes still follow the window's size.

#include <QSplitter>

class CSplitterWndEx : public QSplitter {
    Q_OBJECT
public:
    explicit CSplitterWndEx(Qt::Orientation orientation, QWidget* parent = nullptr);

    void SetLocked(bool locked);
    bool IsLocked() const { return m_locked; }

protected:
    QSplitterHandle* createHandle() override;

private:
    bool m_locked = true;
};
