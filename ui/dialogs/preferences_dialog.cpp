#include "ui/dialogs/preferences_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "engine/engine_ui.h"
#include "ui/app_globals.h"
#include "ui/artwork.h"
#include "ui/controls/image_button.h"
#include "ui/controls/splitter_wnd_ex.h"
#include "ui/dialogs/dialog_parts.h"
#include "ui/dialogs/select_folder_dialog.h"

namespace {
// Room for a typical path; the browse button only needs its three dots.
constexpr int kSitesDirMinWidthPx = 260;
constexpr int kBrowseWidthPx = 36;
} // namespace

CPreferencesDialog::CPreferencesDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Preferences"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Downloading.
    auto* downloading = new QGroupBox(QStringLiteral("Downloading"), this);
    downloading->setObjectName(QStringLiteral("downloadingGroupBox"));
    auto* sitesDirLabel = new QLabel(QStringLiteral("Sites Directory:"), downloading);
    m_sitesDirEdit = new QLineEdit(downloading);
    m_sitesDirEdit->setObjectName(QStringLiteral("sitesDirectoryEdit"));
    m_sitesDirEdit->setMaxLength(kMaxSitesDirChars);
    m_sitesDirEdit->setMinimumWidth(kSitesDirMinWidthPx);
    sitesDirLabel->setBuddy(m_sitesDirEdit);
    m_browse = new CImageButton(QStringLiteral("..."), downloading);
    m_browse->setObjectName(QStringLiteral("browseButton"));
    m_browse->setAutoDefault(false);
    m_browse->setFixedWidth(kBrowseWidthPx);
    connect(m_browse, &QPushButton::clicked, this, &CPreferencesDialog::OnBrowse);

    auto* downloadingLayout = new QGridLayout(downloading);
    downloadingLayout->addWidget(MakeGroupIcon(art::kDownloadGroupIcon, downloading), 0, 0, 2, 1);
    downloadingLayout->addWidget(
        MakeExplanation(QStringLiteral("The following options allow you to control various "
                                       "download settings."),
                        downloading),
        0, 1, 1, 3);
    downloadingLayout->addWidget(sitesDirLabel, 1, 1);
    downloadingLayout->addWidget(m_sitesDirEdit, 1, 2);
    downloadingLayout->addWidget(m_browse, 1, 3);
    downloadingLayout->setColumnStretch(2, 1);

    // General.
    auto* general = new QGroupBox(QStringLiteral("General"), this);
    general->setObjectName(QStringLiteral("generalGroupBox"));
    m_updatesCheck = new QCheckBox(QStringLiteral("Check for new versions of Quarn"), general);
    m_updatesCheck->setObjectName(QStringLiteral("checkForUpdatesCheckBox"));
    // A tick would promise a check this build never makes; the stored choice is kept for a
    // build that can.
    m_updatesCheck->setChecked(false);
    m_updatesCheck->setEnabled(false);
    m_updatesCheck->setToolTip(
        QStringLiteral("Checking for new versions is not available in this build of Quarn."));
    m_sizingCheck = new QCheckBox(QStringLiteral("Allow sizing of window panes"), general);
    m_sizingCheck->setObjectName(QStringLiteral("allowSizingCheckBox"));
    m_beepCheck = new QCheckBox(QStringLiteral("Beep when finished quarning"), general);
    m_beepCheck->setObjectName(QStringLiteral("beepWhenDoneCheckBox"));

    auto* generalLayout = new QGridLayout(general);
    generalLayout->addWidget(MakeGroupIcon(art::kGeneralGroupIcon, general), 0, 0, 4, 1);
    generalLayout->addWidget(
        MakeExplanation(QStringLiteral("The following options allow you to control general "
                                       "application settings."),
                        general),
        0, 1);
    generalLayout->addWidget(m_updatesCheck, 1, 1);
    generalLayout->addWidget(m_sizingCheck, 2, 1);
    generalLayout->addWidget(m_beepCheck, 3, 1);
    generalLayout->setColumnStretch(1, 1);

    QHBoxLayout* buttons = MakeOkCancelRow(this, m_ok, m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(downloading);
    layout->addWidget(general);
    layout->addLayout(buttons);
    setLayout(layout);

    // The values as the program holds them now.
    m_beep = g_bBeepWhenDone.load();
    m_allowSizing = g_bSplitterMove;
    m_sitesDir = SitesDir();

    m_sitesDirEdit->setText(m_sitesDir);
    m_beepCheck->setChecked(m_beep);
    m_sizingCheck->setChecked(m_allowSizing);
}

void CPreferencesDialog::accept() {
    m_sitesDir = m_sitesDirEdit->text();
    m_beep = m_beepCheck->isChecked();
    m_allowSizing = m_sizingCheck->isChecked();

    g_bBeepWhenDone = m_beep;
    SetSitesDir(m_sitesDir);
    g_bSplitterMove = m_allowSizing;
    if (g_pMainSplitter)
        g_pMainSplitter->SetLocked(!g_bSplitterMove);
    if (g_pLeftSplitter)
        g_pLeftSplitter->SetLocked(!g_bSplitterMove);
    QDialog::accept();
}

void CPreferencesDialog::OnBrowse() {
    CSelectFolderDialog picker(m_sitesDirEdit->text(), this);
    if (picker.exec() == QDialog::Accepted)
        m_sitesDirEdit->setText(picker.GetFolder());
}
