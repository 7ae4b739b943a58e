#include "ui/quarn_view.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "engine/controller.h"
#include "engine/messages.h"
#include "model/clock.h"
#include "model/site.h"
#include "ui/app_globals.h"
#include "ui/artwork.h"
#include "ui/controls/label_ctrl.h"
#include "ui/controls/progress_ctrl_ex.h"
#include "ui/controls/strip_chart.h"
#include "ui/status_figures.h"

namespace {
constexpr int kNameHeight = 24;
constexpr int kTitleFontHeight = 11;
// Room for a figure of ten digits; longer ones are cut rather than widening the pane.
const QString kFigureRoom = QStringLiteral("0000000000");
constexpr int kGraphHeight = 64;
const QColor kGraphColour(0, 255, 0);
const QColor kWorkersColour(0, 0, 0xC0);

// A label whose text is put only when it changes, so the pane does not flicker twice a
// second.
void Put(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

QLabel* Caption(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

// A figure keeps its width as it grows, so a long crawl does not widen the pane.
void KeepWidth(QLabel* label, const QString& room) {
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(room.isEmpty() ? 0 : label->fontMetrics().horizontalAdvance(room));
}

QLabel* Value(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    KeepWidth(label, kFigureRoom);
    return label;
}
} // namespace

CQuarnView::CQuarnView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("quarnView"));
    m_background = LoadPicture(QLatin1String(art::kStatusBackground));

    m_title = new CLabelCtrl(this);
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setFixedHeight(kTitleHeight);
    m_title->SetFontHeight(kTitleFontHeight);
    m_title->SetText(QStringLiteral("Status"));

    m_siteArea = new QGroupBox(this);
    m_siteArea->setObjectName(QStringLiteral("siteArea"));

    m_name = new CLabelCtrl(m_siteArea);
    m_name->setObjectName(QStringLiteral("name"));
    m_name->SetBold(true);
    m_name->SetFontHeight(kNameHeight);
    m_name->SetBackgroundColour(Qt::transparent);
    m_name->setMinimumHeight(kNameHeight + 6);
    KeepWidth(m_name, QString());

    // The state word keeps the label's own colours; every other text lies on the pattern.
    m_state = new CLabelCtrl(m_siteArea);
    m_state->setObjectName(QStringLiteral("state"));
    KeepWidth(m_state, kFigureRoom);

    m_startTime = Value("startTime", QStringLiteral("00:00:00"), m_siteArea);
    m_finishTime = Value("finishTime", QStringLiteral("00:00:00"), m_siteArea);
    m_elapsed = Value("elapsed", QStringLiteral("00:00:00"), m_siteArea);
    m_amount = Value("amount", QStringLiteral("0"), m_siteArea);
    m_rate = Value("rate", QStringLiteral("0 K/s"), m_siteArea);
    m_complete = Value("complete", QString(), m_siteArea);
    m_errors = Value("errors", QString(), m_siteArea);
    m_quarning = Value("quarning", QString(), m_siteArea);
    m_queued = Value("queued", QString(), m_siteArea);
    // Its own line: the text is longer than a figure's room.
    m_scripts = new QLabel(m_siteArea);
    m_scripts->setObjectName(QStringLiteral("scripts"));
    KeepWidth(m_scripts, QString());
    m_scripts->hide();

    m_workersBar = new CProgressCtrlEx(m_siteArea);
    m_workersBar->setObjectName(QStringLiteral("workersBar"));
    m_workersBar->SetBarColour(kWorkersColour);
    m_workersBar->SetPos(0); // no worker is busy before a crawl

    m_speedGraph = new CStripChart(kGraphColour, m_siteArea);
    m_speedGraph->setObjectName(QStringLiteral("speedGraph"));
    m_speedGraph->SetRange(0, kGraphFloor);
    m_speedGraph->setMinimumHeight(kGraphHeight);

    auto* grid = new QGridLayout(m_siteArea);
    grid->addWidget(m_name, 0, 0, 1, 4);
    const auto pair = [&](int row, int column, const QString& caption, QWidget* value) {
        grid->addWidget(Caption(caption, m_siteArea), row, column);
        grid->addWidget(value, row, column + 1);
    };
    pair(1, 0, QStringLiteral("Status:"), m_state);
    pair(1, 2, QStringLiteral("Start:"), m_startTime);
    pair(2, 0, QStringLiteral("Elapsed Time:"), m_elapsed);
    pair(2, 2, QStringLiteral("Finish:"), m_finishTime);
    pair(3, 0, QStringLiteral("Quarned:"), m_amount);
    pair(3, 2, QStringLiteral("Rate:"), m_rate);
    pair(4, 0, QStringLiteral("Complete:"), m_complete);
    pair(4, 2, QStringLiteral("Errors:"), m_errors);
    pair(5, 0, QStringLiteral("Quarning:"), m_quarning);
    pair(5, 2, QStringLiteral("Queued:"), m_queued);
    grid->addWidget(m_scripts, 6, 0, 1, 4);

    auto* workers = new QHBoxLayout;
    workers->addWidget(Caption(QStringLiteral("Idle"), m_siteArea));
    workers->addWidget(m_workersBar, 1);
    workers->addWidget(Caption(QStringLiteral("Active"), m_siteArea));
    grid->addLayout(workers, 7, 0, 1, 4);
    grid->addWidget(m_speedGraph, 8, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_title);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 8, 8, 8);
    body->addWidget(m_siteArea);
    body->addStretch(1);
    layout->addLayout(body, 1);

    // Active-caption colours; Qt's nearest are the highlight roles.
    m_title->SetBackgroundColour(palette().color(QPalette::Active, QPalette::Highlight));
    m_title->SetTextColour(palette().color(QPalette::Active, QPalette::HighlightedText));
    m_title->SetBold(true);

    m_siteArea->setEnabled(false);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CQuarnView::OnTimer);
}

CQuarnView::~CQuarnView() = default;

void CQuarnView::OnInitialUpdate() {
    // The sites of the previous project are gone.
    m_shownSite = nullptr;
    Refresh();
}

void CQuarnView::OnViewMessage(unsigned message, CSite* site) {
    switch (message) {
    case WM_SHOW_SITE:
        m_shownSite = site;
        PostViewMessage(this, WM_SITE_CHANGED, site);
        break;
    case WM_SITE_STARTED:
        m_shownSite = site;
        m_timer.start();
        break;
    case WM_SITE_FINISHED:
        m_timer.stop();
        Refresh();
        m_shownSite = nullptr;
        break;
    case WM_SITE_CHANGED:
        Refresh();
        break;
    default:
        break;
    }
}

void CQuarnView::StopShownSite() {
    PostToController(WM_STOP_SITE, m_shownSite);
}

void CQuarnView::TogglePause() {
    PostToController(WM_PAUSE_RESUME);
}

void CQuarnView::OnTimer() {
    if (g_pController)
        g_pController->SampleSpeed();
    if (m_shownSite)
        PostViewMessage(this, WM_SITE_CHANGED, m_shownSite);
}

void CQuarnView::Refresh() {
    if (m_shownSite && !IsSiteInProject(m_shownSite))
        m_shownSite = nullptr;
    m_siteArea->setEnabled(m_shownSite != nullptr);
    if (!m_shownSite) {
        Show(StatusFigures{}); // nothing left of a site that went
        return;
    }
    Show(ComputeStatusFigures(*m_shownSite, NowSeconds(), TakeControllerSnapshot()));
}

void CQuarnView::Show(const StatusFigures& figures) {
    m_name->SetText(figures.name);
    m_state->SetText(figures.state);
    Put(m_startTime, figures.startTime);
    Put(m_finishTime, figures.finishTime);
    Put(m_complete, figures.complete);
    Put(m_errors, figures.errors);
    Put(m_quarning, figures.quarning);
    Put(m_queued, figures.queued);
    Put(m_scripts, figures.scripts);
    m_scripts->setVisible(!figures.scripts.isEmpty());
    Put(m_amount, figures.amount);
    Put(m_elapsed, figures.elapsed);
    Put(m_rate, figures.rate);
    // Each value moves the picture one step, so feeding the whole history redraws the
    // graph from the oldest sample to the newest, all on the scale of the shown ones. A
    // chart wider than the history would still hold the previous site's oldest bars.
    m_speedGraph->Clear();
    m_speedGraph->SetRange(0, GraphScale(figures.graph, m_speedGraph->BarsShown()));
    for (int value : figures.graph)
        m_speedGraph->SetValue(value);
    m_workersBar->SetRange(0, figures.workersUpper);
    m_workersBar->SetPos(figures.workersPos);
}

void CQuarnView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.fillRect(rect(), QBrush(m_background));
}
