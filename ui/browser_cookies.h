#pragma once
// CBrowserCookies: the browser pane's cookies, as its cookie store reports them. The store
// has no getter, so this keeps its own copy from the moment it is made; it also asks the
// store for the cookies kept from earlier runs. GUI thread only.

#include <QObject>
#include <map>
#include <string>
#include <tuple>

#include "ui/browser_cookie_lines.h"

class CSite;
class QNetworkCookie;
class QWebEngineCookieStore;

class CBrowserCookies : public QObject {
    Q_OBJECT
public:
    explicit CBrowserCookies(QWebEngineCookieStore* store, QObject* parent = nullptr);

    // Netscape lines of the cookies the site's servers get (see FormatCookieLines).
    std::string LinesFor(const CSite& site) const;

    static BrowserCookie FromQt(const QNetworkCookie& cookie);

private:
    // A cookie is replaced by one of the same domain, path and name.
    using Key = std::tuple<std::string, std::string, std::string>;
    static Key KeyOf(const BrowserCookie& cookie);

    std::map<Key, BrowserCookie> m_cookies;
};
