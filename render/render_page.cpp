#include "render/render_page.h"

#include <QAuthenticator>

#include "render/request_recorder.h"

CRenderPage::CRenderPage(QWebEngineProfile* profile, CRequestRecorder& recorder, QObject* parent)
    : QWebEnginePage(profile, parent), m_recorder(recorder) {
    // A null authenticator cancels the login, which the browser then shows as a 401.
    connect(this, &QWebEnginePage::authenticationRequired, this,
            [](const QUrl&, QAuthenticator* authenticator) { *authenticator = QAuthenticator(); });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [](const QUrl&, QAuthenticator* authenticator, const QString&) {
                *authenticator = QAuthenticator();
            });
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::loadFinished, this, [this] { m_landed = true; });
}

bool CRenderPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (!isMainFrame)
        return true;
    if (m_loadAllowed) {
        m_loadAllowed = false;
        return true;
    }
    // The server's redirects of the page itself are part of loading it.
    if (type == NavigationTypeRedirect && !m_landed)
        return true;
    m_recorder.Record(url);
    return false;
}
