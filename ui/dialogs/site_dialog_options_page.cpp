#include "ui/dialogs/site_dialog_options_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include "model/site.h"
#include "ui/artwork.h"
#include "ui/controls/spin_edit.h"
#include "ui/dialogs/data_exchange.h"
#include "ui/dialogs/dialog_parts.h"

CSiteDialogOptionsPage::CSiteDialogOptionsPage(QWidget* parent)
    : CSiteDialogPage(QStringLiteral("Options"), parent) {}

void CSiteDialogOptionsPage::BuildControls() {
    auto* box = new QGroupBox(QStringLiteral("Timeout/Error Options"), this);
    box->setObjectName(QStringLiteral("timeoutGroupBox"));
    auto* boxLayout = new QGridLayout(box);
    boxLayout->addWidget(MakeGroupIcon(art::kTimeoutGroupIcon, box), 0, 0, 4, 1);
    boxLayout->addWidget(
        MakeExplanation(QStringLiteral("The following options allow you to control various "
                                       "timeout and error-retry settings."),
                        box),
        0, 1, 1, 4);
    boxLayout->setColumnStretch(4, 1);

    m_connectionTimeoutEdit = new CSpinEdit(box);
    m_connectionTimeoutEdit->setObjectName(QStringLiteral("connectionTimeoutEdit"));
    m_requestTimeoutEdit = new CSpinEdit(box);
    m_requestTimeoutEdit->setObjectName(QStringLiteral("requestTimeoutEdit"));
    m_retriesEdit = new CSpinEdit(box);
    m_retriesEdit->setObjectName(QStringLiteral("retriesEdit"));
    AddNumberRow(boxLayout, 1, QStringLiteral("Connection Timeout:"), m_connectionTimeoutEdit,
                 QStringLiteral("Seconds"));
    AddNumberRow(boxLayout, 2, QStringLiteral("Request Timeout:"), m_requestTimeoutEdit,
                 QStringLiteral("Seconds"));
    AddNumberRow(boxLayout, 3, QStringLiteral("Error Retries:"), m_retriesEdit, {});

    // Off by default: one conditional GET per file costs half the requests.
    m_headProbeCheck = new QCheckBox(
        QStringLiteral("Ask with HEAD before every transfer (for servers that mishandle "
                       "conditional requests)"),
        this);
    m_headProbeCheck->setObjectName(QStringLiteral("headProbeCheckBox"));
    m_obeyRobotsCheck = new QCheckBox(
        QStringLiteral("Obey robots.txt (what it disallows is not fetched; its Crawl-delay is kept)"),
        this);
    m_obeyRobotsCheck->setObjectName(QStringLiteral("obeyRobotsCheckBox"));
    m_useBrowserCookiesCheck =
        new QCheckBox(QStringLiteral("Use the browser pane's login for this site"), this);
    m_useBrowserCookiesCheck->setObjectName(QStringLiteral("useBrowserCookiesCheckBox"));
    m_useBrowserCookiesCheck->setToolTip(
        QStringLiteral("Log in to the site in the browser pane first; the crawl then starts "
                       "with the pane's cookies for the site's servers."));

    m_runScriptsCheck = new QCheckBox(
        QStringLiteral("&Run each page's scripts to find the files they load (slower)"), this);
    m_runScriptsCheck->setObjectName(QStringLiteral("runScriptsCheckBox"));
    m_snapshotPagesCheck =
        new QCheckBox(QStringLiteral("&Store each page as the browser shows it"), this);
    m_snapshotPagesCheck->setObjectName(QStringLiteral("snapshotPagesCheckBox"));
    m_snapshotPagesCheck->setToolTip(
        QStringLiteral("The page is stored as its scripts left it, instead of the HTML the "
                       "server sent; its scripts are run for that."));
    m_scriptTimeEdit = new CSpinEdit(this);
    m_scriptTimeEdit->setObjectName(QStringLiteral("scriptTimeEdit"));
    m_scriptTimeEdit->SetDigitsOnly(true);
    m_scriptTimeLabel =
        new QLabel(QStringLiteral("&Time for each page's scripts (seconds):"), this);
    m_scriptTimeLabel->setBuddy(m_scriptTimeEdit);
    // Set in under the boxes' captions, as the setting belongs to both.
    auto* scriptTime = new QHBoxLayout;
    scriptTime->addSpacing(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
    scriptTime->addWidget(m_scriptTimeLabel);
    scriptTime->addWidget(m_scriptTimeEdit);
    scriptTime->addStretch(1);
    for (QCheckBox* check : {m_runScriptsCheck, m_snapshotPagesCheck})
        connect(check, &QCheckBox::toggled, this, &CSiteDialogOptionsPage::EnableScriptTime);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addWidget(m_headProbeCheck, 0, Qt::AlignLeft);
    layout->addWidget(m_obeyRobotsCheck, 0, Qt::AlignLeft);
    layout->addWidget(m_useBrowserCookiesCheck, 0, Qt::AlignLeft);
    layout->addSpacing(8);
    layout->addWidget(m_runScriptsCheck, 0, Qt::AlignLeft);
    layout->addWidget(m_snapshotPagesCheck, 0, Qt::AlignLeft);
    layout->addLayout(scriptTime);
    layout->addStretch(1);
}

void CSiteDialogOptionsPage::OnInitDialog() {
    CSiteDialogPage::OnInitDialog();
    for (CSpinEdit* edit : {m_connectionTimeoutEdit, m_requestTimeoutEdit, m_retriesEdit})
        edit->SetRange(0, kSpinMax);
    m_scriptTimeEdit->SetRange(kMinScriptSeconds, kMaxScriptSeconds);
    EnableScriptTime();
}

void CSiteDialogOptionsPage::DoDataExchange(CDataExchange& dx) {
    dx.Integer(m_connectionTimeoutEdit, m_connectionTimeout, kTimeoutMin, kTimeoutMax);
    dx.Integer(m_requestTimeoutEdit, m_requestTimeout, kTimeoutMin, kTimeoutMax);
    dx.Integer(m_retriesEdit, m_retries, 0, kRetriesMax);
    dx.Check(m_headProbeCheck, m_headProbe);
    dx.Check(m_obeyRobotsCheck, m_obeyRobots);
    dx.Check(m_useBrowserCookiesCheck, m_useBrowserCookies);
    dx.Check(m_runScriptsCheck, m_runScripts);
    dx.Check(m_snapshotPagesCheck, m_snapshotPages);
    if (dx.Saving() && !dx.Failed() && m_runScripts == 0 && m_snapshotPages == 0) {
        // A greyed box cannot be corrected, so it never refuses OK: a good number is kept
        // for later, anything else leaves the time as it was.
        const auto typed = ParseTypedInteger(m_scriptTimeEdit->Text());
        if (typed && *typed >= kMinScriptSeconds && *typed <= kMaxScriptSeconds)
            m_scriptTime = static_cast<int>(*typed);
        return;
    }
    // Through a copy: a refused number must not replace the time that the greyed case
    // above falls back on.
    int scriptTime = m_scriptTime;
    dx.Integer(m_scriptTimeEdit, scriptTime, kMinScriptSeconds, kMaxScriptSeconds);
    if (!dx.Failed())
        m_scriptTime = scriptTime;
}

QWidget* CSiteDialogOptionsPage::FirstControl() const {
    return m_connectionTimeoutEdit;
}

void CSiteDialogOptionsPage::EnableScriptTime() {
    const bool on = m_runScriptsCheck->isChecked() || m_snapshotPagesCheck->isChecked();
    m_scriptTimeLabel->setEnabled(on);
    m_scriptTimeEdit->setEnabled(on);
}
