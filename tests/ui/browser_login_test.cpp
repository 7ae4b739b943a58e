// A login made in the browser pane reaches the crawl: the whole window, a real web view
// and a site behind a login form on 127.0.0.1.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "engine/controller.h"
#include "engine/http_session.h"
#include "model/project.h"
#include "support/login_form_server.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"
#include "ui/app_globals.h"
#include "ui/browser_view.h"
#include "ui/controls/tree_ctrl_ex.h"
#include "ui/main_frame.h"
#include "ui/project_document.h"
#include "ui/quarn_app.h"
#include "ui/sites_view.h"

namespace {
constexpr int kLoadWaitMs = 30000;

class BrowserLogin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CInternetSession::Initialise());
        QSettings settings(QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
        settings.setValue(QStringLiteral("SitesDir"),
                          QString::fromStdString(sitesDir.path().string()));
        settings.sync();
        ASSERT_TRUE(app.InitInstance({QStringLiteral("-Embedding")}));
        app.Document().askSaveChanges = [](const QString&) { return CProjectDocument::Answer::No; };
        ASSERT_NE(g_pBrowserView, nullptr);
        ASSERT_NE(g_pBrowserView->Browser(), nullptr);
    }

    CSite& AddSite(const std::string& name, bool useBrowserCookies) {
        auto site = std::make_unique<CSite>(name);
        site->m_url = server.Url("/members.htm");
        site->m_useBrowserCookies = useBrowserCookies;
        CSite& added = *site;
        CProject& project = app.Document().Project();
        project.AddSite(std::move(site), *project.GetGroups().front());
        return added;
    }
    void Quarn(const CSite& site) {
        CTreeCtrlEx* tree = g_pSitesView->Tree();
        QTreeWidgetItem* item = g_pSitesView->FindItem(&site);
        ASSERT_NE(item, nullptr);
        tree->ClearSelection();
        tree->setCurrentItem(item);
        item->setSelected(true);
        app.MainFrame()->RunCommand(cmd::Quarn);
    }
    // Until the pane shows path of the server with its load finished.
    bool PaneShows(const std::string& path) {
        QWebEngineView* browser = g_pBrowserView->Browser();
        const QUrl url(QString::fromStdString(server.Url(path)));
        return QTest::qWaitFor([&] { return browser->url() == url && !m_loading; }, kLoadWaitMs);
    }
    bool CrawlsEnded(std::initializer_list<const CSite*> sites) {
        return QTest::qWaitFor(
            [&] {
                for (const CSite* site : sites)
                    if (CSitesView::IsBusy(*site))
                        return false;
                return g_pController->GetState() == kControllerIdle;
            },
            kLoadWaitMs);
    }
    void WatchLoads() {
        QWebEngineView* browser = g_pBrowserView->Browser();
        QObject::connect(browser, &QWebEngineView::loadStarted, browser,
                         [this] { m_loading = true; });
        QObject::connect(browser, &QWebEngineView::loadFinished, browser,
                         [this] { m_loading = false; });
    }

    SettingsScope scope;
    TempDir sitesDir;
    LoginFormServer server;
    CQuarnApp app;

private:
    bool m_loading = false;
};
} // namespace

TEST_F(BrowserLogin, ALoginInThePaneGivesTheCrawlTheSessionCookieOnlyWhenTheSiteAsks) {
    WatchLoads();
    // Not logged in: the members page sends the pane to the form.
    g_pBrowserView->Navigate(QString::fromStdString(server.Url("/members.htm")), true);
    ASSERT_TRUE(PaneShows("/login"));

    g_pBrowserView->Browser()->page()->runJavaScript(
        QStringLiteral("document.querySelector('[name=user]').value = 'alice';"
                       "document.querySelector('[name=password]').value = 'wonderland';"
                       "document.getElementById('login').submit();"));
    ASSERT_TRUE(PaneShows("/members.htm"));
    const std::vector<std::string> asked = server.CookieHeaders();
    ASSERT_FALSE(asked.empty());
    ASSERT_EQ(asked.back(), "/members.htm session=t0k3n-42") << "the pane is logged in";

    CSite& asks = AddSite("Asks", true);
    CSite& declines = AddSite("Declines", false);
    declines.SetStartCookies("session\tstale\n");
    // The store tells of a new cookie on its own time.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !g_pBrowserView->CookieLinesFor(asks).empty(); },
                                kLoadWaitMs));

    Quarn(asks);
    EXPECT_EQ(asks.StartCookies(), "#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\tt0k3n-42\n");
    Quarn(declines);
    EXPECT_EQ(declines.StartCookies(), "");
    ASSERT_TRUE(CrawlsEnded({&asks, &declines}));
}
