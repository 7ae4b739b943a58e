#include "ui/browser_profile.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QWebEngineProfile>

#include "ui/browser_cookies.h"

namespace {
QWebEngineProfile* g_profile = nullptr;
CBrowserCookies* g_cookies = nullptr;

// Registered after the web engine's own clean-up, so it runs before it: the profile must
// go while the engine is still there.
void ReleaseProfile() {
    delete g_cookies;
    g_cookies = nullptr;
    delete g_profile;
    g_profile = nullptr;
}

void MakeProfile() {
    // One for the whole run: its tracker then sees every cookie from the first page on,
    // and no two profiles ever share the storage folder.
    g_profile = new QWebEngineProfile(QStringLiteral("browser"));
    g_profile->setPersistentStoragePath(
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
        QStringLiteral("/browser"));
    // Before the first page, so no cookie goes unseen.
    g_cookies = new CBrowserCookies(g_profile->cookieStore());
    qAddPostRoutine(ReleaseProfile);
}
} // namespace

QWebEngineProfile* BrowserPaneProfile() {
    if (!g_profile)
        MakeProfile();
    return g_profile;
}

CBrowserCookies& BrowserPaneCookies() {
    if (!g_profile)
        MakeProfile();
    return *g_cookies;
}
