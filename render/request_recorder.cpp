#include "render/request_recorder.h"

#include <QMutexLocker>

namespace {
// Requests never carry a fragment; the page's address may.
QString Key(const QUrl& address) {
    return QString::fromLatin1(address.adjusted(QUrl::RemoveFragment).toEncoded());
}
} // namespace

void CRequestRecorder::Begin(const QUrl& page) {
    QMutexLocker lock(&m_mutex);
    m_page = Key(page);
    m_seen.clear();
    m_requests.clear();
    m_sinceLast.start();
}

void CRequestRecorder::interceptRequest(QWebEngineUrlRequestInfo& info) {
    // The browser asks for an icon of its own accord; a page's declared icon is a link
    // the crawl finds in the markup.
    if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeFavicon)
        return;
    Record(info.requestUrl());
}

void CRequestRecorder::Record(const QUrl& address) {
    const QString scheme = address.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return;
    const QString key = Key(address);
    QMutexLocker lock(&m_mutex);
    if (key == m_page || m_seen.contains(key))
        return;
    m_seen.insert(key);
    m_requests.append(key);
    m_sinceLast.start();
}

QStringList CRequestRecorder::Take() {
    QMutexLocker lock(&m_mutex);
    QStringList taken = std::move(m_requests);
    m_requests.clear();
    return taken;
}

qint64 CRequestRecorder::QuietMs() const {
    QMutexLocker lock(&m_mutex);
    return m_sinceLast.isValid() ? m_sinceLast.elapsed() : 0;
}
