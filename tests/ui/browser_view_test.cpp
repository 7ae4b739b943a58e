// The browser pane: its hand-made layout, the address box and Go button, its commands, and
// one real web view loading pages from a local server.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "support/site_server.h"
#include "support/temp_dir.h"
#include "ui/app_globals.h"
#include "ui/browser_view.h"
#include "ui/controls/frame_animation.h"

namespace {
constexpr int kWaitMs = 5000;
constexpr int kLoadWaitMs = 30000;

BrowserLayoutInput Input(int cx, int cy) {
    BrowserLayoutInput input;
    input.client = QSize(cx, cy);
    input.toolbar = QSize(250, 38);
    input.animation = QSize(32, 32);
    input.addressLabel = QSize(50, 14);
    input.addressBox = QSize(120, 22);
    input.navigateButton = QSize(40, 23);
    return input;
}

// Windows-style edges: the first pixel right of and below the rectangle.
int RightEdge(const QRect& r) {
    return r.x() + r.width();
}
int BottomEdge(const QRect& r) {
    return r.y() + r.height();
}
int Middle(const QRect& r) {
    return r.y() + r.height() / 2;
}
} // namespace

TEST(BrowserViewLayout, FramePiecesSitAtTheirFixedPlaces) {
    const BrowserLayout layout = ComputeBrowserLayout(Input(900, 600));
    EXPECT_EQ(layout.caption, QRect(0, 0, 900, 14));
    EXPECT_EQ(layout.toolbar, QRect(4, 14, 250, 38));
    EXPECT_EQ(RightEdge(layout.animation), 900);
    EXPECT_EQ(layout.animation.size(), QSize(32, 32));
    EXPECT_EQ(Middle(layout.animation), Middle(layout.toolbar));
}

TEST(BrowserViewLayout, AddressRowMovesBelowTheToolbarWhenTheGapIs300PixelsOrLess) {
    // Toolbar right edge 254, animation 32 wide: cx 586 leaves a gap of exactly 300.
    const BrowserLayout below = ComputeBrowserLayout(Input(586, 600));
    ASSERT_TRUE(below.addressRowBelow);
    EXPECT_EQ(below.addressLabel.x(), 4);
    EXPECT_EQ(below.addressLabel.height(), 16);
    EXPECT_GE(below.addressLabel.y(), BottomEdge(below.toolbar));
    EXPECT_EQ(RightEdge(below.navigateButton), 586 - 8);
    EXPECT_EQ(below.addressBox.x(), RightEdge(below.addressLabel) + 4);
    EXPECT_EQ(RightEdge(below.addressBox), below.navigateButton.x() - 8);
    EXPECT_EQ(below.browser.y(), BottomEdge(below.toolbar) + 24);
    EXPECT_LE(BottomEdge(below.addressBox), below.browser.y());
    EXPECT_LE(BottomEdge(below.navigateButton), below.browser.y());

    const BrowserLayout beside = ComputeBrowserLayout(Input(587, 600));
    ASSERT_FALSE(beside.addressRowBelow);
    EXPECT_EQ(beside.addressLabel.x(), RightEdge(beside.toolbar));
    EXPECT_EQ(RightEdge(beside.navigateButton), beside.animation.x() - 8);
    EXPECT_EQ(beside.addressBox.x(), RightEdge(beside.addressLabel) + 4);
    EXPECT_EQ(RightEdge(beside.addressBox), beside.navigateButton.x() - 8);
    for (const QRect& piece : {beside.addressLabel, beside.addressBox, beside.navigateButton})
        EXPECT_EQ(Middle(piece), Middle(beside.toolbar));
    EXPECT_EQ(beside.browser.y(), BottomEdge(beside.toolbar));
}

TEST(BrowserViewLayout, BrowserHidesItsBordersAndReachesTheBottomWithoutTheStatusLine) {
    BrowserLayoutInput input = Input(800, 500);
    const BrowserLayout withStatus = ComputeBrowserLayout(input);
    EXPECT_EQ(withStatus.browser.x(), -2);
    EXPECT_EQ(RightEdge(withStatus.browser), 802);
    EXPECT_EQ(BottomEdge(withStatus.browser), 500 - 16);
    EXPECT_EQ(withStatus.status, QRect(4, 500 - 15, 800 - 4, 15));

    input.statusVisible = false;
    const BrowserLayout without = ComputeBrowserLayout(input);
    EXPECT_EQ(BottomEdge(without.browser), 502);
    EXPECT_TRUE(without.status.isEmpty());
}

namespace {
// A pane without a web view: loads are seen through navigationRequested.
class BrowserView : public ::testing::Test {
protected:
    void SetUp() override {
        m_previousInstallDir = g_strInstallDir;
        g_strInstallDir = QString::fromStdString(m_installDir.path().string());
        view.resize(900, 500);
        view.show();
        view.OnInitialUpdate();
        loads.clear(); // the help page
    }
    void TearDown() override { g_strInstallDir = m_previousInstallDir; }

    QComboBox* Address() const { return view.findChild<QComboBox*>(QStringLiteral("address")); }
    QWidget* Browser() const { return view.findChild<QWidget*>(QStringLiteral("browser")); }
    QToolBar* Toolbar() const {
        return view.findChild<QToolBar*>(QStringLiteral("browserToolbar"));
    }
    QString LastLoad() const {
        return loads.isEmpty() ? QString() : loads.last().at(0).toUrl().toString();
    }
    void Type(const QString& text) {
        Address()->lineEdit()->clear();
        QTest::keyClicks(Address()->lineEdit(), text);
    }
    void ClickGo() {
        QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("navigate")), Qt::LeftButton);
    }
    QStringList Entries() const {
        QStringList entries;
        for (int k = 0; k < Address()->count(); ++k)
            entries << Address()->itemText(k);
        return entries;
    }

    CBrowserView view{nullptr, false};
    QSignalSpy loads{&view, &CBrowserView::navigationRequested};

private:
    TempDir m_installDir;
    QString m_previousInstallDir;
};
} // namespace

TEST_F(BrowserView, FirstUpdateAndHomeOpenTheHelpStartPage) {
    CBrowserView fresh(nullptr, false);
    QSignalSpy helpLoads(&fresh, &CBrowserView::navigationRequested);
    fresh.OnInitialUpdate();
    ASSERT_EQ(helpLoads.count(), 1);
    const QUrl url = helpLoads.at(0).at(0).toUrl();
    // From the program's own resources, whatever the install folder (empty here) holds.
    EXPECT_EQ(url.scheme(), QStringLiteral("qrc"));
    EXPECT_TRUE(QFile::exists(QLatin1Char(':') + url.path()));
    EXPECT_EQ(fresh.findChild<QComboBox*>(QStringLiteral("address"))->currentText(),
              url.toString());

    fresh.OnCommand(cmd::BrowserHome);
    ASSERT_EQ(helpLoads.count(), 2);
    EXPECT_EQ(helpLoads.at(1).at(0).toUrl(), url);
}

TEST_F(BrowserView, TheBusyAnimationStaysHiddenWhileNoPageLoads) {
    // The help page was asked for, but a pane without a web view never starts a load.
    auto* animation = view.findChild<CFrameAnimation*>(QStringLiteral("busyAnimation"));
    ASSERT_NE(animation, nullptr);
    EXPECT_TRUE(view.isVisible());
    EXPECT_FALSE(animation->isVisible());
    EXPECT_FALSE(animation->IsRunning());
}

TEST_F(BrowserView, NarrowingThePaneTo300PixelsOfGapMovesTheAddressRowBelowTheToolbar) {
    const int toolbarWidth = Toolbar()->sizeHint().width();
    view.resize(4 + toolbarWidth + 300 + 32, 500);
    const int toolbarBottom = BottomEdge(Toolbar()->geometry());
    EXPECT_GE(Address()->y(), toolbarBottom);
    EXPECT_EQ(Browser()->y(), toolbarBottom + 24);

    view.resize(4 + toolbarWidth + 301 + 32, 500);
    EXPECT_LT(Address()->y(), toolbarBottom);
    EXPECT_EQ(Browser()->y(), toolbarBottom);
}

TEST_F(BrowserView, HidingTheStatusLineLetsTheBrowserReachTheBottom) {
    auto* status = view.findChild<QLabel*>(QStringLiteral("status"));
    CCommandState state;
    ASSERT_TRUE(view.UpdateCommand(cmd::BrowserStatusBar, state));
    EXPECT_TRUE(state.checked);
    EXPECT_EQ(BottomEdge(Browser()->geometry()), view.height() - 16);
    EXPECT_TRUE(status->isVisible());

    ASSERT_TRUE(view.OnCommand(cmd::BrowserStatusBar));
    EXPECT_FALSE(status->isVisible());
    EXPECT_EQ(BottomEdge(Browser()->geometry()), view.height() + 2);
    view.UpdateCommand(cmd::BrowserStatusBar, state);
    EXPECT_FALSE(state.checked);

    view.OnCommand(cmd::BrowserStatusBar);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(BottomEdge(Browser()->geometry()), view.height() - 16);
    EXPECT_EQ(BottomEdge(status->geometry()), view.height());
}

TEST_F(BrowserView, OwnsTheBrowserCommandsAndPrintAndNothingElse) {
    for (int id : {cmd::BrowserBack, cmd::BrowserForward, cmd::BrowserStop, cmd::BrowserRefresh,
                   cmd::BrowserHome, cmd::FilePrint, cmd::BrowserStatusBar}) {
        CCommandState state{false, false};
        EXPECT_TRUE(view.UpdateCommand(id, state)) << id;
        EXPECT_TRUE(state.enabled) << id;
    }
    CCommandState state;
    EXPECT_FALSE(view.UpdateCommand(cmd::Quarn, state));
    EXPECT_FALSE(view.OnCommand(cmd::SiteDelete));
    EXPECT_FALSE(view.UpdateCommand(cmd::FileSave, state));
}

TEST_F(BrowserView, GoLoadsTheTypedTextEveryTimeAndListsItOnceInOrder) {
    const QString b = QStringLiteral("http://127.0.0.1:9/b.htm");
    Type(b);
    ClickGo();
    ASSERT_EQ(loads.count(), 1);
    EXPECT_EQ(LastLoad(), b);
    EXPECT_EQ(Entries(), QStringList{b});

    ClickGo();
    EXPECT_EQ(loads.count(), 2) << "a listed text is loaded again";
    EXPECT_EQ(Entries(), QStringList{b});

    // Enter in the address box acts as the Go button, and loads once.
    const QString a = QStringLiteral("http://127.0.0.1:9/a.htm");
    Type(a);
    QTest::keyClick(Address()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(loads.count(), 3);
    EXPECT_EQ(LastLoad(), a);
    EXPECT_EQ((Entries()), (QStringList{a, b}));
}

TEST_F(BrowserView, GoTakesALocalPathAsAFile) {
    Type(QStringLiteral("/tmp/quarn-none/index.htm"));
    ClickGo();
    ASSERT_EQ(loads.count(), 1);
    EXPECT_EQ(LastLoad(), QStringLiteral("file:///tmp/quarn-none/index.htm"));
}

TEST_F(BrowserView, SelectingAnEntryInTheListNavigatesAtOnce) {
    for (const char* address : {"http://127.0.0.1:9/one.htm", "http://127.0.0.1:9/two.htm"}) {
        Type(QString::fromLatin1(address));
        ClickGo();
    }
    loads.clear();

    Address()->showPopup();
    QAbstractItemView* list = Address()->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, kWaitMs));
    const QRect entry = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
    ASSERT_EQ(loads.count(), 1);
    EXPECT_EQ(LastLoad(), QStringLiteral("http://127.0.0.1:9/one.htm"));
    EXPECT_EQ(Address()->currentText(), QStringLiteral("http://127.0.0.1:9/one.htm"));
}

// The real web view, against pages served on 127.0.0.1.
TEST(BrowserViewWithWebEngine, TheHelpShowsFromTheProgramWithNoFilesBesideIt) {
    TempDir emptyInstall;
    const QString before = g_strInstallDir;
    g_strInstallDir = QString::fromStdString(emptyInstall.path().string());
    CBrowserView view;
    ASSERT_NE(view.Browser(), nullptr);
    view.resize(800, 600);
    view.show();
    QSignalSpy finished(view.Browser(), &QWebEngineView::loadFinished);
    view.OnInitialUpdate();
    g_strInstallDir = before;
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, kLoadWaitMs));
    EXPECT_TRUE(finished.first().at(0).toBool());
    EXPECT_EQ(view.Browser()->title(), QStringLiteral("Quarn Help"));
    // The style sheet beside the page came from the resources too.
    QVariant background;
    view.Browser()->page()->runJavaScript(
        QStringLiteral("getComputedStyle(document.querySelector('.top')).backgroundColor"),
        [&](const QVariant& value) { background = value; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return background.isValid(); }, kWaitMs));
    EXPECT_EQ(background.toString(), QStringLiteral("rgb(31, 90, 163)"));
}

namespace {
// Waits for the web view's next finished load, then for the box to show url.
::testing::AssertionResult LoadsTo(QSignalSpy& finished, const QComboBox* address,
                                   const QString& url) {
    const qsizetype before = finished.count();
    if (!QTest::qWaitFor([&] { return finished.count() > before; }, kLoadWaitMs))
        return ::testing::AssertionFailure() << "no load finished";
    if (address->currentText() == url)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the box shows \"" << address->currentText().toStdString() << "\"";
}
} // namespace

TEST(BrowserViewWithWebEngine, FinishedLoadsShowTheirAddressEvenAfterALinkInThePage) {
    SiteServer server;
    server.AddHtml("/a.htm", "<html><body><a id=\"next\" href=\"b.htm\">next</a></body></html>");
    server.AddHtml("/b.htm", "<html><body>b</body></html>");
    server.AddHtml("/c.htm", "<html><body>c</body></html>");
    server.Start();

    CBrowserView view;
    ASSERT_NE(view.Browser(), nullptr);
    view.resize(800, 600);
    view.show();
    auto* animation = view.findChild<CFrameAnimation*>(QStringLiteral("busyAnimation"));
    auto* address = view.findChild<QComboBox*>(QStringLiteral("address"));
    ASSERT_GT(animation->FrameCount(), 0);
    bool animatedWhileLoading = false;
    QObject::connect(view.Browser(), &QWebEngineView::loadStarted, &view, [&] {
        animatedWhileLoading = animation->IsRunning() && animation->isVisible();
    });
    QSignalSpy finished(view.Browser(), &QWebEngineView::loadFinished);

    const QString first = QString::fromStdString(server.Url("/a.htm"));
    view.Navigate(first, true);
    address->setEditText(QString()); // the finished load must put it back
    ASSERT_TRUE(LoadsTo(finished, address, first));
    EXPECT_TRUE(finished.last().at(0).toBool());
    EXPECT_GE(server.Count("GET /a.htm"), 1);
    EXPECT_TRUE(animatedWhileLoading);
    EXPECT_FALSE(animation->IsRunning());
    EXPECT_FALSE(animation->isVisible()) << "a loaded page shows no spinner";

    // A navigation the page starts itself still ends with its address in the box.
    view.Browser()->page()->runJavaScript(
        QStringLiteral("document.getElementById('next').click();"));
    const QString second = QString::fromStdString(server.Url("/b.htm"));
    ASSERT_TRUE(LoadsTo(finished, address, second));
    EXPECT_EQ(address->count(), 0) << "a finished load is shown, not listed";

    // Back returns to it. (Chromium's back skips a page that navigated on its own without a
    // user gesture, so go one page further first.)
    const QString third = QString::fromStdString(server.Url("/c.htm"));
    view.Navigate(third, true);
    ASSERT_TRUE(LoadsTo(finished, address, third));
    view.OnCommand(cmd::BrowserBack);
    ASSERT_TRUE(LoadsTo(finished, address, second));
}
