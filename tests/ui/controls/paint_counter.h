#pragma once
// Counts the paint events a widget receives.

#include <QEvent>
#include <QObject>
#include <QWidget>

class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};
