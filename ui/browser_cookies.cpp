#include "ui/browser_cookies.h"

#include <QDateTime>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <vector>

CBrowserCookies::CBrowserCookies(QWebEngineCookieStore* store, QObject* parent) : QObject(parent) {
    connect(store, &QWebEngineCookieStore::cookieAdded, this, [this](const QNetworkCookie& c) {
        const BrowserCookie cookie = FromQt(c);
        m_cookies[KeyOf(cookie)] = cookie;
    });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie& c) { m_cookies.erase(KeyOf(FromQt(c))); });
    // Those kept on disk from earlier runs arrive as cookieAdded.
    store->loadAllCookies();
}

BrowserCookie CBrowserCookies::FromQt(const QNetworkCookie& cookie) {
    BrowserCookie plain;
    plain.domain = cookie.domain().toStdString();
    plain.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
    plain.name = cookie.name().toStdString();
    plain.value = cookie.value().toStdString();
    plain.secure = cookie.isSecure();
    plain.httpOnly = cookie.isHttpOnly();
    plain.expires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    return plain;
}

CBrowserCookies::Key CBrowserCookies::KeyOf(const BrowserCookie& cookie) {
    return {cookie.domain, cookie.path, cookie.name};
}

std::string CBrowserCookies::LinesFor(const CSite& site) const {
    std::vector<BrowserCookie> cookies;
    cookies.reserve(m_cookies.size());
    for (const auto& [key, cookie] : m_cookies)
        cookies.push_back(cookie);
    const std::vector<std::string> servers = CookieServersOf(site);
    return FormatCookieLines(cookies, servers);
}
