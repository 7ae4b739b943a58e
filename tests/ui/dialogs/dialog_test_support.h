#pragma once
// Helpers for the dialog tests.
//
// ModalWatcher: lets a test look at a modal dialog while the code under test sits in its
// exec(). It polls the event loop for the next modal widget of type T, hands it to act and,
// should act leave it open (a failed check), rejects it so that the test cannot hang.

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <ostream>

// Failed comparisons of texts print the text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

template <class T> class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(T*)> act) : m_act(std::move(act)) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
        m_timer.start();
    }

    bool Seen() const { return m_seen; }

private:
    void Poll() {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible())
            return;
        m_timer.stop();
        m_seen = true;
        QPointer<QWidget> guard(modal);
        m_act(modal);
        if (guard && guard->isVisible())
            if (auto* dialog = qobject_cast<QDialog*>(guard.data()))
                dialog->reject();
    }

    std::function<void(T*)> m_act;
    QTimer m_timer;
    bool m_seen = false;
};
