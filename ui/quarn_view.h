#pragma once
// CQuarnView: the status pane. It shows the figures of one site, following the controller:
// a crawl that starts becomes the shown site and is refreshed twice a second; a site picked
// in the sites tree is shown without touching the timer.
//
// GUI thread only. The site's counters are read without its lock, so a figure may be a
// moment old. The shown site is checked against the project before every refresh, because
// a queued message can arrive after its site was deleted.

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class CLabelCtrl;
class CProgressCtrlEx;
class CSite;
class CStripChart;
class QGroupBox;
class QLabel;
struct StatusFigures;

class CQuarnView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 500;
    static constexpr int kTitleHeight = 14;

    explicit CQuarnView(QWidget* parent = nullptr);
    ~CQuarnView() override;

    // WM_SHOW_SITE, WM_SITE_STARTED, WM_SITE_FINISHED and WM_SITE_CHANGED.
    void OnViewMessage(unsigned message, CSite* site);
    void OnInitialUpdate();

    // Stop and pause from this pane: the same messages the sites tree posts.
    void StopShownSite();
    void TogglePause();

    CSite* ShownSite() const { return m_shownSite; }
    bool IsRefreshing() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Refresh();
    void OnTimer();
    void Show(const StatusFigures& figures);

    CLabelCtrl* m_title = nullptr;
    QGroupBox* m_siteArea = nullptr;
    CLabelCtrl* m_name = nullptr;
    CLabelCtrl* m_state = nullptr;
    QLabel* m_startTime = nullptr;
    QLabel* m_finishTime = nullptr;
    QLabel* m_elapsed = nullptr;
    QLabel* m_amount = nullptr;
    QLabel* m_rate = nullptr;
    QLabel* m_complete = nullptr;
    QLabel* m_errors = nullptr;
    QLabel* m_quarning = nullptr;
    QLabel* m_queued = nullptr;
    QLabel* m_scripts = nullptr; // shown only for a site that runs scripts
    CProgressCtrlEx* m_workersBar = nullptr;
    CStripChart* m_speedGraph = nullptr;

    QPixmap m_background;
    QTimer m_timer;
    CSite* m_shownSite = nullptr; // not owned
};
