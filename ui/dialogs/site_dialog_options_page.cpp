#include "ui/dialogs/site_dialog_options_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QGroupBox>
#include <QVBoxLayout>

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

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addWidget(m_headProbeCheck, 0, Qt::AlignLeft);
    layout->addWidget(m_obeyRobotsCheck, 0, Qt::AlignLeft);
    layout->addWidget(m_useBrowserCookiesCheck, 0, Qt::AlignLeft);
    layout->addStretch(1);
}

void CSiteDialogOptionsPage::OnInitDialog() {
    CSiteDialogPage::OnInitDialog();
    for (CSpinEdit* edit : {m_connectionTimeoutEdit, m_requestTimeoutEdit, m_retriesEdit})
        edit->SetRange(0, kSpinMax);
}

void CSiteDialogOptionsPage::DoDataExchange(CDataExchange& dx) {
    dx.Integer(m_connectionTimeoutEdit, m_connectionTimeout, kTimeoutMin, kTimeoutMax);
    dx.Integer(m_requestTimeoutEdit, m_requestTimeout, kTimeoutMin, kTimeoutMax);
    dx.Integer(m_retriesEdit, m_retries, 0, kRetriesMax);
    dx.Check(m_headProbeCheck, m_headProbe);
    dx.Check(m_obeyRobotsCheck, m_obeyRobots);
    dx.Check(m_useBrowserCookiesCheck, m_useBrowserCookies);
}

QWidget* CSiteDialogOptionsPage::FirstControl() const {
    return m_connectionTimeoutEdit;
}
