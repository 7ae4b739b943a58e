#pragma once
// CRequestRecorder: every http(s) address the browser asks for while a page runs, once
// each, in order. Installed on the profile, so it sees what frames, workers and module
// imports ask for alike; the page's own address is left out.

#include <QElapsedTimer>
#include <QMutex>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

class CRequestRecorder : public QWebEngineUrlRequestInterceptor {
public:
    // Starts a page: forgets what earlier pages asked for.
    void Begin(const QUrl& page);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    // Also used for the navigations the page is not allowed to make.
    void Record(const QUrl& address);
    QStringList Take();
    // Milliseconds since the last new address; since Begin when there was none.
    qint64 QuietMs() const;

private:
    mutable QMutex m_mutex; // Qt does not promise which thread intercepts
    QString m_page;
    QSet<QString> m_seen;
    QStringList m_requests;
    QElapsedTimer m_sinceLast;
};
