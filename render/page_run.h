#pragma once
// CPageRun: one page in the browser. Loads it, scrolls to its end a screen at a time so
// that lazily loaded content asks for its files, then waits until no new address has been
// asked for a moment, or until the time limit, counted from the start of the load. Ends
// with the protocol's answer for the page, once.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "engine/render_protocol.h"

class CRenderPage;
class CRequestRecorder;
class QWebEngineProfile;

class CPageRun : public QObject {
    Q_OBJECT

public:
    CPageRun(CRenderRequest request, QWebEngineProfile* profile, CRequestRecorder& recorder,
             QObject* parent);
    CRenderPage* Page() const { return m_page; }
    void Start();

Q_SIGNALS:
    // The protocol's lines for the page, END included.
    void Finished(const QByteArray& answer);

private:
    void Loaded(bool ok);
    void ScrollStep();
    void CheckQuiet();
    void Finish(CRenderEnd end, const QString& reason = {});
    void Answer(const QByteArray& document, bool withDocument);

    CRenderRequest m_request;
    CRequestRecorder& m_recorder;
    CRenderPage* m_page; // a child: goes with the run
    QTimer m_limit;
    QTimer m_scroll;
    QTimer m_quiet;
    QTimer m_documentWait;
    QElapsedTimer m_sinceScrolled;
    int m_scrollSteps = 0;
    bool m_scrollPending = false;
    bool m_loaded = false;
    bool m_finished = false;
    bool m_answered = false;
    CRenderEnd m_end = CRenderEnd::Settled;
    QString m_reason;
    QStringList m_requests;
};
