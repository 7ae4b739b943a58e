// The whole window over a real controller and a site served from 127.0.0.1: closing and
// exiting, the commands' owners, the status bar, the pane sizes, a crawl from a dropped
// address to its stored copy in the browser pane, a site made with New Site whose crawl
// shows in the Errors and Log dialogs, and a login made in the browser pane reaching the
// crawl.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QSplitterHandle>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/controller.h"
#include "engine/http_session.h"
#include "engine/messages.h"
#include "model/clock.h"
#include "model/login_guard.h"
#include "model/project.h"
#include "support/login_server.h"
#include "support/settings_scope.h"
#include "support/site_server.h"
#include "support/temp_dir.h"
#include "tests/ui/dialogs/site_dialog_test_support.h"
#include "ui/app_globals.h"
#include "ui/browser_profile.h"
#include "ui/browser_view.h"
#include "ui/controls/label_ctrl.h"
#include "ui/controls/spin_edit.h"
#include "ui/controls/splitter_wnd_ex.h"
#include "ui/controls/tree_ctrl_ex.h"
#include "ui/copy_origin.h"
#include "ui/dialogs/errors_dialog.h"
#include "ui/dialogs/log_dialog.h"
#include "ui/main_frame.h"
#include "ui/project_document.h"
#include "ui/quarn_app.h"
#include "ui/quarn_view.h"
#include "ui/sites_view.h"
#include "ui/status_figures.h"
#include "web/url.h"

namespace {

// The program's clock, running with the system's but stepped forward by the test. Made
// before the window and undone after it, so it never changes while the engine reads it.
class SteppedClock {
public:
    SteppedClock() {
        SetClockForTesting(
            [this] { return static_cast<std::int64_t>(std::time(nullptr)) + m_ahead.load(); });
    }
    ~SteppedClock() { SetClockForTesting({}); }
    void Advance(std::int64_t seconds) { m_ahead += seconds; }

private:
    std::atomic<std::int64_t> m_ahead{0};
};

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CInternetSession::Initialise());
        QSettings settings(QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
        settings.setValue(QStringLiteral("SitesDir"), QString::fromStdString(sitesDir.path().string()));
        settings.sync();
        ASSERT_TRUE(app.InitInstance({QStringLiteral("-Embedding")}));
        frame = app.MainFrame();
        frame->askRunningExit = [this] {
            questions.push_back(QStringLiteral("running"));
            return exitWhileRunning;
        };
        app.Document().askSaveChanges = [this](const QString&) {
            questions.push_back(QStringLiteral("save"));
            return saveAnswer;
        };
    }
    void TearDown() override { server.OpenAll(); }

    CSiteGroup& FirstGroup() { return *app.Document().Project().GetGroups().front(); }
    CSite& AddSite(const std::string& name, const std::string& address) {
        auto site = std::make_unique<CSite>(name);
        site->m_url = address;
        CSite& added = *site;
        app.Document().Project().AddSite(std::move(site), FirstGroup());
        return added;
    }
    void Select(const CSiteItem& record) {
        CTreeCtrlEx* tree = g_pSitesView->Tree();
        QTreeWidgetItem* item = g_pSitesView->FindItem(&record);
        ASSERT_NE(item, nullptr);
        tree->ClearSelection();
        tree->setCurrentItem(item);
        item->setSelected(true);
    }
    // A site whose start page the server holds back, so its crawl keeps running.
    CSite& QuarnHeldSite() {
        server.AddHtml("/index.htm", "<html>held</html>");
        server.Hold("/index.htm");
        server.Start();
        CSite& site = AddSite("Held", server.Url("/index.htm"));
        Select(site);
        frame->RunCommand(cmd::Quarn);
        return site;
    }
    bool Enabled(int id) { return frame->QueryCommand(id).enabled; }
    bool WaitForControllerState(int state) {
        return QTest::qWaitFor([&] { return g_pController && g_pController->GetState() == state; }, 10000);
    }
    // Logs the browser pane in to the login server as a user would: the site sends the
    // pane to its form, which is filled in and sent. False when a page does not show.
    static bool LogInThroughPane(const LoginServer& login) {
        QWebEngineView* browser = g_pBrowserView->Browser();
        if (!browser)
            return false;
        bool loading = false;
        QObject watch; // the connections go with it
        QObject::connect(browser, &QWebEngineView::loadStarted, &watch, [&] { loading = true; });
        QObject::connect(browser, &QWebEngineView::loadFinished, &watch,
                         [&] { loading = false; });
        const auto paneShows = [&](const std::string& path) {
            const QUrl url(QString::fromStdString(login.Url(path)));
            return QTest::qWaitFor([&] { return browser->url() == url && !loading; }, 30000);
        };
        g_pBrowserView->Navigate(QString::fromStdString(login.Url("/")), true);
        if (!paneShows("/login?next=/"))
            return false;
        browser->page()->runJavaScript(
            QStringLiteral("document.querySelector('[name=user]').value = '%1';"
                           "document.querySelector('[name=password]').value = '%2';"
                           "document.querySelector('form').submit();")
                .arg(QLatin1String(LoginServer::kUser), QLatin1String(LoginServer::kPassword)));
        return paneShows("/");
    }
    // The Errors dialog's only row: its four texts and the Code column's tip.
    struct ErrorRow {
        QStringList texts;
        QString codeTip;
    };
    ErrorRow OnlyErrorRow() {
        ErrorRow row;
        ModalWatcher<CErrorsDialog> errorsWatcher([&](CErrorsDialog* dialog) {
            auto* list = sheet_test::Child<QTreeWidget>(dialog, "errorList");
            ASSERT_EQ(list->topLevelItemCount(), 1);
            for (int column = 0; column < 4; ++column)
                row.texts << list->topLevelItem(0)->text(column);
            row.codeTip = list->topLevelItem(0)->toolTip(1);
            dialog->accept();
        });
        frame->RunCommand(cmd::Errors);
        return row;
    }

    static void RefreshStatusPane() {
        if (CSite* shown = g_pQuarnView->ShownSite())
            g_pQuarnView->OnViewMessage(WM_SITE_CHANGED, shown);
    }
    // The status pane's elapsed figure, as seconds, once the pane has refreshed.
    static int ShownElapsedSeconds() {
        RefreshStatusPane();
        const QStringList parts = g_pQuarnView->findChild<QLabel*>(QStringLiteral("elapsed"))
                                      ->text()
                                      .split(QLatin1Char(':'));
        return parts.size() == 3
                   ? parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt()
                   : -1;
    }
    static QString ShownState() {
        RefreshStatusPane();
        return g_pQuarnView->findChild<CLabelCtrl*>(QStringLiteral("state"))->text();
    }

    SteppedClock clock;
    SettingsScope scope;
    TempDir sitesDir;
    SiteServer server;
    CQuarnApp app;
    CMainFrame* frame = nullptr;
    QStringList questions;
    bool exitWhileRunning = false;
    CProjectDocument::Answer saveAnswer = CProjectDocument::Answer::No;
};

TEST(MainFramePlacement, AFirstWindowTakesAShareOfTheScreenAndItsPanesCanBeSized) {
    SettingsScope scope;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    CQuarnApp app;
    ASSERT_TRUE(app.InitInstance({QStringLiteral("-Embedding")}));
    CMainFrame* frame = app.MainFrame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    const QRect window = frame->geometry();
    EXPECT_NEAR(window.width(), available.width() * 8 / 10, 2);
    EXPECT_NEAR(window.height(), available.height() * 8 / 10, 2);
    EXPECT_NEAR(window.center().x(), available.center().x(), 2);
    EXPECT_NEAR(window.center().y(), available.center().y(), 2);

    // The bar between the left panes and the browser follows a drag at once.
    ASSERT_NE(g_pMainSplitter, nullptr);
    QSplitterHandle* bar = g_pMainSplitter->handle(1);
    ASSERT_NE(bar, nullptr);
    const int before = g_pMainSplitter->sizes().value(0);
    const QPoint grip = bar->rect().center();
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(60, 0)),
                     QPointF(bar->mapToGlobal(grip + QPoint(60, 0))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grip + QPoint(60, 0));
    EXPECT_EQ(g_pMainSplitter->sizes().value(0), before + 60);
}

TEST(MainFramePlacement, AStoredSizeBeyondTheScreenFallsBackToTheShare) {
    SettingsScope scope;
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QSettings settings(QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
    settings.setValue(QStringLiteral("Window/Width"), screen.width() + 1);
    settings.setValue(QStringLiteral("Window/Height"), screen.height());
    settings.sync();
    CQuarnApp app;
    ASSERT_TRUE(app.InitInstance({QStringLiteral("-Embedding")}));
    EXPECT_EQ(app.MainFrame()->width(), available.width() * 8 / 10);
    EXPECT_EQ(app.MainFrame()->height(), qMin(screen.height(), app.MainFrame()->maximumHeight()));
}

TEST_F(MainFrameTest, ClosingWhileIdleAsksNothingAndRemembersThePlacement) {
    frame->resize(900, 700);
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(questions.isEmpty());
    QSettings settings(QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
    EXPECT_EQ(settings.value(QStringLiteral("Window/Width")).toInt(), 900);
    EXPECT_EQ(settings.value(QStringLiteral("Window/Height")).toInt(), 700);
    EXPECT_EQ(settings.value(QStringLiteral("Window/Maximized")).toInt(), 0);
    EXPECT_TRUE(settings.contains(QStringLiteral("Window/VSplitter")));
}

TEST_F(MainFrameTest, ClosingWhileRunningOrPausedAsksAfterTheSaveQuestion) {
    QuarnHeldSite();
    ASSERT_TRUE(WaitForControllerState(kControllerRunning));
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pStatusText->text() == QStringLiteral("Quarning"); }));

    // Cancel at the save question asks nothing more and leaves the crawl running.
    saveAnswer = CProjectDocument::Answer::Cancel;
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(questions, QStringList{QStringLiteral("save")});

    saveAnswer = CProjectDocument::Answer::No;
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(questions.mid(1), (QStringList{QStringLiteral("save"), QStringLiteral("running")}));
    EXPECT_EQ(g_pController->GetState(), kControllerRunning);

    frame->RunCommand(cmd::Pause);
    ASSERT_TRUE(WaitForControllerState(kControllerPaused));
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pStatusText->text() == QStringLiteral("Paused"); }));
    questions.clear();
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(questions.contains(QStringLiteral("running")));

    exitWhileRunning = true;
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(g_pController->HasExited()); // shut down within the time limit
}

TEST_F(MainFrameTest, TheProjectStaysOpenWhileItsSitesAreBeingQuarned) {
    CSite& site = QuarnHeldSite();
    ASSERT_TRUE(WaitForControllerState(kControllerRunning));

    QStringList errors;
    app.Document().showError = [&](const QString& text) { errors.push_back(text); };
    frame->RunCommand(cmd::FileNew);
    EXPECT_EQ(errors.size(), 1);
    EXPECT_TRUE(questions.isEmpty()); // refused before anything was asked
    EXPECT_TRUE(IsSiteInProject(&site));

    frame->RunCommand(cmd::Stop);
    ASSERT_TRUE(WaitForControllerState(kControllerIdle));
    server.OpenAll();
    EXPECT_TRUE(app.Document().New());
    EXPECT_TRUE(app.Document().Project().GetGroups().size() == 1u); // the new project's "Sites"
}

TEST_F(MainFrameTest, ExitTakesTheSamePathAsClosingTheWindow) {
    app.Document().Project().AddGroup(std::make_unique<CSiteGroup>("Unsaved"));
    frame->show();
    saveAnswer = CProjectDocument::Answer::Cancel;
    frame->RunCommand(cmd::AppExit);
    EXPECT_EQ(questions, QStringList{QStringLiteral("save")});
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(app.Document().Project().GetGroups().size(), 2u);

    saveAnswer = CProjectDocument::Answer::No;
    frame->RunCommand(cmd::AppExit);
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(MainFrameTest, EachCommandAnswersToItsOwnersRule) {
    for (int id : {cmd::EditCut, cmd::EditCopy, cmd::EditPaste})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_FALSE(Enabled(cmd::Pause)); // idle
    EXPECT_TRUE(Enabled(cmd::GroupNew));
    EXPECT_TRUE(Enabled(cmd::BrowserBack)); // the browser's, whichever pane has the focus
    EXPECT_TRUE(frame->QueryCommand(cmd::ViewStatusBar).checked);

    Select(FirstGroup()); // "Sites", made for the new project
    EXPECT_FALSE(Enabled(cmd::SiteEdit));
    EXPECT_TRUE(Enabled(cmd::GroupRename));
    CSite& site = AddSite("One", "http://127.0.0.1:9/");
    Select(site);
    EXPECT_TRUE(Enabled(cmd::SiteEdit));
    EXPECT_TRUE(Enabled(cmd::Quarn));
    frame->UpdateActions();
    EXPECT_TRUE(frame->Action(cmd::ViewQuarned)->isEnabled());

    // The first recent-file entry is enabled only once there is a recent file.
    EXPECT_FALSE(Enabled(cmd::FileMru1));
    app.Document().RecentFiles().Add(QStringLiteral("/tmp/some.xml"));
    EXPECT_TRUE(Enabled(cmd::FileMru1));
}

// The letter after "&" in a menu text, lower-cased; none for a text without one.
QChar AccessKey(const QString& text) {
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    return amp >= 0 && amp + 1 < text.size() ? text[amp + 1].toLower() : QChar();
}

// Whether an entry is numbered by the recent-file list, or stands in for an empty one.
bool IsRecentFileEntry(const QString& text) {
    return text == QStringLiteral("Recent File") ||
           (text.size() > 1 && text[0] == QLatin1Char('&') && text[1].isDigit());
}

// Every menu, submenu and item of the built menu bar can be reached from the keyboard, and
// no two entries of one menu share their letter (the second could never be reached).
TEST_F(MainFrameTest, EveryMenuAndItemHasAnAccessKeyOfItsOwnWithinItsMenu) {
    const auto checkMenu = [](const QString& where, const QList<QAction*>& actions) {
        QList<QChar> keys;
        for (QAction* action : actions) {
            if (action->isSeparator() || !action->isVisible() || action->text().isEmpty() ||
                IsRecentFileEntry(action->text()))
                continue;
            const QString entry = where + QStringLiteral(": ") + action->text();
            const QChar key = AccessKey(action->text());
            EXPECT_FALSE(key.isNull()) << entry.toStdString();
            EXPECT_FALSE(keys.contains(key)) << entry.toStdString();
            keys.append(key);
        }
    };
    const QList<QAction*> bar = frame->menuBar()->actions();
    checkMenu(QStringLiteral("menu bar"), bar);
    for (QAction* title : bar) {
        QMenu* menu = title->menu();
        ASSERT_NE(menu, nullptr);
        checkMenu(title->text(), menu->actions());
        for (QAction* item : menu->actions())
            if (item->menu() != nullptr)
                checkMenu(item->text(), item->menu()->actions());
    }
}

TEST_F(MainFrameTest, TheStatusBarStartsReadyAndALongTextSqueezesOnlyItsOwnPane) {
    frame->resize(800, 600);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    EXPECT_EQ(g_pStatusText->text(), QStringLiteral("Ready"));

    const QStringList fixedPanes = {QStringLiteral("statusCaptionLabel"), QStringLiteral("controllerState"),
                                    QStringLiteral("sitesCaptionLabel"), QStringLiteral("sitesProgress"),
                                    QStringLiteral("filesCaptionLabel"), QStringLiteral("filesProgress")};
    const auto widths = [&] {
        QList<int> list;
        for (const QString& name : fixedPanes) {
            auto* pane = frame->findChild<QWidget*>(name);
            list << (pane ? pane->width() : -1);
        }
        return list;
    };
    const QList<int> before = widths();
    // Every caption, and the longest state word, fits its pane.
    for (const QString& name : {QStringLiteral("statusCaptionLabel"), QStringLiteral("sitesCaptionLabel"),
                                QStringLiteral("filesCaptionLabel")}) {
        auto* label = frame->findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name.toStdString();
        EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(label->text()))
            << name.toStdString();
    }
    EXPECT_GE(g_pStatusText->contentsRect().width(),
              g_pStatusText->fontMetrics().horizontalAdvance(QStringLiteral("Quarning")));

    frame->SetStatusBarText(QStringLiteral("Could not reach ") + QString(300, QLatin1Char('x')));
    auto* statusPane = frame->findChild<QLabel*>(QStringLiteral("statusPane"));
    ASSERT_NE(statusPane, nullptr);
    QTest::qWait(50); // the status bar lays itself out again on the next turn
    EXPECT_EQ(widths(), before);
    EXPECT_LE(frame->width(), 800);
    EXPECT_GT(statusPane->width(), 0);
}

TEST_F(MainFrameTest, AStatusMessageTooLongForItsPaneKeepsItsEndInViewAndWholeInTheTooltip) {
    frame->resize(800, 600);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    auto* statusPane = frame->findChild<QLabel*>(QStringLiteral("statusPane"));
    ASSERT_NE(statusPane, nullptr);
    const auto fits = [&] {
        return statusPane->fontMetrics().horizontalAdvance(statusPane->text()) <=
               statusPane->contentsRect().width();
    };

    const QString longText = QStringLiteral("Cannot write to /home/someone/") +
                             QString(120, QLatin1Char('d')) +
                             QStringLiteral("/Example: Not a directory");
    frame->SetStatusBarText(longText);
    QTest::qWait(50); // the status bar lays itself out again on the next turn
    EXPECT_TRUE(fits()) << statusPane->text().toStdString();
    EXPECT_TRUE(statusPane->text().startsWith(QStringLiteral("Cannot write to")));
    EXPECT_TRUE(statusPane->text().endsWith(QStringLiteral(": Not a directory")));
    EXPECT_EQ(statusPane->toolTip(), longText);
    EXPECT_EQ(frame->StatusBarText(), longText);

    // A wider window shows more of it; a text that fits shows whole, with no tooltip.
    const int shownBefore = statusPane->text().size();
    frame->resize(1200, 600);
    QTest::qWait(50);
    EXPECT_GT(statusPane->text().size(), shownBefore);
    EXPECT_TRUE(fits());
    frame->SetStatusBarText(QStringLiteral("Not a directory"));
    EXPECT_EQ(statusPane->text(), QStringLiteral("Not a directory"));
    EXPECT_TRUE(statusPane->toolTip().isEmpty());
}

TEST_F(MainFrameTest, TheDeleteKeyDeletesTheSelectedSitesOnlyFromTheSitesTree) {
    CSite& kept = AddSite("Kept", "http://127.0.0.1:9/");
    CSite& gone = AddSite("Gone", "http://127.0.0.1:9/");
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    EXPECT_TRUE(frame->Action(cmd::SiteDelete)->shortcut().matches(QKeySequence(Qt::Key_Delete)));

    // In the browser's address box the key edits the text.
    Select(gone);
    auto* address = g_pBrowserView->findChild<QComboBox*>(QStringLiteral("address"));
    ASSERT_NE(address, nullptr);
    address->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return address->hasFocus(); }));
    address->setEditText(QStringLiteral("ab"));
    address->lineEdit()->setCursorPosition(0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_EQ(address->currentText(), QStringLiteral("b"));
    EXPECT_TRUE(IsSiteInProject(&gone));

    int asked = 0;
    g_pSitesView->askDelete = [&](const QString&, bool) {
        ++asked;
        return CSitesView::DeleteChoice::KeepFiles;
    };
    CTreeCtrlEx* tree = g_pSitesView->Tree();
    tree->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree->hasFocus(); }));
    Select(gone);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(IsSiteInProject(&gone));
    EXPECT_TRUE(IsSiteInProject(&kept));
    // The key of the number pad's Delete works the same.
    Select(kept);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete, Qt::KeypadModifier);
    EXPECT_FALSE(IsSiteInProject(&kept));
}

TEST_F(MainFrameTest, HidingTheToolbarGivesItsHeightToTheSitesTreeOnly) {
    frame->resize(1000, 800);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    QToolBar* toolbar = frame->findChild<QToolBar*>(QStringLiteral("toolbar"));
    ASSERT_NE(toolbar, nullptr);
    const int toolbarHeight = toolbar->height();
    const int sites = g_pSitesView->height();
    const int status = g_pQuarnView->height();
    EXPECT_GT(status, 250); // the status pane keeps about 303 pixels

    frame->RunCommand(cmd::ViewToolbar);
    ASSERT_TRUE(QTest::qWaitFor([&] { return g_pSitesView->height() != sites; }));
    EXPECT_FALSE(toolbar->isVisible());
    EXPECT_EQ(g_pSitesView->height(), sites + toolbarHeight);
    EXPECT_EQ(g_pQuarnView->height(), status);
    EXPECT_FALSE(frame->QueryCommand(cmd::ViewToolbar).checked);
}

TEST_F(MainFrameTest, ADroppedAddressIsQuarnedAndItsStoredCopyOpensInTheBrowserPane) {
    server.AddHtml("/index.htm", "<html><a href=\"page.htm\">next</a></html>");
    server.AddHtml("/page.htm", "<html>second page</html>");
    server.Start();

    // Plain text dropped on the group makes a site of it.
    CTreeCtrlEx* tree = g_pSitesView->Tree();
    frame->resize(1000, 800);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    const QPoint onGroup = tree->visualItemRect(g_pSitesView->FindItem(&FirstGroup())).center();
    QMimeData text;
    text.setText(QString::fromStdString(server.Url("/index.htm")));
    QDragEnterEvent enter(onGroup, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(onGroup, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    QDropEvent drop(onGroup, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &drop);
    ASSERT_EQ(FirstGroup().m_sites.size(), 1u);
    CSite& site = *FirstGroup().m_sites.front();
    // Named after the host alone, as the site sheet names the same address.
    EXPECT_EQ(site.m_name, "127001");

    Select(site);
    frame->RunCommand(cmd::Quarn);
    ASSERT_TRUE(QTest::qWaitFor([&] { return site.m_state == kSiteDone; }, 20000));
    ASSERT_TRUE(WaitForControllerState(kControllerIdle));
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pStatusText->text() == QStringLiteral("Ready"); }));
    EXPECT_EQ(site.m_filesTotal.load(), 2);

    const std::string stored = site.GetLocalPath(CUrl(nullptr, server.Url("/index.htm"), kLinkFollowed));
    ASSERT_TRUE(std::filesystem::exists(stored)) << stored;

    // View Quarned opens the stored page; once loaded, the address box shows where it is.
    Select(site);
    frame->RunCommand(cmd::ViewQuarned);
    QWebEngineView* browser = g_pBrowserView->Browser();
    ASSERT_NE(browser, nullptr);
    // On the copy's own origin, where the page's scripts may load its files.
    const QUrl storedUrl(CopyOriginAddress(site.GetSiteFolder(), stored));
    ASSERT_EQ(storedUrl.host(), QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(storedUrl.path().endsWith(QStringLiteral("/127.0.0.1/index.htm")));
    auto* address = g_pBrowserView->findChild<QComboBox*>(QStringLiteral("address"));
    ASSERT_NE(address, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return browser->url() == storedUrl; }, 60000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return address->currentText() == storedUrl.toString(); }, 60000))
        << address->currentText().toStdString();
}

TEST_F(MainFrameTest, AReopenedProjectShowsHowItsSitesLastEndedInTheTreeAndTheStatusPane) {
    server.AddHtml("/index.htm", "<html><a href=\"page.htm\">next</a></html>");
    server.AddHtml("/page.htm", "<html>second page</html>");
    server.Start();
    frame->resize(1000, 800);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    CSite& crawled = AddSite("Crawled", server.Url("/index.htm"));
    AddSite("Untouched", server.Url("/index.htm"));
    Select(crawled);
    frame->RunCommand(cmd::Quarn);
    ASSERT_TRUE(QTest::qWaitFor([&] { return crawled.m_state == kSiteDone; }, 20000));
    ASSERT_TRUE(WaitForControllerState(kControllerIdle));
    const std::int64_t finished = crawled.m_endTime;

    TempDir folder;
    const QString path = QString::fromStdString((folder.path() / "project.xml").string());
    app.Document().askSavePath = [&](const QString&) { return path; };
    ASSERT_TRUE(app.Document().SaveAs());
    ASSERT_TRUE(app.Document().New());
    ASSERT_TRUE(app.Document().Open(path));

    std::map<std::string, CSite*> sites;
    for (const auto& site : FirstGroup().m_sites)
        sites[site->m_name] = site.get();
    ASSERT_TRUE(sites.contains("Crawled") && sites.contains("Untouched"));
    const auto icon = [](const CSite* site) {
        QTreeWidgetItem* item = g_pSitesView->FindItem(site);
        return item ? item->icon(0).pixmap(16, 16).toImage() : QImage();
    };
    EXPECT_EQ(icon(sites["Crawled"]), g_imageList[kImageSiteDone].toImage());
    EXPECT_EQ(icon(sites["Untouched"]), g_imageList[kImageSiteNew].toImage());

    const auto shown = [](const char* name) {
        const auto* label = g_pQuarnView->findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QString();
    };
    // What the open posted to the views (the old sites going, the new tree) is handled
    // first, or it could take the shown site away again.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    g_pQuarnView->OnViewMessage(WM_SHOW_SITE, sites["Crawled"]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown("name") == QStringLiteral("Crawled"); }));
    EXPECT_EQ(shown("state"), QStringLiteral("Done"));
    EXPECT_EQ(shown("complete"), QStringLiteral("2"));
    EXPECT_EQ(shown("finishTime"), ClockText(finished));
    EXPECT_FALSE(shown("startTime").isEmpty());
}

TEST_F(MainFrameTest, ASiteMadeInTheSheetIsQuarnedAndItsErrorsAndLogShowTheCrawl) {
    server.AddHtml("/index.htm", "<html><a href=\"page.htm\">next</a>"
                                 "<a href=\"missing.htm\">gone</a></html>");
    server.AddHtml("/page.htm", "<html>second page</html>");
    server.Start();
    const std::string start = server.Url("/index.htm");

    Select(FirstGroup());
    bool sheetSeen = false;
    {
        ModalWatcher<CSiteDialog> sheetWatcher([&](CSiteDialog* sheet) {
            sheetSeen = true;
            ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
            // Typed without the scheme: the sheet puts it in front.
            sheet_test::Retype(sheet_test::Child<QLineEdit>(sheet, "addressEdit"),
                               QString::fromStdString(start.substr(std::string("http://").size())));
            sheet_test::ClickTab(sheet, 3);
            sheet_test::Retype(sheet_test::Child<CSpinEdit>(sheet, "retriesEdit"), QStringLiteral("0"));
            sheet_test::Click(sheet, "okButton");
        });
        frame->RunCommand(cmd::SiteNew);
    }
    ASSERT_TRUE(sheetSeen);
    ASSERT_EQ(FirstGroup().m_sites.size(), 1u);
    CSite& site = *FirstGroup().m_sites.front();
    EXPECT_EQ(site.m_url, start);
    EXPECT_EQ(site.m_name, "127001");
    EXPECT_FALSE(site.m_new);
    EXPECT_TRUE(site.m_useServers);
    EXPECT_EQ(site.m_servers, "127.0.0.1=1");
    EXPECT_EQ(site.m_retries, 0);
    EXPECT_TRUE(app.Document().Project().IsModified());

    Select(site);
    frame->RunCommand(cmd::Quarn);
    ASSERT_TRUE(QTest::qWaitFor([&] { return site.m_state == kSiteDone; }, 20000));
    ASSERT_TRUE(WaitForControllerState(kControllerIdle));
    EXPECT_EQ(site.m_errorsTotal.load(), 1);
    for (const char* path : {"/index.htm", "/page.htm"})
        EXPECT_TRUE(std::filesystem::exists(
            site.GetLocalPath(CUrl(nullptr, server.Url(path), kLinkFollowed))))
            << path;

    const QStringList errorRow = OnlyErrorRow().texts;
    ASSERT_EQ(errorRow.size(), 4);
    EXPECT_EQ(errorRow[1], QStringLiteral("404"));
    EXPECT_EQ(errorRow[3], QString::fromStdString(server.Url("/missing.htm")));

    QString log;
    {
        ModalWatcher<CLogDialog> logWatcher([&](CLogDialog* dialog) {
            log = sheet_test::Child<QPlainTextEdit>(dialog, "logText")->toPlainText();
            dialog->accept();
        });
        frame->RunCommand(cmd::Log);
    }
    const QStringList lines = log.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 3) << log.toStdString();
    EXPECT_TRUE(lines.front().endsWith(QStringLiteral("   Started")));
    EXPECT_TRUE(lines.back().endsWith(QStringLiteral("   Finished")));
    EXPECT_EQ(lines.filter(QStringLiteral(
                                "   Files: 2 new, 0 changed, 0 unchanged, 1 failed, 0 skipped by rules"))
                  .size(),
              1)
        << log.toStdString();
    EXPECT_EQ(lines.filter(QStringLiteral("   Local links whose file is missing: 1 (failed 1)")).size(),
              1)
        << log.toStdString();
}

TEST_F(MainFrameTest, ACrawlThatReachesNothingEndsFailedWithItsReasonInTheStatusBarAndTree) {
    int deadPort = 0;
    {
        TestServer gone;
        gone.Start();
        deadPort = gone.port();
    } // nothing listens there now
    const std::string where = "127.0.0.1:" + std::to_string(deadPort);
    CSite& site = AddSite("Unreached", "http://" + where + "/index.htm");
    site.m_retries = 1;
    site.m_obeyRobots = true; // robots.txt is asked first, and fails the same way
    Select(site);
    frame->RunCommand(cmd::Quarn);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return site.m_state != kSiteReady && !CSitesView::IsBusy(site); }, 20000));
    ASSERT_TRUE(WaitForControllerState(kControllerIdle));
    ASSERT_TRUE(QTest::qWaitFor([] { return !g_pSitesView->IsBlinking(); }));

    EXPECT_EQ(site.m_state.load(), kSiteFailed);
    const QString failure =
        QStringLiteral("Failed: Cannot connect to %1").arg(QString::fromStdString(where));
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame->StatusBarText() == failure; }))
        << frame->StatusBarText().toStdString();
    EXPECT_EQ(CSitesView::ImageIndex(site), 13); // the error image
    EXPECT_EQ(ShownState(), QStringLiteral("Failed"));
    EXPECT_EQ(site.m_filesTotal.load(), 0);
    EXPECT_FALSE(std::filesystem::exists(sitesDir.path() / "Unreached" / "127.0.0.1"));

    // The Errors list gives the reason as its text; the internal code is only a tip.
    const auto [texts, codeTip] = OnlyErrorRow();
    ASSERT_EQ(texts.size(), 4);
    EXPECT_EQ(texts[1], QString());
    EXPECT_EQ(codeTip, QStringLiteral("-7"));
    EXPECT_EQ(texts[2], QStringLiteral("Could not connect to the server"));
}

TEST_F(MainFrameTest, PauseStaysPressedStopsTheElapsedTimeAndQuarnResumes) {
    CSite& site = QuarnHeldSite();
    ASSERT_TRUE(WaitForControllerState(kControllerRunning));
    // Waited for here, not in the server: the crawl waits for this thread's status bar.
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.Count("GET /index.htm") == 1; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return g_pQuarnView->ShownSite() == &site; }));
    frame->UpdateActions();
    QAction* pause = frame->Action(cmd::Pause);
    QAction* quarn = frame->Action(cmd::Quarn);
    EXPECT_FALSE(pause->isChecked());
    EXPECT_FALSE(quarn->isEnabled()); // the selected site is busy

    frame->RunCommand(cmd::Pause);
    ASSERT_TRUE(WaitForControllerState(kControllerPaused));
    frame->UpdateActions();
    EXPECT_TRUE(pause->isCheckable());
    EXPECT_TRUE(pause->isChecked());
    EXPECT_TRUE(quarn->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return CSitesView::ImageIndex(site) == 12; })); // paused
    EXPECT_EQ(ShownState(), QStringLiteral("Paused"));

    // An hour passes while paused: the figure does not move.
    const int paused = ShownElapsedSeconds();
    clock.Advance(3600);
    EXPECT_LE(ShownElapsedSeconds(), paused + 2);

    frame->RunCommand(cmd::Quarn);
    ASSERT_TRUE(WaitForControllerState(kControllerRunning));
    frame->UpdateActions();
    EXPECT_FALSE(pause->isChecked());
    clock.Advance(60);
    EXPECT_GE(ShownElapsedSeconds(), paused + 60);

    server.Open("/index.htm");
    ASSERT_TRUE(QTest::qWaitFor([&] { return site.m_state == kSiteDone; }, 20000));
    ASSERT_TRUE(WaitForControllerState(kControllerIdle));
    EXPECT_TRUE(std::filesystem::exists(
        site.GetLocalPath(CUrl(nullptr, server.Url("/index.htm"), kLinkFollowed))));
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pQuarnView->ShownSite() == nullptr; }));
    EXPECT_LT(ShownElapsedSeconds(), 3600); // the finished crawl's time leaves the pause out
}

} // namespace

TEST_F(MainFrameTest, ALoginInTheBrowserPaneGoesToTheCrawlOnlyWhenTheSiteAsksForIt) {
    LoginServer login;
    login.Start();
    // Not logged in: the site sends the pane to its form, which the user fills in there.
    ASSERT_TRUE(LogInThroughPane(login));
    ASSERT_EQ(login.PagesServed(), 1) << "the pane is logged in";

    CSite& asks = AddSite("Asks", login.Url("/"));
    asks.m_useBrowserCookies = true;
    CSite& declines = AddSite("Declines", login.Url("/"));
    declines.SetStartCookies("127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\tstale\n");
    // The cookie store tells of a new cookie on its own time.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !g_pBrowserView->CookieLinesFor(asks).empty(); }, 30000));

    Select(asks);
    frame->RunCommand(cmd::Quarn);
    EXPECT_TRUE(asks.StartCookies().starts_with("#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\t"))
        << asks.StartCookies();
    ASSERT_TRUE(QTest::qWaitFor([&] { return asks.m_state == kSiteDone; }, 30000));
    // Every page behind the login is stored, and the crawl never logged the pane out.
    const std::filesystem::path stored = sitesDir.path() / "Asks" / "127.0.0.1";
    for (int page = 1; page <= login.Pages(); ++page)
        EXPECT_TRUE(std::filesystem::exists(stored / "pages" / (std::to_string(page) + ".html")))
            << page;
    EXPECT_EQ(asks.m_filesTotal.load(), login.Pages() + 1);
    EXPECT_EQ(login.Requests("/logout"), 0);
    EXPECT_EQ(login.Requests("/account/bye"), 0);

    const int servedBefore = login.PagesServed();
    Select(declines);
    frame->RunCommand(cmd::Quarn);
    EXPECT_EQ(declines.StartCookies(), "") << "a stale login is never sent";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !CSitesView::IsBusy(declines) &&
                                               declines.m_state != kSiteReady; }, 30000));
    EXPECT_EQ(login.PagesServed(), servedBefore) << "without the setting the crawl is not logged in";
    ASSERT_TRUE(WaitForControllerState(kControllerIdle));
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pStatusText->text() == QStringLiteral("Ready"); }));

    // The pane's profile lasts for the whole run: later tests start logged out.
    BrowserPaneProfile()->cookieStore()->deleteAllCookies();
}

TEST_F(MainFrameTest, AnExpiredLoginPausesTheCrawlUntilThePaneLogsInAgain) {
    sheet_test::MessageCatcher messages;
    LoginServer login;
    login.ExpireAfter(6);
    login.Start();
    ASSERT_TRUE(LogInThroughPane(login));
    CSite& site = AddSite("Members", login.Url("/"));
    site.m_useBrowserCookies = true;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !g_pBrowserView->CookieLinesFor(site).empty(); }, 30000));
    const std::string firstLogin = g_pBrowserView->CookieLinesFor(site);

    Select(site);
    frame->RunCommand(cmd::Quarn);
    ASSERT_TRUE(WaitForControllerState(kControllerPaused));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.Messages().isEmpty(); }));
    EXPECT_EQ(messages.Messages(),
              QStringList{QStringLiteral("message: ") +
                          QString::fromStdString(CLoginGuard::ExpiredText("127.0.0.1"))});
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame->Action(cmd::Pause)->isChecked(); }));

    // The user logs in again in the pane and resumes: the crawl goes on with the new login.
    login.ExpireAfter(0);
    ASSERT_TRUE(LogInThroughPane(login));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return g_pBrowserView->CookieLinesFor(site) != firstLogin; }, 30000));
    frame->RunCommand(cmd::Quarn);
    ASSERT_TRUE(QTest::qWaitFor([&] { return site.m_state == kSiteDone; }, 30000)) << site.GetLog();
    const std::filesystem::path stored = sitesDir.path() / "Members" / "127.0.0.1";
    for (int page = 1; page <= login.Pages(); ++page)
        EXPECT_TRUE(std::filesystem::exists(stored / "pages" / (std::to_string(page) + ".html")))
            << page;
    EXPECT_EQ(messages.Messages().size(), 1);
    EXPECT_EQ(login.Requests("/logout") + login.Requests("/account/bye"), 0);
    ASSERT_TRUE(WaitForControllerState(kControllerIdle));
    BrowserPaneProfile()->cookieStore()->deleteAllCookies();
}

TEST_F(MainFrameTest, AStoredCopysScriptsLoadItsFilesInThePane) {
    // What file:// refuses: a module script, fetch() of the copy's JSON, a worker.
    const std::filesystem::path folder = sitesDir.path() / "Scripted" / "127.0.0.1";
    std::filesystem::create_directories(folder);
    const auto write = [&](const char* name, const char* text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    };
    write("index.htm", "<html><body><p id=\"data\">none</p><p id=\"worker\">none</p>"
                       "<script type=\"module\" src=\"app.mjs\"></script></body></html>");
    write("app.mjs", "const answer = await fetch('data.json');"
                     "document.getElementById('data').textContent = (await answer.json()).word;"
                     "const worker = new Worker('worker.js');"
                     "worker.onmessage = (e) => {"
                     "  document.getElementById('worker').textContent = e.data; };");
    write("data.json", "{\"word\": \"fetched\"}");
    write("worker.js", "postMessage('from a worker');");
    CSite& site = AddSite("Scripted", "http://127.0.0.1:9/index.htm");

    Select(site);
    frame->RunCommand(cmd::ViewQuarned);
    QWebEngineView* browser = g_pBrowserView->Browser();
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return browser->url().host() == QStringLiteral("127.0.0.1"); }, 30000));
    QString shown;
    const auto read = [&] {
        browser->page()->runJavaScript(
            QStringLiteral("document.getElementById('data').textContent + '|' + "
                           "document.getElementById('worker').textContent"),
            [&](const QVariant& value) { shown = value.toString(); });
        return shown == QStringLiteral("fetched|from a worker");
    };
    EXPECT_TRUE(QTest::qWaitFor(read, 30000)) << shown.toStdString();
    // Nothing outside the site's folder is reachable from its origin.
    std::ofstream(sitesDir.path() / "secret.txt") << "outside";
    // runJavaScript gives no promise's value; the page's title carries the answer instead.
    browser->page()->runJavaScript(
        QStringLiteral("fetch('../../secret.txt').then(r => r.ok ? r.text() : 'refused')"
                       ".catch(() => 'refused').then(t => document.title = t)"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return browser->title() == QStringLiteral("refused"); }, 30000))
        << browser->title().toStdString();
}
