#pragma once
// CAboutDialog: the product picture in a window without caption or frame, centred. The
// first mouse button (left, right or middle) or key press, Alt and the other system keys
// included, closes it with Accepted.

#include <QDialog>

class QLabel;

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_picture = nullptr;
};
