#pragma once
// CBrowserView: the browser pane. A caption, its own navigation toolbar, an address box
// with a Go button, a busy animation, the web view and a one-line status text (the link
// under the pointer). It shows the help at start, the live site or its stored copy when
// the sites tree asks, and whatever the user types or picks.
//
// GUI thread only. The web view is heavy to start, so a pane can be made without one; it
// then lays out a plain placeholder and loads nothing.

#include <QRect>
#include <QSize>
#include <QUrl>
#include <QWidget>
#include <memory>
#include <string>

#include "ui/commands.h"

class CAutoCompleteCombo;
class CFrameAnimation;
class CImageButton;
class CLabelCtrl;
class CSite;
class QLabel;
class QPrinter;
class QToolBar;
class QWebEngineView;

// What the browser pane's layout depends on.
struct BrowserLayoutInput {
    QSize client;
    QSize toolbar;
    QSize animation;
    QSize addressLabel;
    QSize addressBox;
    QSize navigateButton;
    bool statusVisible = true;
};

struct BrowserLayout {
    QRect caption;
    QRect toolbar;
    QRect animation;
    QRect addressLabel;
    QRect addressBox;
    QRect navigateButton;
    QRect browser;
    QRect status; // empty while the status line is hidden
    bool addressRowBelow = false;
};

inline constexpr int kBrowserCaptionHeight = 14;
// At this gap or less between the toolbar and the animation the address row moves below
// the toolbar.
inline constexpr int kAddressRowGap = 300;

BrowserLayout ComputeBrowserLayout(const BrowserLayoutInput& input);

class CBrowserView : public QWidget, public CCommandTarget {
    Q_OBJECT

public:
    static constexpr int kAnimationFrameMs = 25;

    // withBrowser false leaves the web view out (for tests that only need the frame).
    explicit CBrowserView(QWidget* parent = nullptr, bool withBrowser = true);
    ~CBrowserView() override;

    // Puts address into the address box and, if load, opens it (a local path as a file).
    void Navigate(const QString& address, bool load);
    void OnInitialUpdate();
    // The pane takes no engine messages; it has the hook like the other panes.
    void OnViewMessage(unsigned, CSite*) {}

    bool UpdateCommand(int id, CCommandState& state) override;
    bool OnCommand(int id) override;

    QWebEngineView* Browser() const { return m_browser; }
    // The pane's cookies for the site's servers as Netscape lines; empty without a web view.
    std::string CookieLinesFor(const CSite& site) const;
    bool IsStatusLineVisible() const { return m_statusVisible; }

signals:
    // Every load the pane starts, before the web view begins it.
    void navigationRequested(const QUrl& url);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateToolbar();
    void CreateBrowser();
    void LayOut();
    void OnNavigateButton();
    void OnAddressSelected(int index);
    void OnLoadStarted();
    void OnLoadFinished();
    void Print();

    CLabelCtrl* m_caption = nullptr;
    QToolBar* m_toolbar = nullptr;
    QLabel* m_addressLabel = nullptr;
    CAutoCompleteCombo* m_address = nullptr;
    CImageButton* m_navigate = nullptr;
    CFrameAnimation* m_animation = nullptr;
    QWidget* m_browserArea = nullptr; // the web view, or its placeholder
    QWebEngineView* m_browser = nullptr;
    QLabel* m_status = nullptr;
    std::unique_ptr<QPrinter> m_printer; // alive until the web view has printed
    bool m_statusVisible = true;
    bool m_initialised = false;
};
